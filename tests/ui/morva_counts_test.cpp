// The generated-variants dialog with the occurrences of each variant: the
// counts of the window's document, shown beside the keys and told to screen
// readers, the order by frequency, the unattested rows hidden, and a
// dialog without a source that counts nothing.

#include "ControlNames.h"
#include "FakeDialogs.h"
#include "platform/Cp1252.h"
#include "ui/TfrmMorva.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTest>

using namespace kalix;
using namespace kalix::ui;

namespace {

// Typed CHAT with the variants CHA, CHATS and CHIEN (as the search hands
// them over); the document holds CHATS twice and CHAT once... in "Texte",
// anywhere in a word: CHA is found in every one of them, but each place
// counts once, for the first string that found it.
cArrowList Strings() {
  cArrowList list;
  list.emplace_back("CHAT");
  list.back().Index = 0;
  for (const char* key : {"CHA", "CHIEN", "CHATS"}) {
    SearchString s;
    s.SetKey(key);
    s.Source = 0;
    list.push_back(s);
  }
  return list;
}

MorvaCountSource Source() {
  MorvaCountSource source;
  source.Settings.SetSpelling(3);
  source.Settings.SetResult(true, 2, true);
  auto doc = std::make_shared<Document>();
  doc->text = std::string("LES CHATS ET LE CHAT.\nCHATS.\n") + '\0';
  source.Doc = std::move(doc);
  return source;
}

QStringList Shown(TfrmMorva& d) {
  QStringList rows;
  for (int r = 0; r < d.WordModel->rowCount(); ++r) {
    if (d.lstWord->isRowHidden(r)) continue;
    const QModelIndex index = d.WordModel->index(r);
    rows << index.data().toString() + "=" + index.data(Qt::AccessibleDescriptionRole).toString();
  }
  return rows;
}

}  // namespace

class MorvaCountsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
    TheShell().Ctx.Rules.SeparatorClass[' '] = kWordSeparator;
    TheShell().Ctx.Rules.SeparatorClass['.'] = kSentenceSeparator;
    TheShell().Ctx.Rules.SeparatorClass['\n'] = kParagraphSeparator;
  }
  void cleanup() { SetDialogs(nullptr); }

  void countsSortAndHide() {
    cArrowList list = Strings();
    TfrmMorva& dialog = TheMorvaDialog();
    dialog.SetCountSource(Source());
    dialogs_.onExec = [&](QDialog* d) -> int {
      auto* morva = qobject_cast<TfrmMorva*>(d);
      if (!morva) return QDialog::Rejected;
      [&] {
        // The list shows at once, in key order, before the counts.
        QCOMPARE(Shown(*morva), (QStringList{"CHA=", "CHAT=", "CHATS=", "CHIEN="}));
        QVERIFY(!morva->btnFreq->isEnabled());
        morva->WaitForCounts();
        // The strings are scanned in key order: CHA finds every place first.
        QCOMPARE(Shown(*morva), (QStringList{"CHA=3", "CHAT=0", "CHATS=0", "CHIEN=0"}));
        QVERIFY(morva->btnFreq->isEnabled());
        QVERIFY(morva->chkHideAbsent->isEnabled());
        QCOMPARE(morva->chkHideAbsent->accessibleName(), FromCp1252("Masquer les variantes absentes"));
        morva->chkHideAbsent->setChecked(true);
        QCOMPARE(Shown(*morva), (QStringList{"CHA=3"}));
        QCOMPARE(morva->lblCount->text(), QString("4"));  // every string stays in the list
        morva->chkHideAbsent->setChecked(false);
        morva->btnSort->click();  // reverse key order
        QCOMPARE(Shown(*morva).first(), QString("CHIEN=0"));
        morva->btnFreq->click();
        QCOMPARE(Shown(*morva), (QStringList{"CHA=3", "CHIEN=0", "CHATS=0", "CHAT=0"}));
        QVERIFY2(UnnamedControls(morva).isEmpty(), qPrintable("unnamed: " + UnnamedControls(morva).join(", ")));
        SaveShot(morva, "kalix-variants-counts.png");
      }();
      return QDialog::Accepted;
    };
    QVERIFY(dialog.Review(list, {}));
    // The order by frequency is the window's list; every variant still
    // refers to CHAT.
    QCOMPARE(list.size(), size_t{4});
    QCOMPARE(QString::fromStdString(list[0].Key), QString("CHA"));
    for (const SearchString& s : list) {
      if (s.HasSource()) QCOMPARE(list[static_cast<size_t>(s.Source)].Key, std::string("CHAT"));
    }
    // After the showing the counts are gone.
    QCOMPARE(dialog.WordModel->rowCount(), 0);
  }

  // In a corpus the count runs while the dialog is open, with a Stop
  // button, and adds up every document's occurrences.
  void corpusCounts() {
    const QString a = dir_.filePath("a.txt"), b = dir_.filePath("b.txt");
    for (const auto& [path, text] : {std::pair{a, "LES CHATS ET LE CHAT.\n"}, std::pair{b, "CHATS. CHA CHA\n"}}) {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(text);
    }
    MorvaCountSource source = Source();
    source.Doc.reset();
    source.Settings.UseCorpus = true;
    source.Corpus = {a.toStdString(), b.toStdString()};
    cArrowList list = Strings();
    TfrmMorva& dialog = TheMorvaDialog();
    dialog.SetCountSource(source);
    dialogs_.onExec = [&](QDialog* d) -> int {
      auto* morva = qobject_cast<TfrmMorva*>(d);
      if (!morva) return QDialog::Rejected;
      [&] {
        QVERIFY(morva->btnStopCount->isVisibleTo(morva));
        QVERIFY(!morva->btnStopCount->accessibleName().isEmpty());
        morva->WaitForCounts();
        QCOMPARE(Shown(*morva), (QStringList{"CHA=5", "CHAT=0", "CHATS=0", "CHIEN=0"}));
        QVERIFY(!morva->btnStopCount->isVisibleTo(morva));
        QVERIFY(morva->btnFreq->isEnabled());
      }();
      return QDialog::Rejected;
    };
    QVERIFY(!dialog.Review(list, {}));
  }

  void noSourceNoCounts() {
    cArrowList list = Strings();
    dialogs_.onExec = [&](QDialog* d) -> int {
      auto* morva = qobject_cast<TfrmMorva*>(d);
      if (!morva) return QDialog::Rejected;
      morva->WaitForCounts();
      [&] {
        QCOMPARE(Shown(*morva), (QStringList{"CHA=", "CHAT=", "CHATS=", "CHIEN="}));
        QVERIFY(!morva->btnFreq->isEnabled());
        QVERIFY(!morva->chkHideAbsent->isEnabled());
      }();
      return QDialog::Rejected;
    };
    QVERIFY(!TheMorvaDialog().Review(list, {}));
    QCOMPARE(list.size(), size_t{1});
  }
};

QTEST_MAIN(MorvaCountsTest)
#include "morva_counts_test.moc"
