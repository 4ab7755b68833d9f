// The thesaurus and corpus through the windows: menus and their states in
// several windows, the editors, the save questions (Cancel at each), writes
// that fail, and windows closed with unsaved lists.

#include "FakeDialogs.h"
#include "platform/IniFile.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "ui/EditorList.h"
#include "ui/TfrmCorpus.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmThesaurus.h"

#include <QAction>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace kalix;
using namespace kalix::ui;

namespace {

QString T(const char* s) { return FromCp1252(s); }

// The enabled states of a window's list menu, as "NOESAC" letters
// (New, Open, Edit, Save, save As, Close), '-' for a disabled item.
QString States(QAction* n, QAction* o, QAction* e, QAction* s, QAction* a, QAction* c) {
  QString out;
  const char letters[] = "NOESAC";
  int i = 0;
  for (QAction* item : {n, o, e, s, a, c}) {
    out += item->isEnabled() ? QChar(letters[i]) : QChar('-');
    ++i;
  }
  return out;
}

QString ThesaurusStates(TfrmMain* w) {
  return States(w->mnuTNew, w->mnuTOpen, w->mnuTEdit, w->mnuTSave, w->mnuTSaveAs, w->mnuTClose);
}
QString CorpusStates(TfrmMain* w) {
  return States(w->mnuCNew, w->mnuCOpen, w->mnuCEdit, w->mnuCSave, w->mnuCSaveAs, w->mnuCClose);
}

// The expected letters of a menu state.
QString Expected(int state) {
  switch (state) {
    case 0: return "NO----";
    case 1: return "NOE-AC";
    default: return "NOESAC";
  }
}

void Type(QLineEdit* edit, const QString& text) {
  edit->clear();
  edit->setText(text);
}

QStringList LinesOf(TSortedList* list) { return list->Lines(); }

void ClickRow(TSortedList* list, int row) {
  QRect r = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
}

}  // namespace

class LexiconTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;

  QString Path(const char* name) { return dir_.path() + "/" + name; }
  std::string Bytes(const char* name) {
    return ReadBinaryFile(Path(name).toStdString()).value_or("<unreadable>");
  }

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
  }
  void cleanup() {
    for (TfrmMain* w : TheShell().MainWindowList) delete w;
    SetDialogs(nullptr);
  }

  // One thesaurus from "&Nouveau" to closing its window.
  void thesaurusThroughTheWindow() {
    auto* w = new TfrmMain();
    QCOMPARE(ThesaurusStates(w), Expected(0));
    TfrmThesaurus& ed = TheThesaurusEditor();
    QCOMPARE(ed.objectName(), QString("frmThesaurus"));
    QCOMPARE(ed.size(), QSize(290, 379));

    // New: words typed and added; the add button follows the list.
    QStringList shown;
    dialogs_.onExec = [&](QDialog* d) {
      if (d != &ed) return int(QDialog::Rejected);
      if (ed.btnAdd->isEnabled()) return -9;  // disabled at first
      for (const char* word : {"  zebre", "arbre\t", "avoir", "Avoir", "mur"}) {
        Type(ed.edWord, word);
        if (!ed.btnAdd->isEnabled()) return -1;
        ed.btnAdd->click();
        if (ed.btnAdd->isEnabled() || !ed.btnSave->isEnabled()) return -1;
      }
      Type(ed.edWord, "avoir ");  // trimmed: already there
      if (ed.btnAdd->isEnabled()) return -2;
      Type(ed.edWord, "AVOIR");
      if (!ed.btnAdd->isEnabled() || ed.btnRepl->isEnabled()) return -3;  // no current line
      shown = LinesOf(ed.lstWord);
      ed.OKBtn->click();
      return ed.result();
    };
    w->mnuTNew->trigger();
    QCOMPARE(shown.size(), 5);
    QCOMPARE(shown.mid(0, 1), QStringList{"arbre"});
    QCOMPARE(shown.mid(3), (QStringList{"mur", "zebre"}));
    QVERIFY(w->ThesaurusList.Open);
    QVERIFY(w->ThesaurusList.Modified);
    QCOMPARE(w->ThesaurusList.Entries.size(), size_t(5));
    QCOMPARE(w->ThesaurusList.Entries[0], std::string("arbre"));
    QCOMPARE(w->ThesaurusList.Entries[4], std::string("zebre"));
    // A new thesaurus is open (state 1) although modified.
    QCOMPARE(ThesaurusStates(w), Expected(1));

    // Close: Cancel keeps everything.
    dialogs_.answers = {Answer::Cancel};
    w->mnuTClose->trigger();
    QCOMPARE(dialogs_.questions.size(), size_t(1));
    QCOMPARE(dialogs_.questions[0].caption, QString("Thesaurus"));
    QCOMPARE(dialogs_.questions[0].text, T("Le thesaurus a chang\xe9. Voulez-vous l'enregistrer ?"));
    QVERIFY(w->ThesaurusList.Open && w->ThesaurusList.Modified);

    // Save as into a folder that does not exist: said, still modified.
    dialogs_.files = {Path("missing/t.the")};
    w->mnuTSaveAs->trigger();
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QCOMPARE(dialogs_.messages[0].caption, QString("Kalix"));
    QCOMPARE(dialogs_.messages[0].text, T("Impossible d'\xe9" "crire le fichier :\n") + Path("missing/t.the"));
    QVERIFY(w->ThesaurusList.Modified);
    QCOMPARE(ThesaurusStates(w), Expected(1));

    // Save as a name without extension: ".the" is added.
    dialogs_.files = {Path("mots")};
    w->mnuTSaveAs->trigger();
    QCOMPARE(dialogs_.fileRequests.back().fileName, QString());  // as new: no name
    QCOMPARE(dialogs_.fileRequests.back().filter, QString("Thesaurus file (*.the)|*.the|Any file (*.*)|*.*"));
    QCOMPARE(Bytes("mots.the"), std::string("arbre\r\navoir\r\nAvoir\r\nmur\r\nzebre\r\n"));
    QVERIFY(!w->ThesaurusList.Modified);
    QCOMPARE(w->ThesaurusList.FileName, Path("mots.the").toStdString());
    QCOMPARE(ThesaurusStates(w), Expected(1));

    // Edit, leave with OK without a change: nothing changes.
    dialogs_.onExec = [&](QDialog*) {
      ed.OKBtn->click();
      return ed.result();
    };
    QVERIFY(!w->EditThesaurus());
    QVERIFY(!w->ThesaurusList.Modified);

    // Edit: replace arbre by zèbre (it keeps its place), delete three
    // adjacent lines (the next one becomes current), save from the editor.
    QStringList afterReplace, afterDelete;
    QString edAfterDelete;
    dialogs_.onExec = [&](QDialog*) {
      ClickRow(ed.lstWord, 0);
      if (ed.edWord->text() != "arbre" || !ed.btnDel->isEnabled()) return -1;
      Type(ed.edWord, T("z\xe8" "bre"));
      if (!ed.btnRepl->isEnabled()) return -2;
      ed.btnRepl->click();
      afterReplace = LinesOf(ed.lstWord);
      ed.lstWord->clearSelection();
      ed.lstWord->setCurrentRow(1, QItemSelectionModel::Select);
      ed.lstWord->item(2)->setSelected(true);
      ed.lstWord->item(3)->setSelected(true);
      ed.btnDel->click();
      afterDelete = LinesOf(ed.lstWord);
      edAfterDelete = ed.edWord->text();
      if (ed.lstWord->currentRow() != 1) return -3;
      ed.btnSave->click();
      return ed.result();
    };
    dialogs_.files = {Path("mots.the")};
    w->mnuTEdit->trigger();
    QCOMPARE(afterReplace, (QStringList{T("z\xe8" "bre"), "avoir", "Avoir", "mur", "zebre"}));
    QCOMPARE(afterDelete, (QStringList{T("z\xe8" "bre"), "zebre"}));
    QCOMPARE(edAfterDelete, QString("zebre"));
    QCOMPARE(dialogs_.fileRequests.back().fileName, Path("mots.the"));  // "&Enregistrer": current name
    QCOMPARE(Bytes("mots.the"), std::string("z\xe8" "bre\r\nzebre\r\n"));
    QVERIFY(!w->ThesaurusList.Modified);
    QCOMPARE(ThesaurusStates(w), Expected(1));

    // Edit with Cancel: the thesaurus stays as it was.
    dialogs_.onExec = [&](QDialog*) {
      Type(ed.edWord, "x");
      ed.btnAdd->click();
      ed.CancelBtn->click();
      return ed.result();
    };
    QVERIFY(!w->EditThesaurus());
    QCOMPARE(w->ThesaurusList.Entries.size(), size_t(2));
    QVERIFY(!w->ThesaurusList.Modified);

    // A change, then the window closes: every answer but No (or a save
    // that works) keeps it open.
    dialogs_.onExec = [&](QDialog*) {
      Type(ed.edWord, "x");
      ed.btnAdd->click();
      ed.OKBtn->click();
      return ed.result();
    };
    QVERIFY(w->EditThesaurus());
    QCOMPARE(ThesaurusStates(w), Expected(2));
    QPointer<TfrmMain> guard(w);
    dialogs_.answers = {Answer::Cancel};
    QVERIFY(!w->close());
    dialogs_.answers = {Answer::Yes};  // then the save dialog is cancelled
    dialogs_.files.clear();
    QVERIFY(!w->close());
    dialogs_.answers = {Answer::Yes};  // then the write fails
    w->ThesaurusList.FileName.clear();
    dialogs_.files = {Path("missing/x.the")};
    size_t messages = dialogs_.messages.size();
    QVERIFY(!w->close());
    QCOMPARE(dialogs_.messages.size(), messages + 1);
    QVERIFY(w->ThesaurusList.Modified);
    QCOMPARE(ThesaurusStates(w), Expected(2));
    dialogs_.answers = {Answer::Yes};  // then the save works
    dialogs_.files = {Path("last.the")};
    QVERIFY(w->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
    // Loaded into the editor again, zèbre found its sorted place.
    QCOMPARE(Bytes("last.the"), std::string("x\r\nzebre\r\nz\xe8" "bre\r\n"));
  }

  void thesaurusOpenFromFile() {
    auto* w = new TfrmMain();
    TfrmThesaurus& ed = TheThesaurusEditor();
    QVERIFY(WriteBinaryFile(Path("a.the").toStdString(), "avoir\r\nAvoir\n\r\n b "));

    // A file that cannot be read: said, and the thesaurus stays closed.
    dialogs_.files = {Path("none.the")};
    w->mnuTOpen->trigger();
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QCOMPARE(dialogs_.messages[0].text, T("Impossible de lire le fichier :\n") + Path("none.the"));
    QVERIFY(!w->ThesaurusList.Open);
    QCOMPARE(ThesaurusStates(w), Expected(0));
    QVERIFY(dialogs_.executed.empty());

    QStringList shown;
    dialogs_.onExec = [&](QDialog*) {
      shown = LinesOf(ed.lstWord);
      ed.CancelBtn->click();
      return ed.result();
    };
    dialogs_.files = {Path("a.the")};
    w->mnuTOpen->trigger();
    QCOMPARE(dialogs_.fileRequests.back().initialFolder, QString::fromStdString(TheShell().ProgramDir));
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown, (QStringList{"", " b ", "avoir", "Avoir"}));
    QVERIFY(w->ThesaurusList.Open);
    QVERIFY(!w->ThesaurusList.Modified);
    QCOMPARE(w->ThesaurusList.Entries,
             (std::vector<std::string>{"avoir", "Avoir", "", " b "}));  // file order until edited
    QCOMPARE(ThesaurusStates(w), Expected(1));

    // An OK after a change stores the editor's order; No to the close
    // question discards, and a later open asks nothing.
    dialogs_.onExec = [&](QDialog*) {
      Type(ed.edWord, "c");
      ed.btnAdd->click();
      ed.OKBtn->click();
      return ed.result();
    };
    QVERIFY(w->EditThesaurus());
    QCOMPARE(w->ThesaurusList.Entries, (std::vector<std::string>{"", " b ", "avoir", "Avoir", "c"}));
    dialogs_.answers = {Answer::No};
    QVERIFY(w->CloseThesaurus());
    QVERIFY(!w->ThesaurusList.Open);
    QVERIFY(w->ThesaurusList.Entries.empty());
    size_t asked = dialogs_.questions.size();
    dialogs_.files.clear();
    w->mnuTOpen->trigger();
    QCOMPARE(dialogs_.questions.size(), asked);

    // Each window has its own thesaurus.
    auto* other = new TfrmMain();
    QCOMPARE(ThesaurusStates(other), Expected(0));
    QVERIFY(!other->ThesaurusList.Open);
  }

  // One corpus shared by two windows.
  void corpusInTwoWindows() {
    auto* w1 = new TfrmMain();
    auto* w2 = new TfrmMain();
    TfrmCorpus& ed = TheCorpusEditor();
    QCOMPARE(ed.objectName(), QString("frmCorpus"));
    QCOMPARE(ed.size(), QSize(367, 203));
    QVERIFY(ed.btnAdd->isEnabled());
    QVERIFY(!w1->btnFind->isEnabled());
    TheShell().DocumentPath = (dir_.path() + "/docs/").toStdString();
    QVERIFY(WriteBinaryFile(Path("one.cor").toStdString(), "/d/b.rtf\r\n/d/A.rtf\r\n"));

    // "&Ouvrir": the file, then the editor (left with Cancel).
    QStringList shown;
    dialogs_.onExec = [&](QDialog*) {
      shown = LinesOf(ed.lstWord);
      ed.CancelBtn->click();
      return ed.result();
    };
    dialogs_.files = {Path("one.cor")};
    w1->mnuCOpen->trigger();
    QCOMPARE(dialogs_.fileRequests.back().filter, QString("Corpus file (*.cor)|*.cor|Any file (*.*)|*.*"));
    QCOMPARE(shown, (QStringList{"/d/A.rtf", "/d/b.rtf"}));
    const Corpus& corpus = TheShell().Ctx.Corpus;
    QVERIFY(corpus.Open && !corpus.Modified);
    QCOMPARE(corpus.Entries, (std::vector<std::string>{"/d/b.rtf", "/d/A.rtf"}));
    QCOMPARE(CorpusStates(w1), Expected(1));
    QCOMPARE(CorpusStates(w2), Expected(1));
    QVERIFY(w1->btnFind->isEnabled() && w1->mnuWord->isEnabled());  // no document, corpus open

    // Editing in the other window: several files at once, one of them
    // differing only in case from a line; a deleted line; OK.
    int failed = 0;
    dialogs_.onExec = [&](QDialog*) {
      failed = 0;
      if (ed.btnDel->isEnabled()) return failed = -1;
      if (ed.OpenDialog.initialFolder != dir_.path() + "/docs/") return failed = -2;
      dialogs_.fileLists = {{"/d/c.txt", "/d/a.RTF", "/d/0.rtf"}};
      ed.btnAdd->click();
      if (LinesOf(ed.lstWord) != QStringList{"/d/0.rtf", "/d/A.rtf", "/d/b.rtf", "/d/c.txt"}) return failed = -3;
      ed.lstWord->clearSelection();
      ed.lstWord->setCurrentRow(2);
      ClickRow(ed.lstWord, 2);
      if (!ed.btnDel->isEnabled()) return failed = -4;
      ed.btnDel->click();
      ed.OKBtn->click();
      return ed.result();
    };
    QVERIFY2(w2->EditCorpus(), qPrintable(QString::number(failed)));
    QCOMPARE(dialogs_.fileRequests.back().filter,
             QString("Rich text files (*.rft)|*.rtf|Text files (*.txt)|*.txt|Any files (*.*)|*.*"));
    QCOMPARE(corpus.Entries, (std::vector<std::string>{"/d/0.rtf", "/d/A.rtf", "/d/c.txt"}));
    QVERIFY(corpus.Modified);
    QCOMPARE(CorpusStates(w1), Expected(2));
    QCOMPARE(CorpusStates(w2), Expected(2));

    // "&Ajouter" whose file dialog is cancelled counts as a change; OK
    // without one does not.
    dialogs_.onExec = [&](QDialog*) {
      ed.OKBtn->click();
      return ed.result();
    };
    QVERIFY(!w1->EditCorpus());
    dialogs_.onExec = [&](QDialog*) {
      dialogs_.files.clear();
      ed.btnAdd->click();
      ed.OKBtn->click();
      return ed.result();
    };
    QVERIFY(w1->EditCorpus());

    // Save: the dialog shows the current name; a name without extension
    // gets ".cor".
    dialogs_.files = {Path("two")};
    w1->mnuCSave->trigger();
    QCOMPARE(dialogs_.fileRequests.back().fileName, Path("one.cor"));
    QCOMPARE(dialogs_.fileRequests.back().filter, QString("Corpus file (*.cop)|*.cor|Any file (*.*)|*.*"));
    QCOMPARE(Bytes("two.cor"), std::string("/d/0.rtf\r\n/d/A.rtf\r\n/d/c.txt\r\n"));
    QVERIFY(!corpus.Modified);
    QCOMPARE(CorpusStates(w1), Expected(1));
    QCOMPARE(CorpusStates(w2), Expected(1));

    // Modified again; a window that is not the last closes without a
    // question; the last asks, and Cancel keeps it open.
    dialogs_.onExec = [&](QDialog*) {
      ClickRow(ed.lstWord, 0);
      ed.btnDel->click();
      ed.OKBtn->click();
      return ed.result();
    };
    QVERIFY(w2->EditCorpus());
    QCOMPARE(corpus.Entries, (std::vector<std::string>{"/d/A.rtf", "/d/c.txt"}));
    QPointer<TfrmMain> g1(w1), g2(w2);
    size_t asked = dialogs_.questions.size();
    QVERIFY(w1->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(g1.isNull());
    QCOMPARE(dialogs_.questions.size(), asked);
    dialogs_.answers = {Answer::Cancel};
    QVERIFY(!w2->close());
    QCOMPARE(dialogs_.questions.back().caption, QString("Corpus"));
    QCOMPARE(dialogs_.questions.back().text, T("Le corpus a chang\xe9. Voulez-vous l'enregistrer ?"));
    dialogs_.answers = {Answer::Yes};  // the save fails: still open and modified
    dialogs_.files = {Path("missing/c.cor")};
    QVERIFY(!w2->close());
    QVERIFY(corpus.Modified);
    QCOMPARE(CorpusStates(w2), Expected(2));
    // A window made now shows its corpus items as designed.
    auto* w3 = new TfrmMain();
    QCOMPARE(CorpusStates(w3), Expected(0));
    QVERIFY(w3->close());  // not the last: no question
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dialogs_.answers = {Answer::No};
    QVERIFY(w2->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(g2.isNull());
  }

  void corpusNewCloseAndOpenByName() {
    auto* w = new TfrmMain();
    TfrmCorpus& ed = TheCorpusEditor();
    // "&Nouveau" left with Cancel: nothing is open.
    dialogs_.onExec = [&](QDialog*) {
      ed.CancelBtn->click();
      return ed.result();
    };
    w->mnuCNew->trigger();
    QVERIFY(!TheShell().Ctx.Corpus.Open);
    QCOMPARE(CorpusStates(w), Expected(0));

    // "&Ouvrir" whose file dialog is cancelled still shows the editor; OK
    // after a change leaves the corpus modified but closed.
    dialogs_.onExec = [&](QDialog*) {
      dialogs_.fileLists = {{"/d/x.rtf"}};
      ed.btnAdd->click();
      ed.OKBtn->click();
      return ed.result();
    };
    dialogs_.files.clear();
    w->mnuCOpen->trigger();
    QVERIFY(!TheShell().Ctx.Corpus.Open);
    QVERIFY(TheShell().Ctx.Corpus.Modified);
    QCOMPARE(CorpusStates(w), Expected(2));

    // Opening a corpus by name asks about the modified one first.
    QVERIFY(WriteBinaryFile(Path("named.cor").toStdString(), "/d/y.rtf"));
    dialogs_.answers = {Answer::Cancel};
    QVERIFY(!w->OpenCorpusFile(Path("named.cor").toStdString()));
    QVERIFY(TheShell().Ctx.Corpus.Modified);
    dialogs_.answers = {Answer::No};
    QVERIFY(w->OpenCorpusFile(Path("named.cor").toStdString()));
    QCOMPARE(TheShell().Ctx.Corpus.Entries, (std::vector<std::string>{"/d/y.rtf"}));
    QCOMPARE(CorpusStates(w), Expected(1));
    QVERIFY(w->btnWord->isEnabled());
    QVERIFY(!w->OpenCorpusFile(Path("nothing.cor").toStdString()));
    QCOMPARE(dialogs_.messages.back().text, T("Impossible de lire le fichier :\n") + Path("nothing.cor"));
    QVERIFY(!TheShell().Ctx.Corpus.Open);
    QCOMPARE(CorpusStates(w), Expected(0));
    QVERIFY(!w->btnWord->isEnabled());
  }

  // Closing the last window with a modified thesaurus and a modified corpus:
  // both questions come before anything is emptied, so a Cancel at the
  // second keeps the thesaurus that the first was told not to save.
  void closingAsksEveryQuestionFirst() {
    auto* w = new TfrmMain();
    w->ThesaurusList.Open = true;
    w->ThesaurusList.Modified = true;
    w->ThesaurusList.Entries = {"ROI=ROY"};
    TheShell().Ctx.Corpus.Open = true;
    TheShell().Ctx.Corpus.Modified = true;
    TheShell().Ctx.Corpus.Entries = {"/d/a.rtf"};
    dialogs_.answers = {Answer::No, Answer::Cancel};
    QVERIFY(!w->close());
    QCOMPARE(dialogs_.questions.size(), size_t{2});
    QCOMPARE(w->ThesaurusList.Entries, (std::vector<std::string>{"ROI=ROY"}));
    QVERIFY(w->ThesaurusList.Modified);
    QCOMPARE(TheShell().Ctx.Corpus.Entries, (std::vector<std::string>{"/d/a.rtf"}));
    // No to both: the window closes, both lists emptied.
    dialogs_.answers = {Answer::No, Answer::No};
    QVERIFY(w->close());
    QVERIFY(w->ThesaurusList.Entries.empty());
    QVERIFY(TheShell().Ctx.Corpus.Entries.empty());
  }

  // The rules command tells the filter lists to refill, and only after a
  // rules file was loaded.
  void rulesMenuRefillsFilterLists() {
    auto* w = new TfrmMain();
    QStringList order;
    QObject first, second;
    OnRulesLoaded(&first, [&] { order << "find"; });
    OnRulesLoaded(&second, [&] { order << "word"; });
    {
      QObject gone;
      OnRulesLoaded(&gone, [&] { order << "gone"; });
    }
    dialogs_.files.clear();
    w->mnuRules->trigger();  // cancelled
    dialogs_.files = {Path("none.rul")};
    w->mnuRules->trigger();  // unreadable
    QVERIFY(order.isEmpty());
    QVERIFY(WriteBinaryFile(Path("r.rul").toStdString(), "[Filters]\r\n01A=x\r\n"));
    dialogs_.files = {Path("r.rul")};
    w->mnuRules->trigger();
    QCOMPARE(order, (QStringList{"find", "word"}));
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "Rules", ""), std::string("r.rul"));

    // A file that looks wrong: the user is asked; "No" keeps the rules in
    // use and the remembered file, "Yes" takes and remembers it.
    QVERIFY(WriteBinaryFile(Path("junk.rul").toStdString(), "PK\x03\x04 z=y\r\n=z\r\nGlyph=\r\n"));
    const unsigned char page = TheShell().Ctx.Rules.PageMarker;
    dialogs_.files = {Path("junk.rul")};
    dialogs_.answers = {Answer::No};
    w->mnuRules->trigger();
    QCOMPARE(dialogs_.questions.size(), size_t{1});
    QVERIFY2(dialogs_.questions[0].text.contains("junk.rul"), qPrintable(dialogs_.questions[0].text));
    QCOMPARE(TheShell().Ctx.Rules.PageMarker, page);
    QCOMPARE(order.size(), 2);
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "Rules", ""), std::string("r.rul"));
    dialogs_.files = {Path("junk.rul")};
    dialogs_.answers = {Answer::Yes};
    w->mnuRules->trigger();
    QCOMPARE(TheShell().Ctx.Rules.PageMarker, static_cast<unsigned char>('z'));
    QCOMPARE(IniFile::Load(TheShell().SettingsPath).GetString("Kalix", "Rules", ""), std::string("junk.rul"));
  }
};

QTEST_MAIN(LexiconTest)
#include "lexicon_test.moc"
