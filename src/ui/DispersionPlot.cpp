#include "ui/DispersionPlot.h"

#include "document/Reader.h"
#include "document/ViewIndex.h"
#include "platform/Cp1252.h"
#include "targets/DocumentRef.h"
#include "ui/Dialogs.h"
#include "ui/Shell.h"
#include "ui/TargetGrid.h"
#include "ui/TfrmMain.h"

#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kalix::ui {
namespace {

constexpr int kMarginLeft = 110;
constexpr int kMarginRight = 12;
constexpr int kStripHeight = 26;
constexpr int kStripGap = 10;
constexpr int kTop = 8;

std::vector<std::pair<int32_t, int32_t>> PagesOf(const Document& doc) {
  std::vector<std::pair<int32_t, int32_t>> pages;
  for (const Mark& m : doc.marks) {
    if (m.kind == kPageMark) pages.emplace_back(m.position, m.number);
  }
  return pages;
}

}  // namespace

DispersionCanvas::DispersionCanvas(TfrmMain* window, QWidget* parent)
    : QWidget(parent), window_(window), loader_(new DocumentLoader(window->AppShell().Ctx, this)) {
  loader_->Loaded = [this](const std::string& path, std::shared_ptr<const Document> document) {
    DocumentLoaded(path, std::move(document));
  };
  setAccessibleName(FromCp1252("Dispersion"));
  setMinimumHeight(kTop * 2 + kStripHeight);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
}

DispersionCanvas::Strip DispersionCanvas::StripOf(const std::string& ref) {
  auto found = known_.find(ref);
  if (found != known_.end()) return found->second;
  Strip s;
  s.ref = ref;
  s.label = FromCp1252(DocumentRefFileName(ref));
  s.viewLength = 0;  // unknown until read: the occurrences decide
  const std::string path = DocumentRefPath(ref);
  refOfPath_[path] = ref;
  loader_->Request(path);
  return s;
}

void DispersionCanvas::DocumentLoaded(const std::string& path, std::shared_ptr<const Document> document) {
  auto ref = refOfPath_.find(path);
  if (ref == refOfPath_.end()) return;
  Strip s;
  s.ref = ref->second;
  s.label = FromCp1252(DocumentRefFileName(s.ref));
  if (document) {
    s.viewLength = std::max<int32_t>(1, ViewIndex(document->Text()).ViewLength());
    s.pages = PagesOf(*document);
  } else {
    s.viewLength = 0;  // unknown: the occurrences decide
  }
  known_[s.ref] = std::move(s);
  refOfPath_.erase(ref);
  Rebuild();
  update();
}

void DispersionCanvas::ForgetDocuments() {
  known_.clear();
  refOfPath_.clear();
}

void DispersionCanvas::Rebuild() {
  strips_.clear();
  ticks_.clear();
  const cTargetList& targets = window_->Session().Targets;
  std::vector<int32_t> chosen;
  if (AllTargets) {
    for (size_t t = 0; t < targets.size(); ++t) chosen.push_back(static_cast<int32_t>(t));
  } else if (window_->Session().CurrentTarget >= 0 && window_->Session().CurrentTarget < static_cast<int32_t>(targets.size())) {
    chosen.push_back(window_->Session().CurrentTarget);
  }
  const std::string shownRef = window_->Session().Doc.path.empty() ? std::string() : MakeDocumentRef(window_->Session().Doc.path);
  std::map<std::string, int> stripOfRef;
  for (int32_t t : chosen) {
    const Target& target = targets[static_cast<size_t>(t)];
    const std::string& ref = target.DocumentRef;
    auto it = stripOfRef.find(ref);
    if (it == stripOfRef.end()) {
      Strip s;
      if (ref.empty() || ref == shownRef) {
        s.ref = ref;
        s.label = window_->Session().Doc.path.empty() ? QString()
                                             : FromCp1252(DocumentRefFileName(MakeDocumentRef(window_->Session().Doc.path)));
        s.viewLength = std::max<int32_t>(1, window_->Mapping.Index().ViewLength());
        s.pages = PagesOf(window_->Session().Doc);
      } else {
        s = StripOf(ref);
      }
      it = stripOfRef.emplace(ref, static_cast<int>(strips_.size())).first;
      strips_.push_back(std::move(s));
    }
    Strip& strip = strips_[static_cast<size_t>(it->second)];
    for (size_t k = 0; k < target.Starts.size(); ++k) {
      const Occurrence& o = target.Starts[k];
      ticks_.push_back({t, static_cast<int32_t>(k), it->second, o.StartView});
      strip.viewLength = std::max(strip.viewLength, o.StartView + o.ViewLength);
    }
  }
  // Strips in the order of their documents.
  std::vector<int> order(strips_.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int>(k);
  std::stable_sort(order.begin(), order.end(),
                   [this](int a, int b) { return strips_[static_cast<size_t>(a)].ref < strips_[static_cast<size_t>(b)].ref; });
  std::vector<int> newIndex(order.size());
  std::vector<Strip> sorted;
  for (size_t k = 0; k < order.size(); ++k) {
    newIndex[static_cast<size_t>(order[k])] = static_cast<int>(k);
    sorted.push_back(std::move(strips_[static_cast<size_t>(order[k])]));
  }
  strips_.swap(sorted);
  for (Tick& tick : ticks_) tick.strip = newIndex[static_cast<size_t>(tick.strip)];
  setMinimumHeight(kTop * 2 + std::max<int>(1, static_cast<int>(strips_.size())) * (kStripHeight + kStripGap));
  updateGeometry();
  update();
}

QSize DispersionCanvas::sizeHint() const {
  return QSize(400, kTop * 2 + std::max<int>(1, static_cast<int>(strips_.size())) * (kStripHeight + kStripGap));
}

QRect DispersionCanvas::StripRect(int strip) const {
  return QRect(kMarginLeft, kTop + strip * (kStripHeight + kStripGap), std::max(10, width() - kMarginLeft - kMarginRight),
               kStripHeight);
}

QPoint DispersionCanvas::TickPoint(const Tick& tick) const {
  const QRect r = StripRect(tick.strip);
  const Strip& s = strips_[static_cast<size_t>(tick.strip)];
  const double f = s.viewLength > 0 ? static_cast<double>(tick.view) / s.viewLength : 0.0;
  return QPoint(r.left() + static_cast<int>(f * (r.width() - 1)), r.center().y());
}

int DispersionCanvas::TickAt(const QPoint& at) const {
  int best = -1;
  int bestDistance = 4;
  for (size_t k = 0; k < ticks_.size(); ++k) {
    const QRect r = StripRect(ticks_[k].strip);
    if (at.y() < r.top() - 2 || at.y() > r.bottom() + 2) continue;
    const int d = std::abs(TickPoint(ticks_[k]).x() - at.x());
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(k);
    }
  }
  return best;
}

void DispersionCanvas::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  QFont font = p.font();
  font.setPixelSize(11);
  p.setFont(font);
  if (strips_.empty()) {
    p.setPen(Qt::darkGray);
    p.drawText(rect(), Qt::AlignCenter, Tr("Aucune cible"));
    return;
  }
  const int32_t currentTarget = window_->Session().CurrentTarget;
  const int32_t currentOccurrence =
      currentTarget >= 0 && currentTarget < static_cast<int32_t>(window_->Session().Targets.size())
          ? window_->Session().Targets[static_cast<size_t>(currentTarget)].CurrentStart
          : -1;
  for (size_t k = 0; k < strips_.size(); ++k) {
    const Strip& s = strips_[k];
    const QRect r = StripRect(static_cast<int>(k));
    p.setPen(Qt::black);
    p.drawText(QRect(4, r.top(), kMarginLeft - 8, r.height()), Qt::AlignRight | Qt::AlignVCenter,
               p.fontMetrics().elidedText(s.label, Qt::ElideMiddle, kMarginLeft - 8));
    p.fillRect(r, QColor(245, 245, 245));
    p.setPen(QColor(160, 160, 160));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    // Pages: a grey line at each page mark, numbered when there is room.
    int lastLabel = -1000;
    for (const auto& [view, number] : s.pages) {
      const int x = r.left() + static_cast<int>(static_cast<double>(view) / s.viewLength * (r.width() - 1));
      p.setPen(QColor(190, 190, 190));
      p.drawLine(x, r.top(), x, r.bottom());
      if (x - lastLabel > 24) {
        p.setPen(QColor(110, 110, 110));
        p.drawText(QPoint(x + 2, r.top() + 9), QString::number(number));
        lastLabel = x;
      }
    }
  }
  for (const Tick& tick : ticks_) {
    const QRect r = StripRect(tick.strip);
    const QPoint at = TickPoint(tick);
    const bool current = tick.target == currentTarget && tick.occurrence == currentOccurrence;
    p.setPen(current ? QPen(QColor(0, 0, 128), 3) : QPen(QColor(255, 0, 0), 1));
    p.drawLine(at.x(), r.top() + 3, at.x(), r.bottom() - 3);
  }
}

void DispersionCanvas::mousePressEvent(QMouseEvent* event) {
  const int k = TickAt(event->position().toPoint());
  if (k < 0) return;
  const Tick tick = ticks_[static_cast<size_t>(k)];
  window_->SelectTargetOccurrence(tick.target, tick.occurrence);
}

// ---------------------------------------------------------------------------

TDispersionPlot::TDispersionPlot(TfrmMain* window, QWidget* parent) : QWidget(parent), window_(window) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto* bar = new QHBoxLayout();
  bar->setContentsMargins(4, 2, 4, 0);
  chkAll = new QCheckBox(Tr("Toutes les cibles"), this);
  chkAll->setAccessibleName(chkAll->text());
  btnSavePlot = new QPushButton(Tr("Enregistrer l'image"), this);
  btnSavePlot->setAccessibleName(btnSavePlot->text());
  bar->addWidget(chkAll);
  bar->addStretch(1);
  bar->addWidget(btnSavePlot);
  layout->addLayout(bar);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  Canvas = new DispersionCanvas(window, scroll);
  scroll->setWidget(Canvas);
  layout->addWidget(scroll, 1);

  connect(chkAll, &QCheckBox::toggled, this, [this](bool all) {
    Canvas->AllTargets = all;
    Follow();
  });
  connect(btnSavePlot, &QPushButton::clicked, this, [this] {
    FileDialogOptions o;
    o.filter = "PNG image (*.png)|*.png";
    o.defaultExtension = "png";
    o.mustExist = false;
    const QString chosen = CurrentDialogs().SaveFile(this, o);
    if (chosen.isEmpty()) return;
    if (!SavePng(chosen)) {
      CurrentDialogs().Message(this, "Kalix", Tr("Impossible d'\xe9" "crire le fichier :") + "\n" + chosen,
                               MessageIcon::Exclamation);
    }
  });
}

void TDispersionPlot::Follow() {
  if (!window_->mnuPlot->isChecked()) return;
  // The language may have changed since the last showing.
  chkAll->setText(Tr("Toutes les cibles"));
  chkAll->setAccessibleName(chkAll->text());
  btnSavePlot->setText(Tr("Enregistrer l'image"));
  btnSavePlot->setAccessibleName(btnSavePlot->text());
  Canvas->Rebuild();
}

bool TDispersionPlot::SavePng(const QString& path) { return Canvas->grab().save(path, "PNG"); }

}  // namespace kalix::ui
