#!/usr/bin/env python3
"""End-to-end scenarios of the kalix desktop program, driven through AT-SPI.

    run_e2e.py --kalix PATH --cli PATH --source DIR --artifacts DIR SCENARIO

SCENARIO is one of the names in SCENARIOS below. Exit status: 0 passed,
1 failed (the message says what was not found or not as expected, and a
screenshot of the screen is saved in the artifacts folder), 77 skipped (a
window the scenario needs does not exist in this build).
"""

import argparse
import csv
import json
import os
import subprocess
import sys
import traceback

# Runs from the source tree: leave no compiled files there.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from kalix_e2e import (SKIP, ScenarioFailed, ScenarioSkipped, Session, check,  # noqa: E402
                       check_equal, fail, poll)

SAMPLE_FILES = ["samples/nac.rul", "samples/sample.rtf", "samples/sample_fra.rtf"]

# A plain-text document of our own, for a second document and a corpus.
SECOND_DOCUMENT = b"Une isle en la mer.\nEt puis deux isles, et l'isle du nort.\n"

# The hints of the tool bar's buttons, in their order.
TOOL_HINTS = ["Ovrir un document", "Recherche", "Liste des mots", "Enregistrer le résultat",
              "Ligne précédente", "Ligne suivante", "Première cible", "Cible précédente",
              "Cible suivante", "Derniére cible", "Ouvrir dans la fenêtre",
              "Ouvrir dans une autre fenêtre", "Aide"]
# With a document open and no result yet.
ENABLED_WITH_DOCUMENT = {"Ovrir un document", "Recherche", "Liste des mots", "Aide"}


def is_main_window(name):
    return name.startswith("Kalix - ")


def main_window(s):
    return s.window(is_main_window, timeout=60)


def tool_button(s, frame, hint):
    return s.find(frame, "push button", hint, what=f'the tool button "{hint}"')


# -- steps shared by the scenarios --------------------------------------------


def open_sample(s, document="sample.rtf"):
    s.prepare_folder(SAMPLE_FILES)
    s.launch(document)
    frame = main_window(s)
    check_equal(frame.name, f"Kalix - {document}", "the main window's caption")
    return frame


def position_fields(s, frame):
    """The page, folio and glyph edits, found by the captions of their labels."""
    captions = ("Page", "Folio", "Glyphe")
    return s.find_named(frame, "text", captions)


def quit_program(s, frame):
    s.choose_menu(frame, "Fichier", "Quitter")
    status = s.wait_exit()
    check_equal(status, 0, "kalix's exit status after Fichier > Quitter (see kalix.log)")


def run_search_dialog(s, frame, strings, use_corpus=False, erase=False, radios=(), checks=None):
    """Opens "Recherche" from the menu, types the strings (through "Ajouter"
    when there are several, after "Effacer" if erase), picks the radio items
    named in radios (e.g. "Phrase" in "Contexte"), sets the check boxes of
    checks ({caption: checked}) and confirms with OK. Skips the scenario when
    the dialog does not appear (not built yet)."""
    s.step("Edition > Rechercher")
    item = s.menu_item(frame, "Edition", "Rechercher")
    check(s.is_enabled(item), 'Edition > Rechercher is disabled with a document open')
    s.press(item)
    dialog = s.try_window("Recherche", timeout=15)
    if dialog is None:
        raise ScenarioSkipped('the search dialog "Recherche" did not appear after Edition > '
                              'Rechercher: this build has no search dialog yet')
    s.step("the search dialog is shown")
    s.screenshot("search-dialog-empty")
    edit = s.find(dialog, "text", "Chaînes", what='the edit "Chaînes" of the search dialog')
    buttons = s.find_named(dialog, "push button", ["OK", "Ajouter", "Effacer"])
    ok, add = buttons["OK"], buttons["Ajouter"]
    if erase:
        s.press(buttons["Effacer"])
        poll('the edit "Chaînes" to be emptied by Effacer', lambda: s.text(edit) == "")
    for i, text in enumerate(strings):
        s.set_text(edit, text)
        if len(strings) > 1:
            s.wait_enabled(add)
            s.press(add)
            poll(f'the edit "Chaînes" to be emptied after Ajouter of {text!r}',
                 lambda: s.text(edit) == "")
    for caption in radios:
        radio = s.find(dialog, "radio button", caption)
        s.wait_enabled(radio)
        s.press(radio)
        poll(f'the radio item "{caption}" to be chosen', lambda: s.is_checked(radio))
    for caption, wanted in (checks or {}).items():
        box = s.find(dialog, "check box", caption)
        s.wait_enabled(box)
        if s.is_checked(box) != wanted:
            s.press(box)
            poll(f'"{caption}" to be {"checked" if wanted else "unchecked"}',
                 lambda: s.is_checked(box) == wanted)
    if use_corpus:
        box = s.find(dialog, "check box", "Utiliser le corpus")
        s.wait_enabled(box)
        if not s.is_checked(box):
            s.press(box)
            poll('"Utiliser le corpus" to be checked', lambda: s.is_checked(box))
    s.wait_enabled(ok)
    s.screenshot("search-dialog-filled")
    s.step("OK")
    s.press(ok)
    poll('the search dialog to close after OK',
         lambda: s.try_window("Recherche", timeout=0) is None, timeout=30)


def status_text(s, frame):
    """The text of the status line when it shows a result, else None."""
    for label in s.find_all(frame, "label"):
        name = label.name or ""
        if "Mots :" in name:
            return name
    return None


def status_line(s, frame, timeout=60):
    """Waits for the status line of a result and returns its text."""
    return poll('a status line holding "Mots :"', lambda: status_text(s, frame), timeout=timeout)


def target_grid(s, frame):
    return s.find(frame, "table", "Cibles", what="the target grid (the table \"Cibles\")")


def cli_json(s, cli, args):
    out = subprocess.run([cli, *args, "--json"], cwd=s.scratch, capture_output=True, timeout=120)
    check(out.returncode == 0, f"kalix-cli {' '.join(args)} failed: {out.stderr.decode(errors='replace')}")
    return json.loads(out.stdout.decode("utf-8"))


def grid_rows_from_cli(result):
    rows = []
    for t in result["targets"]:
        doc = t["document"] or ""
        rows.append([str(len(t["occurrences"])), t["text"], doc.split(" | ")[0]])
    return rows


# -- report and corpus (their windows come with the grid and corpus work) -----


# Qt's own file dialog speaks the program's language (French): its name
# field and its buttons. The English names are only recognised so that a
# dialog left in English fails with a message that says so.
FILE_NAME = "Nom de fichier :"
SAVE = "Enregistrer"
OPEN = "Ouvrir"


def is_file_dialog(s, top):
    return bool(s.find_all(top, "text", FILE_NAME)) or bool(s.find_all(top, "text", "File name:"))


def answer_file_dialog(s, paths, accept=(SAVE, OPEN)):
    """Answers the program's file dialog (Qt's own, as under a bare X server)
    by typing the file name(s) and pressing Save or Open. Several files are
    given as the dialog takes them: each between double quotes."""
    def probe():
        for i in range(s.app.childCount):
            top = s.app.getChildAtIndex(i)
            if top is not None and top.getRoleName() in ("dialog", "file chooser") \
                    and top.getState().contains(s.pyatspi.STATE_SHOWING) and is_file_dialog(s, top):
                return top
        return None
    dialog = poll("a file dialog", probe, timeout=20)
    check(bool(s.find_all(dialog, "text", FILE_NAME)), f'the file dialog speaks French ("{FILE_NAME}")')
    edit = s.find(dialog, "text", FILE_NAME)
    if len(paths) == 1:
        text = paths[0]
    else:
        # Several files are named relative to the dialog's folder: go to
        # their folder first (a folder typed and Return), then name them.
        folder = os.path.dirname(paths[0])
        check(all(os.path.dirname(p) == folder for p in paths), "several files from one folder")
        s.set_text(edit, folder + "/")
        s.key(edit, 0xff0d)
        poll(f"the file dialog to show {folder}", lambda: dialog.getState().contains(s.pyatspi.STATE_SHOWING)
             and s.text(edit) == "", timeout=10)
        text = " ".join(f'"{os.path.basename(p)}"' for p in paths)
    s.set_text(edit, text)
    buttons = s.named_children(dialog, "push button")
    name = next((n for n in accept if n in buttons), None)
    check(name is not None, f"the file dialog has none of the buttons {accept}: {sorted(buttons)}")
    if s.is_enabled(buttons[name]):
        s.press(buttons[name])
    else:
        # The dialog enables its button on typed text only (a name outside
        # the type filter): Return in the name field accepts it as typed.
        s.key(edit, 0xff0d)
    poll("the file dialog to close", lambda: not dialog.getState().contains(s.pyatspi.STATE_SHOWING)
         or probe() is None, timeout=20)


def save_report(s, frame, path):
    """Saves the window's result through the tool button "Enregistrer le
    résultat" and the dialog "Résultat" with its preset options, typing path
    into its file field. Skips when this build has no result dialog."""
    button = s.find_named(frame, "push button", ["Enregistrer le résultat"])["Enregistrer le résultat"]
    s.wait_enabled(button)
    s.press(button)
    dialog = s.try_window("Résultat", timeout=15)
    if dialog is None:
        raise ScenarioSkipped('the dialog "Résultat" did not appear after "Enregistrer le résultat": '
                              "this build has no report dialog yet")
    s.screenshot("result-dialog")
    edits = [e for e in s.find_all(dialog, "text")
             if e.getState().contains(s.pyatspi.STATE_EDITABLE)]
    check_equal(len(edits), 1, 'the number of edit fields of "Résultat" (the file name)')
    # Typing a name does not enable OK: the file is chosen through "...".
    s.press(s.find(dialog, "push button", "..."))
    answer_file_dialog(s, [path], accept=(SAVE,))
    poll(f"the file field to hold {path}", lambda: s.text(edits[0]) == path, timeout=10)
    ok = s.find(dialog, "push button", "OK")
    s.wait_enabled(ok)
    s.press(ok)
    poll('the dialog "Résultat" to close', lambda: s.try_window("Résultat", timeout=0) is None, timeout=30)
    poll(f"the report {path} to be written", lambda: os.path.exists(path), timeout=30)


def make_corpus(s, frame, documents, path):
    """Makes a corpus in the editor: "Corpus" > "Nouveau", "Ajouter" with the
    documents chosen in the file dialog, "Sauver" and path chosen in the save
    dialog. Skips when this build has no corpus editor."""
    s.choose_menu(frame, "Corpus", "Nouveau")
    dialog = s.try_window("Corpus", timeout=15)
    if dialog is None:
        raise ScenarioSkipped('the corpus editor "Corpus" did not appear after Corpus > Nouveau: '
                              "this build has no corpus editor yet")
    # One document per "Ajouter" (adding several at once is the window
    # tests' part: Qt's own file dialog takes several names only as typed
    # relative names, which a screen-reader user rarely does).
    for document in documents:
        s.press(s.find(dialog, "push button", "Ajouter"))
        answer_file_dialog(s, [document], accept=(OPEN,))
    s.screenshot("corpus-editor")
    save = s.find(dialog, "push button", "Sauver")
    s.wait_enabled(save)
    s.press(save)
    answer_file_dialog(s, [path], accept=(SAVE,))
    poll(f"the corpus file {path} to be written", lambda: os.path.exists(path), timeout=30)


# -- scenarios -----------------------------------------------------------------


def scenario_main_window(s, args):
    """The main window on the sample document: caption, tool buttons named by
    their hints with their enabled states, the position fields and a move
    through them, the File menu, and a clean exit."""
    frame = open_sample(s)

    s.step("tool buttons")
    buttons = s.find_named(frame, "push button", TOOL_HINTS)
    for hint in TOOL_HINTS:
        button = buttons[hint]
        check_equal(s.is_enabled(button), hint in ENABLED_WITH_DOCUMENT,
                    f'"{hint}" enabled with a document open')

    s.step("position fields")
    fields = position_fields(s, frame)
    for caption, field in fields.items():
        check(s.is_enabled(field), f'the position field "{caption}" is disabled')
    goto = tool_button(s, frame, "Aller à la marque")
    view_text = s.find(frame, "text", lambda n: True,
                       predicate=lambda a: len(s.text(a)) > 100, what="the document view")
    start_caret = view_text.queryText().caretOffset

    # Folio 2 (on page 2): type it, go there; the fields and the notes pane
    # follow the caret. Then glyph 3, further on page 2, and back to page 1.
    check_equal(view_text.name, "Texte du document", "the document view's name")
    named_notes = s.find_all(frame, "text", "Notes de la page")
    check_equal(len(named_notes), 1, 'the number of views named "Notes de la page"')
    notes = named_notes[0]
    s.step("go to folio 2")
    s.set_text(fields["Folio"], "2")
    s.wait_enabled(goto)
    s.press(goto)
    poll("the caret to leave the start of the text after going to folio 2",
         lambda: view_text.queryText().caretOffset > start_caret)
    caret_folio2 = view_text.queryText().caretOffset
    poll('the page field to read "2" on folio 2', lambda: s.text(fields["Page"]) == "2")
    check_equal(s.text(fields["Folio"]), "2", "the folio field after going to folio 2")
    poll("the notes pane to show the note of page 2",
         lambda: "encre violette" in s.text(notes) and "copiste" not in s.text(notes))

    s.step("go to glyph 3")
    s.set_text(fields["Glyphe"], "3")
    s.wait_enabled(goto)
    s.press(goto)
    poll("the caret to move on after going to glyph 3",
         lambda: view_text.queryText().caretOffset > caret_folio2)
    poll('the glyph field to read "3"', lambda: s.text(fields["Glyphe"]) == "3")
    check_equal(s.text(fields["Page"]), "2", "the page field on glyph 3")

    s.step("back to page 1")
    s.set_text(fields["Page"], "1")
    s.wait_enabled(goto)
    s.press(goto)
    poll("the caret to move back before folio 2",
         lambda: view_text.queryText().caretOffset < caret_folio2)
    poll('the page field to read "1"', lambda: s.text(fields["Page"]) == "1")
    poll("the notes pane to show the notes of page 1", lambda: "copiste" in s.text(notes))
    s.screenshot("main-window")

    # The File menu, by the names a user hears.
    s.step("menus")
    for item, enabled in (("Ouvrir", True), ("Informations", True), ("Quitter", True)):
        acc = s.menu_item(frame, "Fichier", item)
        check_equal(s.is_enabled(acc), enabled, f'Fichier > {item} enabled')
    for item in ("Rechercher", "Aller à la marque"):
        s.menu_item(frame, "Edition", item)

    # Another document through Fichier > Ouvrir and the file dialog.
    s.step("open a second document")
    second = os.path.join(s.scratch, "second.txt")
    with open(second, "wb") as f:
        f.write(SECOND_DOCUMENT)
    s.choose_menu(frame, "Fichier", "Ouvrir")
    answer_file_dialog(s, [second], accept=(OPEN,))
    poll(f'the caption to become "Kalix - {second}"', lambda: frame.name == f"Kalix - {second}")
    poll("the document view to show the second document",
         lambda: s.text(view_text).startswith("Une isle en la mer."))
    quit_program(s, frame)


def scenario_search(s, args):
    """A search for "isle" through the search dialog: the status line and the
    grid as kalix-cli gives them for the same search."""
    frame = open_sample(s)
    run_search_dialog(s, frame, ["isle"])
    s.step("the dialog closed")
    status = status_line(s, frame)
    s.step("the status line is shown")
    expected = cli_json(s, args.cli, ["search", "--string", "isle", "sample.rtf"])
    check_equal(status, expected["status"], "the status line")
    grid = target_grid(s, frame)
    poll("the grid to hold the targets", lambda: s.table(grid)[1] != [], timeout=20)
    headers, rows = s.table(grid)
    check_equal(headers, ["#", "Texte", "Document"], "the grid's column headers")
    check_equal(rows, grid_rows_from_cli(expected), "the grid's rows (#, Texte, Document)")
    s.screenshot("search-result")

    # Two strings added one by one, in sentences, not all required: the
    # dialog kept its state, so it is erased first.
    s.step("second search: two strings, context Phrase, not all strings")
    run_search_dialog(s, frame, ["isle", "estoile"], erase=True, radios=["Phrase"],
                      checks={"Toutes les chaînes": False})
    expected = cli_json(s, args.cli, ["search", "--string", "isle", "--string", "estoile",
                                      "--context", "2", "--no-all", "sample.rtf"])
    poll(f"the status line to read {expected['status']!r}",
         lambda: status_text(s, frame) == expected["status"], timeout=60)
    poll("the grid to show the second search's targets",
         lambda: s.table(grid)[1] == grid_rows_from_cli(expected), timeout=20)
    s.screenshot("search-result-2")
    quit_program(s, frame)


def scenario_report(s, args):
    """A search for "isle" saved as a report through "Résultat": the file is
    byte for byte kalix-cli's report of the same search."""
    frame = open_sample(s)
    run_search_dialog(s, frame, ["isle"])
    status_line(s, frame)
    path = os.path.join(s.scratch, "report.txt")
    save_report(s, frame, path)
    expected = os.path.join(s.scratch, "expected.txt")
    out = subprocess.run([args.cli, "search", "--string", "isle", "--output", expected, "sample.rtf"],
                         cwd=s.scratch, capture_output=True, timeout=120)
    check(out.returncode == 0, f"kalix-cli report failed: {out.stderr.decode(errors='replace')}")
    with open(path, "rb") as f, open(expected, "rb") as g:
        check_equal(f.read(), g.read(), "the report saved through the dialog, against kalix-cli's")
    quit_program(s, frame)


def scenario_corpus(s, args):
    """A corpus of two documents made in the corpus editor and saved, then a
    search over it: the corpus file lists both paths, and the status line and
    grid are kalix-cli's for --corpus."""
    frame = open_sample(s)
    second = os.path.join(s.scratch, "second.txt")
    with open(second, "wb") as f:
        f.write(SECOND_DOCUMENT)
    first = os.path.join(s.scratch, "sample.rtf")
    corpus = os.path.join(s.scratch, "two.cor")
    make_corpus(s, frame, [first, second], corpus)
    with open(corpus, "rb") as f:
        check_equal(f.read(), "".join(p + "\r\n" for p in sorted([first, second], key=str.lower))
                    .encode("cp1252"), "the corpus file")
    run_search_dialog(s, frame, ["isle"], use_corpus=True)
    status = status_line(s, frame)
    expected = cli_json(s, args.cli, ["search", "--string", "isle", "--corpus", corpus])
    check_equal(status, expected["status"], "the status line after the corpus search")
    grid = target_grid(s, frame)
    poll("the grid to hold the targets", lambda: s.table(grid)[1] != [], timeout=20)
    check_equal(s.table(grid)[1], grid_rows_from_cli(expected), "the grid's rows after the corpus search")
    s.screenshot("corpus-result")


def scenario_export(s, args):
    """A search for "isle" exported through "Cibles" > "Exporter..." to a CSV
    file: read back with Python's csv module, its rows are those of kalix-cli's
    --format csv for the same search (the document column names the same
    file)."""
    frame = open_sample(s)
    run_search_dialog(s, frame, ["isle"])
    status_line(s, frame)
    path = os.path.join(s.scratch, "isle.csv")
    item = s.menu_item(frame, "Cibles", "Exporter...")
    s.wait_enabled(item)
    s.press(item)
    answer_file_dialog(s, [path], accept=(SAVE,))
    poll(f"the export {path} to be written", lambda: os.path.exists(path), timeout=60)
    expected = os.path.join(s.scratch, "expected.csv")
    out = subprocess.run([args.cli, "search", "--string", "isle", "--format", "csv", "--output", expected,
                          "sample.rtf"], cwd=s.scratch, capture_output=True, timeout=120)
    check(out.returncode == 0, f"kalix-cli export failed: {out.stderr.decode(errors='replace')}")

    def rows(name):
        with open(name, newline="", encoding="utf-8-sig") as f:
            return list(csv.reader(f, strict=True))
    got, want = rows(path), rows(expected)
    check_equal(got[0], want[0], "the exported columns")
    document = want[0].index("document")
    check(all(os.path.basename(r[document]) == "sample.rtf" for r in got[1:]), "the document column")
    for r in got + want:
        r[document] = ""
    check_equal(got, want, "the rows exported through the window, against kalix-cli's")
    quit_program(s, frame)


def scenario_statistics(s, args):
    """After a search for "isle": "Edition" > "Cooccurrents" shows, in its grid
    "Cooccurrents", the forms and co-occurrences that kalix-cli collocates
    gives for a window of 5 words each side; "Edition" > "N-grammes" shows as
    many bigrams as kalix-cli ngrams --size 2. Each dialog has its "Annuler"
    and closes with "Fermer"."""
    frame = open_sample(s)
    run_search_dialog(s, frame, ["isle"])
    status_line(s, frame)

    s.step("Edition > Cooccurrents")
    s.press(s.menu_item(frame, "Edition", "Cooccurrents"))
    dialog = s.window("Cooccurrents", timeout=15)
    grid = s.find(dialog, "table", "Cooccurrents", what='the grid "Cooccurrents"')
    expected = cli_json(s, args.cli, ["collocates", "--string", "isle", "--left", "5", "--right", "5",
                                      "sample.rtf"])
    want = sorted((c["text"], str(c["cooccurrences"])) for c in expected["collocates"])
    poll("the collocates grid to fill", lambda: s.table(grid)[1] != [], timeout=30)
    headers, rows = s.table(grid)
    check_equal(headers[:3], ["Forme", "Cooccurrences", "Fréquence"], "the collocates grid's headers")
    check_equal(sorted((r[0], r[1]) for r in rows), want, "the collocates of ISLE, against kalix-cli's")
    for name in ("Mots à gauche", "Mots à droite", "Fréquence minimale"):
        s.find(dialog, "spin button", name, what=f'the spin box "{name}"')
    s.find(dialog, "list", "Rencontres", what='the list "Rencontres"')
    s.find(dialog, "push button", "Annuler", what='the button "Annuler" of the computation')
    s.screenshot("collocates")
    s.press(s.find_named(dialog, "push button", ["Fermer"])["Fermer"])
    poll("the collocates dialog to close", lambda: not dialog.getState().contains(s.pyatspi.STATE_SHOWING),
         timeout=10)

    s.step("Edition > N-grammes")
    s.press(s.menu_item(frame, "Edition", "N-grammes"))
    dialog = s.window("N-grammes", timeout=15)
    grid = s.find(dialog, "table", "N-grammes", what='the grid "N-grammes"')
    expected = cli_json(s, args.cli, ["ngrams", "--size", "2", "sample.rtf"])
    poll("the n-grams grid to fill", lambda: s.table(grid)[1] != [], timeout=30)
    rows = s.table(grid)[1]
    check_equal(len(rows), min(5000, len(expected["ngrams"])), "the number of bigrams, against kalix-cli's")
    s.find(dialog, "check box", "Contenant la recherche", what='the check box "Contenant la recherche"')
    s.find(dialog, "push button", "Annuler", what='the button "Annuler" of the computation')
    s.screenshot("ngrams")
    s.press(s.find_named(dialog, "push button", ["Fermer"])["Fermer"])
    poll("the n-grams dialog to close", lambda: not dialog.getState().contains(s.pyatspi.STATE_SHOWING),
         timeout=10)
    quit_program(s, frame)


SCENARIOS = {
    "main_window": scenario_main_window,
    "search": scenario_search,
    "report": scenario_report,
    "corpus": scenario_corpus,
    "export": scenario_export,
    "statistics": scenario_statistics,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kalix", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    args.cli = os.path.abspath(args.cli)

    artifacts = os.path.join(args.artifacts, args.scenario)
    s = Session(args.kalix, args.source, artifacts, args.scenario)
    status = 0
    try:
        try:
            import gi  # noqa: F401
            import pyatspi  # noqa: F401
        except ImportError as e:
            fail(f"cannot import the AT-SPI bindings ({e}): install python3-pyatspi and run "
                 f"this with the system's python3")
        s.start()
        SCENARIOS[args.scenario](s, args)
        print(f"e2e {args.scenario}: passed (screenshots in {artifacts})")
    except ScenarioSkipped as e:
        print(f"e2e {args.scenario}: skipped: {e}")
        status = SKIP
    except Exception as e:
        shot = s.screenshot("failure") if s.display else None
        if not isinstance(e, ScenarioFailed):
            traceback.print_exc()
        print(f"e2e {args.scenario}: FAILED: {e}", file=sys.stderr)
        if shot:
            print(f"screen at the failure: {shot}", file=sys.stderr)
        tail = s.log_tail()
        if tail:
            print(f"end of kalix's output:\n{tail}", file=sys.stderr)
        status = 1
    finally:
        s.close()
    return status


if __name__ == "__main__":
    sys.exit(main())
