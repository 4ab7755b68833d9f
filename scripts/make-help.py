#!/usr/bin/env python3
"""Writes the help, about and sample information files of samples/ as rich
text: help_fra.rtf, help_eng.rtf, about_fra.rtf, about_eng.rtf and the
information files of sample.rtf (sample_fra.rtf, sample_eng.rtf)."""
import os
import re

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def esc(text):
    out = []
    for ch in text:
        try:
            b = ch.encode("cp1252")[0]
        except UnicodeEncodeError:
            code = ord(ch)
            out.append("\\u%d?" % (code - 65536 if code > 32767 else code))
            continue
        if b >= 0x80:
            out.append("\\'%02x" % b)
        elif ch in "\\{}":
            out.append("\\" + ch)
        else:
            out.append(ch)
    return "".join(out)


def fmt(p):
    """**bold**, //italic//, ``code``."""
    out = []
    for tok in re.split(r"(\*\*.*?\*\*|//.*?//|``.*?``)", p):
        if tok.startswith("**"):
            out.append("{\\b " + esc(tok[2:-2]) + "}")
        elif tok.startswith("//"):
            out.append("{\\i " + esc(tok[2:-2]) + "}")
        elif tok.startswith("``"):
            out.append("{\\f2\\fs20 " + esc(tok[2:-2]) + "}")
        else:
            out.append(esc(tok))
    return "".join(out)


HEAD = ("{\\rtf1\\ansi\\ansicpg1252\\deff0"
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman\\fcharset0 Times New Roman;}"
        "{\\f2\\fmodern\\fcharset0 Courier New;}}\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red128\\green0\\blue0;\\red0\\green64\\blue128;\\red96\\green96\\blue96;}\n")


def doc(title, subtitle, sections):
    parts = [HEAD, "\\pard\\qc\\sb120\\sa120\\f0\\fs36\\b\\cf2 ", esc(title), "\\b0\\cf0\\par\n"]
    if subtitle:
        parts += ["\\pard\\qc\\sa240\\f0\\fs22\\i\\cf4 ", esc(subtitle), "\\i0\\cf0\\par\n"]
    for head, paras in sections:
        if head:
            parts += ["\\pard\\sb240\\sa60\\f0\\fs26\\b\\cf3 ", esc(head), "\\b0\\cf0\\par\n"]
        for p in paras:
            if p.startswith("* "):
                parts += ["\\pard\\li360\\fi-240\\sa40\\f1\\fs22 \\bullet\\tab ", fmt(p[2:]), "\\par\n"]
            else:
                parts += ["\\pard\\qj\\sa80\\f1\\fs22 ", fmt(p), "\\par\n"]
    parts.append("}\n")
    return "".join(parts)


help_fra = doc("Kalix \u2014 Aide", "Recherche dans les transcriptions de manuscrits", [
    ("Ouvrir un document", [
        "Le menu **Fichier \u2192 Ouvrir** (Ctrl+O) ou le premier bouton de la barre d'outils ouvre un document "
        "en texte enrichi (//.rtf//) ou en texte brut (//.txt//) au code page 1252. Le texte s'affiche sans mise "
        "en forme : c'est exactement le texte que la recherche parcourt.",
    ]),
    ("Pages, folios et glyphes", [
        "Des caract\u00e8res r\u00e9serv\u00e9s du fichier de r\u00e8gles (//nac.rul//) marquent le d\u00e9but des "
        "pages (\u00b1), des rectos (\u00f2 ou =), des versos (\u00be) et des glyphes (trait d'union conditionnel).",
        "* Le panneau du haut indique la **page**, le **folio** (suivi de V pour un verso) et le **glyphe** "
        "o\u00f9 se trouve le curseur.",
        "* Sous le texte, les **notes** de la page courante sont num\u00e9rot\u00e9es 1), 2)\u2026",
        "* \u00c0 droite des notes s'affiche le **dessin** du glyphe courant.",
    ]),
    ("Aller \u00e0 une marque", [
        "Tapez un num\u00e9ro dans l'un des champs Page, Folio ou Glyphe : le champ devient jaune. Le bouton vert ou "
        "**Edition \u2192 Aller \u00e0 la marque** (Ctrl+M) place le curseur juste apr\u00e8s la marque. Pour un "
        "verso, tapez le num\u00e9ro suivi d'un V majuscule, par exemple ``12V``.",
    ]),
    ("Rechercher", [
        "**Edition \u2192 Rechercher** (Ctrl+F) cherche une ou plusieurs cha\u00eenes selon l'orthographe choisie ; "
        "les cibles trouv\u00e9es s'affichent dans la grille \u00e0 gauche et les occurrences en rouge dans le texte.",
    ]),
    ("Langue et r\u00e8gles", [
        "Le menu **Options** charge un fichier de langue (//.lng//) ou un autre fichier de r\u00e8gles (//.rul//). "
        "Un clic sur la barre d'outils, hors des boutons, \u00e9crit tous les libell\u00e9s dans //label.txt//.",
    ]),
])

help_eng = doc("Kalix \u2014 Help", "Searching transcriptions of manuscripts", [
    ("Opening a document", [
        "**Fichier \u2192 Ouvrir** (Ctrl+O) or the first toolbar button opens a rich-text (//.rtf//) or plain-text "
        "(//.txt//) document in code page 1252. The text is shown without its formatting: exactly the text that "
        "searches read.",
    ]),
    ("Pages, folios and glyphs", [
        "Reserved characters of the rules file (//nac.rul//) mark where pages (\u00b1), rectos (\u00f2 or =), "
        "versos (\u00be) and glyphs (soft hyphen) begin.",
        "* The panel above the text shows the **page**, the **folio** (followed by V on a verso) and the "
        "**glyph** at the caret.",
        "* Below the text, the **notes** of the current page are numbered 1), 2)\u2026",
        "* Beside the notes, the **picture** of the current glyph.",
    ]),
    ("Going to a mark", [
        "Type a number in the Page, Folio or Glyph field: the field turns yellow. The green button or "
        "**Edition \u2192 Aller \u00e0 la marque** (Ctrl+M) puts the caret just after that mark. For a verso, type "
        "the number and an upper-case V, for instance ``12V``.",
    ]),
    ("Searching", [
        "**Edition \u2192 Rechercher** (Ctrl+F) looks for one or more strings under the chosen spelling mode; "
        "targets appear in the grid at the left and their occurrences in red in the text.",
    ]),
    ("Language and rules", [
        "The **Options** menu loads a language file (//.lng//) or another rules file (//.rul//). A click on the "
        "toolbar, outside its buttons, writes every caption to //label.txt//.",
    ]),
])

about_fra = doc("Kalix", "Version 0.1", [("", [
    "Outil de recherche dans les transcriptions de manuscrits : pages, folios, glyphes et notes.",
    "Textes de l'aide et de ce panneau : fichiers //help_fra.rtf// et //about_fra.rtf//.",
    "Programme libre, \u00e9crit en C++ avec Qt 6.",
])])
about_eng = doc("Kalix", "Version 0.1", [("", [
    "A tool for searching transcriptions of manuscripts: pages, folios, glyphs and notes.",
    "The help page and this panel are the files //help_eng.rtf// and //about_eng.rtf//.",
    "Free software, written in C++ with Qt 6.",
])])
info_fra = doc("Livre des merveilles (extrait)", "Transcription d'exemple", [
    ("Source", [
        "Manuscrit fictif, trois pages, quatre folios (1 recto \u00e0 2 verso).",
        "* **Page 1** : folios 1 recto et 1 verso, deux glyphes (lettre orn\u00e9e, \u00e9toile), deux notes.",
        "* **Page 2** : folio 2 recto, la marque du scribe, une note.",
        "* **Page 3** : folio 2 verso, la souscription et son cartouche peint, deux notes.",
    ]),
    ("Conventions", [
        "Orthographe du manuscrit conserv\u00e9e ; abr\u00e9viations d\u00e9velopp\u00e9es en //italique// dans "
        "l'\u00e9dition imprim\u00e9e.",
    ]),
])
info_eng = doc("Book of marvels (excerpt)", "Sample transcription", [
    ("Source", [
        "An imaginary manuscript: three pages, four folios (1 recto to 2 verso).",
        "* **Page 1**: folios 1 recto and 1 verso, two glyphs (ornate letter, star), two notes.",
        "* **Page 2**: folio 2 recto, the scribe's mark, one note.",
        "* **Page 3**: folio 2 verso, the colophon and its painted cartouche, two notes.",
    ]),
])

for name, text in [("help_fra.rtf", help_fra), ("help_eng.rtf", help_eng), ("about_fra.rtf", about_fra),
                   ("about_eng.rtf", about_eng), ("sample_fra.rtf", info_fra), ("sample_eng.rtf", info_eng)]:
    with open(os.path.join(root, "samples", name), "w", newline="\r\n", encoding="ascii") as f:
        f.write(text)
print("samples written")
