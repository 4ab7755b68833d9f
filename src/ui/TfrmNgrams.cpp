#include "ui/TfrmNgrams.h"

#include "platform/Cp1252.h"
#include "ui/Accessible.h"
#include "ui/Dialogs.h"
#include "ui/Shell.h"
#include "ui/TfrmMain.h"
#include "ui/UiLanguage.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

QString T(const char* text1252) { return FromCp1252(text1252); }

// The column headings, as messages of the language file.
const char* const kHeadings[] = {"Forme", "Fr\xe9quence", "Documents"};

QTableWidgetItem* NumberItem(uint64_t value) {
  auto* item = new QTableWidgetItem;
  item->setData(Qt::DisplayRole, static_cast<qulonglong>(value));
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

TfrmNgrams::TfrmNgrams(QWidget* parent) : QDialog(parent) {
  setObjectName("frmNgram");
  setWindowTitle(T("N-grammes"));
  lblSize = new QLabel(T("&Mots par s\xe9quence"), this);
  lblSize->setObjectName("lblSize");
  spnSize = new QSpinBox(this);
  spnSize->setObjectName("spnSize");
  spnSize->setRange(2, 5);
  spnSize->setValue(2);
  lblMin = new QLabel(T("Fr\xe9quence m&inimale"), this);
  lblMin->setObjectName("lblMin");
  spnMin = new QSpinBox(this);
  spnMin->setObjectName("spnMin");
  spnMin->setRange(1, 1000000);
  spnMin->setValue(1);
  chkClusters = new QCheckBox(T("Contenant la &recherche"), this);
  chkClusters->setObjectName("chkClusters");
  btnCompute = new QPushButton(T("&Calculer"), this);
  btnCompute->setObjectName("btnCompute");
  btnCompute->setAutoDefault(false);
  grdNgram = new QTableWidget(0, 3, this);
  grdNgram->setObjectName("grdNgram");
  grdNgram->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdNgram->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdNgram->verticalHeader()->hide();
  grdNgram->horizontalHeader()->setStretchLastSection(true);
  grdNgram->setSortingEnabled(true);
  const StatisticsFooter footer(this);
  lblStatus = footer.Status;
  barProgress = footer.Progress;
  btnCancel = footer.Cancel;
  CloseBtn = footer.Close;
  worker_ = footer.Worker;
  lblSize->setBuddy(spnSize);
  lblMin->setBuddy(spnMin);

  auto* top = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{lblSize, spnSize, lblMin, spnMin, chkClusters, btnCompute}) {
    top->addWidget(w);
  }
  top->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(grdNgram, 1);
  layout->addLayout(footer.Row);
  resize(640, 480);

  connect(btnCompute, &QPushButton::clicked, this, &TfrmNgrams::btnComputeClick);
}

void TfrmNgrams::ShowFor(Source source) {
  source_ = std::move(source);
  ApplyLanguageToWidgets("frmNgram", this);
  QStringList headings;
  for (const char* h : kHeadings) headings << Tr(h);
  grdNgram->setHorizontalHeaderLabels(headings);
  chkClusters->setEnabled(!source_.Strings.empty());
  if (source_.Strings.empty()) chkClusters->setChecked(false);
  // Buttons and the check box by their captions, the spin boxes by their
  // labels.
  NameControlsForScreenReaders(this);
  for (QLabel* l : {lblSize, lblMin}) l->setAccessibleName(SpokenCaption(l->text()));
  barProgress->setAccessibleName(Tr("Progression"));
  grdNgram->setAccessibleName(windowTitle());
  btnComputeClick();
  CurrentDialogs().Exec(this);
  worker_->Cancel();
  grdNgram->setRowCount(0);
  source_ = Source();
}

void TfrmNgrams::btnComputeClick() {
  worker_->Cancel();
  grdNgram->setSortingEnabled(false);
  grdNgram->setRowCount(0);
  lblStatus->setText(QString());
  if (!source_.Doc && !source_.Settings.UseCorpus) {
    grdNgram->setSortingEnabled(true);
    return;
  }
  NgramOptions options;
  options.Size = spnSize->value();
  options.MinFrequency = static_cast<uint64_t>(spnMin->value());
  options.Containing = chkClusters->isChecked() && !source_.Strings.empty();
  // The thread works on copies: the context, the filters and the document.
  worker_->Start<NgramResult>(
      source_.Request(),
      [ctx = TheShell().Ctx, filters = source_.Filters, doc = source_.Doc, options](const SearchRequest& r) {
        NgramOptions o = options;
        o.Filters = &filters;
        return FindNgrams(ctx, r, o);
      },
      [this](NgramResult& r) { ShowNgrams(r); });
}

void TfrmNgrams::ShowNgrams(const NgramResult& r) {
  grdNgram->setSortingEnabled(false);
  const int rows = static_cast<int>(std::min<size_t>(r.Count(), kMaxRows));
  grdNgram->setRowCount(rows);
  std::string text;
  for (int row = 0; row < rows; ++row) {
    text.clear();
    r.AppendText(static_cast<size_t>(row), text);
    grdNgram->setItem(row, 0, new QTableWidgetItem(FromCp1252(text)));
    grdNgram->setItem(row, 1, NumberItem(r.Frequency(static_cast<size_t>(row))));
    grdNgram->setItem(row, 2, NumberItem(r.Documents(static_cast<size_t>(row))));
  }
  grdNgram->setSortingEnabled(true);
  grdNgram->sortByColumn(1, Qt::DescendingOrder);
  lblStatus->setText(QString("%1 / %2").arg(rows).arg(r.Count()));
  lblStatus->setAccessibleName(lblStatus->text());
}

void TfrmMain::mnuNgramClick() { TheNgramsDialog().ShowFor(CurrentStatisticsSource()); }

TfrmNgrams& TheNgramsDialog() {
  static QPointer<TfrmNgrams> dialog;
  if (!dialog) dialog = new TfrmNgrams;
  return *dialog;
}

}  // namespace kalix::ui
