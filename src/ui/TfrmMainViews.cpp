// The main window's optional views of the result: the concordance pane and
// the dispersion plot, below the document view, shown or hidden from the
// "Ci&bles" menu and remembered in the settings file (section "Window", key
// "ResultViews": 1 the concordance, 2 the plot, 4 the facsimile). Both hidden, the window is
// laid out as without them. The facsimile pane stands beside the document
// and shows the image of the page under the caret.

#include "app/Settings.h"
#include "platform/Cp1252.h"
#include "platform/IniFile.h"
#include "ui/Concordance.h"
#include "ui/DispersionPlot.h"
#include "ui/FacsimilePane.h"
#include "ui/Shell.h"
#include "ui/TfrmMain.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QSplitter>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

constexpr const char* kViewsKey = "ResultViews";
constexpr int kShowConcordance = 1;
constexpr int kShowPlot = 2;
constexpr int kShowFacsimile = 4;

}  // namespace

void TfrmMain::BuildTargetViews() {
  // The pane has no object name: it is none of the designed controls, so
  // the caption dump and language files leave it out.
  pnlViews = new QSplitter(Qt::Horizontal, pnlDoc);
  pnlViews->setChildrenCollapsible(false);
  pnlViews->setMinimumHeight(150);
  pnlViews->resize(pnlViews->width(), 200);
  Concordance = new TConcordance(this, pnlViews);
  Plot = new TDispersionPlot(this, pnlViews);
  pnlViews->setStretchFactor(0, 3);
  pnlViews->setStretchFactor(1, 2);
  pnlViews->setSizes({600, 400});
  Concordance->hide();
  Plot->hide();
  pnlViews->hide();
  pnlDoc->layout()->addWidget(pnlViews);

  Cibles1->addSeparator();
  mnuConcordance = Cibles1->addAction(FromCp1252("&Concordance"));
  mnuConcordance->setObjectName("mnuConcordance");
  mnuConcordance->setCheckable(true);
  mnuPlot = Cibles1->addAction(FromCp1252("&Graphe de dispersion"));
  mnuPlot->setObjectName("mnuPlot");
  mnuPlot->setCheckable(true);
  connect(mnuConcordance, &QAction::triggered, this, [this](bool on) {
    ShowConcordance(on);
    RememberTargetViews();
  });
  connect(mnuPlot, &QAction::triggered, this, [this](bool on) {
    ShowPlot(on);
    RememberTargetViews();
  });
  Facsimile = new TFacsimilePane(Splitter);
  Facsimile->hide();
  mnuFacsimile = Cibles1->addAction(FromCp1252("&Fac-simil\xe9"));
  mnuFacsimile->setObjectName("mnuFacsimile");
  mnuFacsimile->setCheckable(true);
  connect(mnuFacsimile, &QAction::triggered, this, [this](bool on) {
    ShowFacsimile(on);
    RememberTargetViews();
  });

  const int shown = IniFile::Load(shell_.SettingsPath).GetInt(kWindowSection, kViewsKey, 0);
  ShowConcordance(shown & kShowConcordance);
  ShowPlot(shown & kShowPlot);
  ShowFacsimile(shown & kShowFacsimile);
}

void TfrmMain::RememberTargetViews() {
  const int shown = (mnuConcordance->isChecked() ? kShowConcordance : 0) | (mnuPlot->isChecked() ? kShowPlot : 0) |
                    (mnuFacsimile->isChecked() ? kShowFacsimile : 0);
  WriteSetting(shell_.SettingsPath, kWindowSection, kViewsKey, std::to_string(shown));
}

void TfrmMain::ShowConcordance(bool show) {
  mnuConcordance->setChecked(show);
  Concordance->setVisible(show);
  pnlViews->setVisible(show || mnuPlot->isChecked());
  if (show) Concordance->Follow();
}

void TfrmMain::ShowPlot(bool show) {
  mnuPlot->setChecked(show);
  Plot->setVisible(show);
  pnlViews->setVisible(show || mnuConcordance->isChecked());
  if (show) {
    plotTarget_ = kPlotStale;
    TargetViewsChanged();
  }
}

void TfrmMain::ShowFacsimile(bool show) {
  mnuFacsimile->setChecked(show);
  Facsimile->setVisible(show);
  if (show) FollowFacsimile();
}

void TfrmMain::FollowFacsimile() {
  if (!Facsimile || !Facsimile->isVisible()) return;
  const int32_t caret = CaretView();
  Facsimile->Follow(Doc, ContextAt(Doc, caret + 1).page, caret, SelectionViewLength());
}

void TfrmMain::TargetViewsChanged() {
  if (!Concordance) return;
  if (mnuConcordance->isChecked()) Concordance->Follow();
  if (mnuPlot->isChecked()) {
    // The strips change with the list, and with the target unless all
    // targets are shown; a step only moves the marked tick.
    if (plotTarget_ == kPlotStale || (!Plot->Canvas->AllTargets && plotTarget_ != session_.CurrentTarget)) {
      plotTarget_ = session_.CurrentTarget;
      Plot->Follow();
    } else {
      Plot->Canvas->update();
    }
  }
}

void TfrmMain::TargetListChanged() {
  if (!Concordance) return;
  Concordance->Model->ForgetDocuments();
  Concordance->Model->SetTarget(-1);
  Plot->Canvas->ForgetDocuments();
  plotTarget_ = kPlotStale;
  TargetViewsChanged();
}

}  // namespace kalix::ui
