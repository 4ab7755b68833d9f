// The collocates dialog: the grid of a window's last search, sortable by
// each column, the meetings of a selected collocate, another window size,
// the names screen readers read, and the English captions. The n-grams
// dialog: bigrams of the document, longer sequences and clusters.

#include "ControlNames.h"
#include "FakeDialogs.h"
#include "i18n/Language.h"
#include "platform/Cp1252.h"
#include "ui/TfrmCollocates.h"
#include "ui/TfrmNgrams.h"
#include "ui/UiLanguage.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <algorithm>

using namespace kalix;
using namespace kalix::ui;

namespace {

TfrmCollocates::Source ChatSource() {
  TfrmCollocates::Source source;
  source.Strings.emplace_back("chat");
  source.Settings.SetSpelling(2);
  source.Settings.SetResult(true, 1, true);
  auto doc = std::make_shared<Document>();
  doc->text = std::string("le chat noir. le chat gris\nun chien noir et le chat.\n") + '\0';
  source.Doc = std::move(doc);
  return source;
}

QStringList Column(QTableWidget* grid, int column) {
  QStringList out;
  for (int r = 0; r < grid->rowCount(); ++r) out << grid->item(r, column)->text();
  return out;
}

}  // namespace

class CollocatesTest : public QObject {
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

  void gridMeetingsAndWindow() {
    TfrmCollocates& dialog = TheCollocatesDialog();
    dialogs_.onExec = [&](QDialog* d) -> int {
      if (d != &dialog) return QDialog::Rejected;
      [&] {
        // Window 5/5 on 12 words: every other form meets CHAT. The grid
        // fills once the background computation ends.
        QVERIFY(dialog.Worker().WaitForEnd(10000));
        QCOMPARE(dialog.spnLeft->value(), 5);
        QCOMPARE(dialog.grdColloc->rowCount(), 7);
        QCOMPARE(dialog.grdColloc->item(0, 0)->text(), QString("LE"));  // most co-occurrences first
        // Window 1/1, as the hand-worked example of the core's tests.
        dialog.spnLeft->setValue(1);
        dialog.spnRight->setValue(1);
        dialog.btnCompute->click();
        QVERIFY(dialog.Worker().WaitForEnd(10000));
        QCOMPARE(dialog.grdColloc->rowCount(), 3);
        dialog.grdColloc->sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(Column(dialog.grdColloc, 0), (QStringList{"GRIS", "LE", "NOIR"}));
        QCOMPARE(Column(dialog.grdColloc, 1), (QStringList{"1", "3", "1"}));
        QCOMPARE(Column(dialog.grdColloc, 2), (QStringList{"1", "3", "2"}));
        dialog.grdColloc->sortByColumn(4, Qt::DescendingOrder);  // MI: GRIS and LE (1.263) before NOIR
        QCOMPARE(dialog.grdColloc->item(2, 0)->text(), QString("NOIR"));
        QCOMPARE(dialog.grdColloc->item(2, 4)->data(Qt::DisplayRole).toDouble(), 0.263);
        // Selecting LE lists the three windows where it meets CHAT.
        dialog.grdColloc->sortByColumn(0, Qt::AscendingOrder);
        dialog.grdColloc->selectRow(1);
        QVERIFY(dialog.Worker().WaitForEnd(10000));
        QCOMPARE(dialog.lstMeet->count(), 3);
        QCOMPARE(dialog.lstMeet->item(1)->text(), QString("le chat gris"));
        dialog.spnMin->setValue(2);
        dialog.btnCompute->click();
        QVERIFY(dialog.Worker().WaitForEnd(10000));
        QCOMPARE(Column(dialog.grdColloc, 0), (QStringList{"LE"}));
        QCOMPARE(dialog.lstMeet->count(), 0);
        // Names for screen readers.
        QCOMPARE(dialog.windowTitle(), QString("Cooccurrents"));
        QCOMPARE(dialog.grdColloc->accessibleName(), QString("Cooccurrents"));
        QCOMPARE(dialog.spnLeft->accessibleName(), FromCp1252("Mots \xe0 gauche"));
        QCOMPARE(dialog.btnCompute->accessibleName(), QString("Calculer"));
        QCOMPARE(dialog.grdColloc->horizontalHeaderItem(2)->text(), FromCp1252("Fr\xe9quence"));
        QVERIFY2(UnnamedControls(&dialog).isEmpty(), qPrintable("unnamed: " + UnnamedControls(&dialog).join(", ")));
        SaveShot(&dialog, "kalix-collocates.png");
      }();
      return QDialog::Accepted;
    };
    dialog.ShowFor(ChatSource());
    QCOMPARE(dialog.grdColloc->rowCount(), 0);
  }

  void ngramsAndClusters() {
    TfrmNgrams& dialog = TheNgramsDialog();
    dialogs_.onExec = [&](QDialog* d) -> int {
      if (d != &dialog) return QDialog::Rejected;
      [&] {
        // Bigrams of one paragraph each: GRIS UN is not one.
        QVERIFY(dialog.Worker().WaitForEnd(10000));
        QCOMPARE(dialog.grdNgram->rowCount(), 8);
        QCOMPARE(dialog.grdNgram->item(0, 0)->text(), QString("LE CHAT"));
        QCOMPARE(dialog.grdNgram->item(0, 1)->text(), QString("3"));
        QCOMPARE(dialog.grdNgram->item(0, 2)->text(), QString("1"));
        dialog.spnSize->setValue(5);
        dialog.btnCompute->click();
        QVERIFY(dialog.Worker().WaitForEnd(10000));
        QCOMPARE(dialog.grdNgram->rowCount(), 4);
        // Clusters of three holding CHAT.
        QVERIFY(dialog.chkClusters->isEnabled());
        dialog.spnSize->setValue(3);
        dialog.chkClusters->setChecked(true);
        dialog.btnCompute->click();
        QVERIFY(dialog.Worker().WaitForEnd(10000));
        dialog.grdNgram->sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(Column(dialog.grdNgram, 0), (QStringList{"CHAT NOIR LE", "ET LE CHAT", "LE CHAT GRIS",
                                                          "LE CHAT NOIR", "NOIR LE CHAT"}));
        QCOMPARE(dialog.chkClusters->accessibleName(), QString("Contenant la recherche"));
        QCOMPARE(dialog.grdNgram->accessibleName(), QString("N-grammes"));
        QVERIFY2(UnnamedControls(&dialog).isEmpty(), qPrintable("unnamed: " + UnnamedControls(&dialog).join(", ")));
        SaveShot(&dialog, "kalix-ngrams.png");
      }();
      return QDialog::Accepted;
    };
    dialog.ShowFor({ChatSource().Strings, ChatSource().Settings, {}, ChatSource().Doc, {}});
  }

  // Both dialogs open before their computation ends, show its progress
  // with a Cancel button; Cancel leaves the grid empty and the dialog
  // usable: computing again gives what the core gives, row for row.
  void cancelThenResultsOfTheCore() {
    // A text long enough that the computation is still running when the
    // dialog opens.
    TfrmCollocates::Source source = ChatSource();
    std::string text;
    const char* const words[] = {"le ", "chat ", "noir ", "roy. ", "gris\n", "un ", "chien "};
    for (int k = 0; k < 400000; ++k) text += words[(k * 7 + k / 3) % 7];
    auto doc = std::make_shared<Document>();
    doc->text = text + '\0';
    source.Doc = doc;
    TheShell().Ctx.Rules.SubstRules.push_back({"ROY", "ROI"});

    TfrmCollocates& colloc = TheCollocatesDialog();
    dialogs_.onExec = [&](QDialog* d) -> int {
      if (d != &colloc) return QDialog::Rejected;
      [&] {
        QVERIFY(colloc.Worker().Running());
        QCOMPARE(colloc.grdColloc->rowCount(), 0);
        QVERIFY(colloc.btnCancel->isEnabled());
        QVERIFY(colloc.barProgress->isVisibleTo(&colloc));
        QCOMPARE(colloc.btnCancel->accessibleName(), QString("Annuler"));
        QCOMPARE(colloc.barProgress->accessibleName(), QString("Progression"));
        QVERIFY2(UnnamedControls(&colloc).isEmpty(), qPrintable("unnamed: " + UnnamedControls(&colloc).join(", ")));
        colloc.btnCancel->click();
        QVERIFY(!colloc.Worker().Running());
        QVERIFY(!colloc.btnCancel->isEnabled());
        QVERIFY(!colloc.barProgress->isVisibleTo(&colloc));
        QTest::qWait(100);
        QCOMPARE(colloc.grdColloc->rowCount(), 0);  // the cancelled result never shows
        QVERIFY(colloc.btnCompute->isEnabled());
        // Computing again, with another window, gives the core's collocates.
        colloc.spnLeft->setValue(2);
        colloc.spnRight->setValue(3);
        colloc.btnCompute->click();
        QVERIFY(colloc.Worker().WaitForEnd(60000));
        SearchRequest request = source.Request();
        CollocateOptions options;
        options.Left = 2;
        options.Right = 3;
        options.Filters = &source.Filters;
        const CollocateResult core = FindCollocates(TheShell().Ctx, request, options);
        QVERIFY(!core.Collocates.empty());
        QCOMPARE(colloc.grdColloc->rowCount(), static_cast<int>(core.Collocates.size()));
        colloc.grdColloc->sortByColumn(0, Qt::AscendingOrder);
        std::vector<Collocate> byText = core.Collocates;
        SortCollocates(byText, CollocateOrder::Text);
        for (int row = 0; row < colloc.grdColloc->rowCount(); ++row) {
          const Collocate& c = byText[static_cast<size_t>(row)];
          QCOMPARE(colloc.grdColloc->item(row, 0)->text(), FromCp1252(c.Text));
          QCOMPARE(colloc.grdColloc->item(row, 1)->text(), QString::number(c.Cooccurrences));
          QCOMPARE(colloc.grdColloc->item(row, 2)->text(), QString::number(c.Frequency));
        }
        // A computation still running when the dialog closes is cancelled.
        colloc.btnCompute->click();
        QVERIFY(colloc.Worker().Running());
      }();
      return QDialog::Accepted;
    };
    colloc.ShowFor(source);
    QVERIFY(!colloc.Worker().Running());
    QCOMPARE(colloc.grdColloc->rowCount(), 0);

    TfrmNgrams& ngrams = TheNgramsDialog();
    dialogs_.onExec = [&](QDialog* d) -> int {
      if (d != &ngrams) return QDialog::Rejected;
      [&] {
        QVERIFY(ngrams.Worker().Running());
        QCOMPARE(ngrams.grdNgram->rowCount(), 0);
        QCOMPARE(ngrams.btnCancel->accessibleName(), QString("Annuler"));
        QVERIFY2(UnnamedControls(&ngrams).isEmpty(), qPrintable("unnamed: " + UnnamedControls(&ngrams).join(", ")));
        ngrams.btnCancel->click();
        QVERIFY(!ngrams.Worker().Running());
        QTest::qWait(100);
        QCOMPARE(ngrams.grdNgram->rowCount(), 0);
        ngrams.spnSize->setValue(3);
        ngrams.chkClusters->setChecked(false);
        ngrams.btnCompute->click();
        QVERIFY(ngrams.Worker().WaitForEnd(60000));
        NgramOptions options;
        options.Size = 3;
        options.Filters = &source.Filters;
        const NgramResult core = FindNgrams(TheShell().Ctx, source.Request(), options);
        QVERIFY(core.Count() > 0);
        QCOMPARE(ngrams.grdNgram->rowCount(), static_cast<int>(std::min<size_t>(core.Count(), TfrmNgrams::kMaxRows)));
        ngrams.grdNgram->sortByColumn(1, Qt::DescendingOrder);
        QStringList shown, expected;
        for (int row = 0; row < ngrams.grdNgram->rowCount(); ++row) {
          shown << ngrams.grdNgram->item(row, 0)->text() + " " + ngrams.grdNgram->item(row, 1)->text();
          const Ngram g = core.Row(static_cast<size_t>(row));
          expected << FromCp1252(g.Text) + " " + QString::number(g.Frequency);
        }
        shown.sort();
        expected.sort();
        QCOMPARE(shown, expected);
      }();
      return QDialog::Accepted;
    };
    ngrams.ShowFor(source);
  }

  void englishCaptions() {
    LanguageState& language = TheShell().Ctx.Language;
    QVERIFY(LoadLanguageFile(language, std::string(KALIX_SOURCE_DIR) + "/samples/eng.lng") ==
            LanguageLoadStatus::Loaded);
    TfrmCollocates& dialog = TheCollocatesDialog();
    dialogs_.onExec = [&](QDialog*) -> int {
      [&] {
        QCOMPARE(dialog.windowTitle(), QString("Collocates"));
        QCOMPARE(dialog.btnCompute->text(), QString("&Compute"));
        QCOMPARE(dialog.btnCancel->text(), QString("Cancel"));
        QCOMPARE(dialog.barProgress->accessibleName(), QString("Progress"));
        QCOMPARE(dialog.grdColloc->horizontalHeaderItem(4)->text(), QString("MI"));
        QCOMPARE(dialog.grdColloc->horizontalHeaderItem(1)->text(), QString("Co-occurrences"));
      }();
      return QDialog::Accepted;
    };
    dialog.ShowFor(ChatSource());
    dialogs_.onExec = [&](QDialog* d) -> int {
      [&] {
        QCOMPARE(d->windowTitle(), QString("N-grams"));
        QCOMPARE(TheNgramsDialog().chkClusters->text(), QString("Containing the &search"));
        QCOMPARE(TheNgramsDialog().grdNgram->horizontalHeaderItem(1)->text(), QString("Frequency"));
      }();
      return QDialog::Accepted;
    };
    TheNgramsDialog().ShowFor({});
    language = LanguageState();
  }
};

QTEST_MAIN(CollocatesTest)
#include "collocates_test.moc"
