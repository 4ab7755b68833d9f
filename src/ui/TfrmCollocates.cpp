#include "ui/TfrmCollocates.h"

#include "platform/Cp1252.h"
#include "targets/DocumentRef.h"
#include "ui/Accessible.h"
#include "ui/Dialogs.h"
#include "ui/Shell.h"
#include "ui/TfrmMain.h"
#include "ui/UiLanguage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
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
const char* const kHeadings[] = {"Forme", "Cooccurrences", "Fr\xe9quence", "G2", "IM", "t", "logDice"};

// A cell holding a number, so that the column sorts by value.
QTableWidgetItem* NumberItem(double value, bool whole) {
  auto* item = new QTableWidgetItem;
  if (whole) {
    item->setData(Qt::DisplayRole, static_cast<qlonglong>(value));
  } else {
    item->setData(Qt::DisplayRole, QString::number(value, 'f', 3).toDouble());
  }
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

QSpinBox* SpinBox(QWidget* parent, const char* name, int low, int high, int value) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(name);
  box->setRange(low, high);
  box->setValue(value);
  return box;
}

}  // namespace

TfrmCollocates::TfrmCollocates(QWidget* parent) : QDialog(parent) {
  setObjectName("frmColloc");
  setWindowTitle(T("Cooccurrents"));
  lblLeft = new QLabel(T("Mots \xe0 &gauche"), this);
  lblLeft->setObjectName("lblLeft");
  spnLeft = SpinBox(this, "spnLeft", 1, 10, 5);
  lblRight = new QLabel(T("Mots \xe0 &droite"), this);
  lblRight->setObjectName("lblRight");
  spnRight = SpinBox(this, "spnRight", 1, 10, 5);
  lblMin = new QLabel(T("Fr\xe9quence &minimale"), this);
  lblMin->setObjectName("lblMin");
  spnMin = SpinBox(this, "spnMin", 1, 1000000, 1);
  btnCompute = new QPushButton(T("&Calculer"), this);
  btnCompute->setObjectName("btnCompute");
  btnCompute->setAutoDefault(false);
  grdColloc = new QTableWidget(0, 7, this);
  grdColloc->setObjectName("grdColloc");
  grdColloc->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdColloc->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdColloc->setSelectionMode(QAbstractItemView::SingleSelection);
  grdColloc->verticalHeader()->hide();
  grdColloc->setSortingEnabled(true);
  lblMeet = new QLabel(T("Rencontres"), this);
  lblMeet->setObjectName("lblMeet");
  lstMeet = new QListWidget(this);
  lstMeet->setObjectName("lstMeet");
  const StatisticsFooter footer(this);
  lblStatus = footer.Status;
  barProgress = footer.Progress;
  btnCancel = footer.Cancel;
  CloseBtn = footer.Close;
  worker_ = footer.Worker;

  lblLeft->setBuddy(spnLeft);
  lblRight->setBuddy(spnRight);
  lblMin->setBuddy(spnMin);
  lblMeet->setBuddy(lstMeet);

  auto* top = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{lblLeft, spnLeft, lblRight, spnRight, lblMin, spnMin, btnCompute}) {
    top->addWidget(w);
  }
  top->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(grdColloc, 3);
  layout->addWidget(lblMeet);
  layout->addWidget(lstMeet, 2);
  layout->addLayout(footer.Row);
  resize(720, 520);

  connect(btnCompute, &QPushButton::clicked, this, &TfrmCollocates::btnComputeClick);
  connect(grdColloc, &QTableWidget::itemSelectionChanged, this, &TfrmCollocates::grdCollocSelect);
}

CollocateOptions TfrmCollocates::Options() const {
  CollocateOptions o;
  o.Left = spnLeft->value();
  o.Right = spnRight->value();
  o.MinFrequency = static_cast<uint64_t>(spnMin->value());
  o.Filters = &source_.Filters;
  return o;
}

SearchRequest TfrmCollocates::Request() const { return source_.Request(); }

void TfrmCollocates::ShowFor(Source source) {
  source_ = std::move(source);
  ApplyLanguageToWidgets("frmColloc", this);
  QStringList headings;
  for (const char* h : kHeadings) headings << Tr(h);
  grdColloc->setHorizontalHeaderLabels(headings);
  // Buttons by their captions, the spin boxes and the list by their labels.
  NameControlsForScreenReaders(this);
  for (QLabel* l : {lblLeft, lblRight, lblMin, lblMeet}) l->setAccessibleName(SpokenCaption(l->text()));
  barProgress->setAccessibleName(Tr("Progression"));
  grdColloc->setAccessibleName(windowTitle());
  btnComputeClick();
  CurrentDialogs().Exec(this);
  worker_->Cancel();
  grdColloc->setRowCount(0);
  lstMeet->clear();
  source_ = Source();
}

void TfrmCollocates::btnComputeClick() {
  worker_->Cancel();
  lstMeet->clear();
  grdColloc->setSortingEnabled(false);
  grdColloc->setRowCount(0);
  lblStatus->setText(QString());
  if (source_.Strings.empty()) {
    grdColloc->setSortingEnabled(true);
    return;
  }
  // The thread works on copies: the context, the filters and the document.
  worker_->Start<CollocateResult>(
      Request(),
      [ctx = TheShell().Ctx, filters = source_.Filters, doc = source_.Doc, o = Options()](const SearchRequest& r) {
        CollocateOptions options = o;
        options.Filters = &filters;
        return FindCollocates(ctx, r, options);
      },
      [this](CollocateResult& r) { ShowCollocates(r); });
}

void TfrmCollocates::ShowCollocates(const CollocateResult& r) {
  grdColloc->setSortingEnabled(false);
  grdColloc->setRowCount(static_cast<int>(r.Collocates.size()));
  for (int row = 0; row < static_cast<int>(r.Collocates.size()); ++row) {
    const Collocate& c = r.Collocates[static_cast<size_t>(row)];
    grdColloc->setItem(row, 0, new QTableWidgetItem(FromCp1252(c.Text)));
    grdColloc->setItem(row, 1, NumberItem(static_cast<double>(c.Cooccurrences), true));
    grdColloc->setItem(row, 2, NumberItem(static_cast<double>(c.Frequency), true));
    grdColloc->setItem(row, 3, NumberItem(c.LogLikelihood, false));
    grdColloc->setItem(row, 4, NumberItem(c.MutualInformation, false));
    grdColloc->setItem(row, 5, NumberItem(c.TScore, false));
    grdColloc->setItem(row, 6, NumberItem(c.LogDice, false));
  }
  grdColloc->setSortingEnabled(true);
  grdColloc->sortByColumn(1, Qt::DescendingOrder);
  lblStatus->setText(QString("%1 / %2 / %3").arg(r.Occurrences).arg(r.Words).arg(r.Collocates.size()));
  lblStatus->setAccessibleName(lblStatus->text());
}

void TfrmCollocates::grdCollocSelect() {
  lstMeet->clear();
  const QList<QTableWidgetItem*> selected = grdColloc->selectedItems();
  if (selected.isEmpty()) return;
  const QTableWidgetItem* form = grdColloc->item(selected.first()->row(), 0);
  if (form == nullptr) return;
  CollocateOptions o = Options();
  o.Meeting = ToCp1252(form->text());
  worker_->Start<CollocateResult>(
      Request(),
      [ctx = TheShell().Ctx, filters = source_.Filters, doc = source_.Doc, o](const SearchRequest& r) {
        CollocateOptions options = o;
        options.Filters = &filters;
        return FindCollocates(ctx, r, options);
      },
      [this](CollocateResult& r) {
        for (const CollocateMeeting& m : r.Meetings) {
          QString line = FromCp1252(m.Text);
          line.replace('\n', ' ');
          line.replace('\r', ' ');
          if (!m.Path.empty()) line = FromCp1252(MakeDocumentRef(m.Path)) + "   " + line;
          lstMeet->addItem(line);
        }
      });
}

void TfrmMain::mnuCollocClick() { TheCollocatesDialog().ShowFor(CurrentStatisticsSource()); }

// The statistics dialogs take the window's result as it stands: its strings
// (none after a word list), settings and filters, and its text or corpus.
StatisticsSource TfrmMain::CurrentStatisticsSource() const {
  StatisticsSource source;
  if (!Settings.FromWordList) source.Strings = ArrowList;
  source.Settings = Settings;
  source.Filters = FilterList;
  if (Settings.UseCorpus) {
    source.Corpus = shell_.Ctx.Corpus.Entries;
  } else if (!Doc.path.empty()) {
    auto doc = std::make_shared<Document>();
    doc->text = Doc.text;
    source.Doc = std::move(doc);
  }
  return source;
}

TfrmCollocates& TheCollocatesDialog() {
  static QPointer<TfrmCollocates> dialog;
  if (!dialog) dialog = new TfrmCollocates;
  return *dialog;
}

}  // namespace kalix::ui
