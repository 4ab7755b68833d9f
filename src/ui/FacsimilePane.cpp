#include "ui/FacsimilePane.h"

#include "document/PageImage.h"
#include "platform/Cp1252.h"

#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace kalix::ui {

namespace {

constexpr int kLargestSide = 4096;
constexpr size_t kCachedImages = 6;

}  // namespace

// What the workers hand back, and the pane they hand it to while it lives.
struct FacsimileMailbox {
  std::mutex mutex;
  QObject* target = nullptr;
  std::vector<std::pair<std::string, std::pair<QImage, QSize>>> results;
};

// Draws the image at the pane's scale, with the outlined lines.
class TFacsimileCanvas : public QWidget {
 public:
  explicit TFacsimileCanvas(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent, false); }

  void SetImage(const QImage& image, QSize original) {
    image_ = image;
    original_ = original;
  }
  void SetScale(double scale) {
    scale_ = scale;
    const QSize s = image_.isNull() ? QSize(1, 1) : QSize(std::max(1, int(original_.width() * scale)),
                                                          std::max(1, int(original_.height() * scale)));
    resize(s);
    update();
  }
  void SetOutlines(std::vector<QRect> caret, std::vector<QRect> hit) {
    caret_ = std::move(caret);
    hit_ = std::move(hit);
    update();
  }
  QSize Original() const { return original_; }
  bool HasImage() const { return !image_.isNull(); }

  std::function<void(QPoint)> OnDrag;
  std::function<void(int)> OnWheelZoom;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().dark());
    if (image_.isNull()) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), image_);
    auto draw = [&](const std::vector<QRect>& rects, const QColor& colour) {
      p.setPen(QPen(colour, 2));
      p.setBrush(Qt::NoBrush);
      for (const QRect& r : rects) {
        p.drawRect(QRectF(r.left() * scale_, r.top() * scale_, r.width() * scale_, r.height() * scale_));
      }
    };
    draw(caret_, QColor(0, 90, 220));
    draw(hit_, QColor(220, 0, 0));
  }
  void mousePressEvent(QMouseEvent* e) override { last_ = e->globalPosition().toPoint(); }
  void mouseMoveEvent(QMouseEvent* e) override {
    const QPoint now = e->globalPosition().toPoint();
    if (OnDrag) OnDrag(last_ - now);
    last_ = now;
  }
  void wheelEvent(QWheelEvent* e) override {
    if ((e->modifiers() & Qt::ControlModifier) && OnWheelZoom) {
      OnWheelZoom(e->angleDelta().y());
      e->accept();
      return;
    }
    QWidget::wheelEvent(e);
  }

 private:
  QImage image_;
  QSize original_;
  double scale_ = 1.0;
  std::vector<QRect> caret_;
  std::vector<QRect> hit_;
  QPoint last_;
};

namespace {

QToolButton* Button(QWidget* parent, const char* text, const char* tip) {
  auto* b = new QToolButton(parent);
  b->setText(FromCp1252(text));
  b->setToolTip(FromCp1252(tip));
  b->setAccessibleName(FromCp1252(tip));
  b->setFocusPolicy(Qt::TabFocus);
  return b;
}

}  // namespace

TFacsimilePane::TFacsimilePane(QWidget* parent) : QWidget(parent) {
  setAccessibleName(FromCp1252("Fac-simil\xe9"));
  setFocusPolicy(Qt::StrongFocus);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QHBoxLayout();
  QToolButton* zoomIn = Button(this, "+", "Agrandir");
  QToolButton* zoomOut = Button(this, "-", "R\xe9" "duire");
  QToolButton* width = Button(this, "Largeur", "Ajuster \xe0 la largeur");
  QToolButton* page = Button(this, "Page", "Page enti\xe8re");
  status_ = new QLabel(this);
  status_->setAccessibleName(FromCp1252("Image de la page"));
  bar->addWidget(zoomIn);
  bar->addWidget(zoomOut);
  bar->addWidget(width);
  bar->addWidget(page);
  bar->addWidget(status_, 1);
  layout->addLayout(bar);
  scroll_ = new QScrollArea(this);
  scroll_->setAlignment(Qt::AlignCenter);
  scroll_->setAccessibleName(FromCp1252("Fac-simil\xe9 de la page"));
  canvas_ = new TFacsimileCanvas(scroll_);
  scroll_->setWidget(canvas_);
  layout->addWidget(scroll_, 1);
  connect(zoomIn, &QToolButton::clicked, this, [this] { Zoom(1.25); });
  connect(zoomOut, &QToolButton::clicked, this, [this] { Zoom(0.8); });
  connect(width, &QToolButton::clicked, this, [this] { FitWidth(); });
  connect(page, &QToolButton::clicked, this, [this] { FitPage(); });
  canvas_->OnDrag = [this](QPoint d) {
    scroll_->horizontalScrollBar()->setValue(scroll_->horizontalScrollBar()->value() + d.x());
    scroll_->verticalScrollBar()->setValue(scroll_->verticalScrollBar()->value() + d.y());
  };
  canvas_->OnWheelZoom = [this](int delta) { Zoom(delta > 0 ? 1.15 : 1 / 1.15); };

  mailbox_ = std::make_shared<FacsimileMailbox>();
  mailbox_->target = this;
}

TFacsimilePane::~TFacsimilePane() {
  // A worker still decoding finds no pane to hand its image to.
  std::lock_guard<std::mutex> lock(mailbox_->mutex);
  mailbox_->target = nullptr;
}

bool TFacsimilePane::ImageShown() const { return canvas_->HasImage(); }

QString TFacsimilePane::StatusText() const { return status_->text(); }

const std::string& TFacsimilePane::ImageOf(const Document& document, int32_t page) {
  const auto it = pagePaths_.find(page);
  if (it != pagePaths_.end()) return it->second;
  return pagePaths_[page] = page > 0 ? PageImagePath(document, page) : std::string();
}

void TFacsimilePane::Reset() {
  pagePaths_.clear();
  cache_.clear();
  order_.clear();
  shownPath_.clear();
  canvas_->SetImage(QImage(), QSize());
  canvas_->SetScale(scale_);
}

void TFacsimilePane::Request(const std::string& path) {
  if (path.empty() || cache_.count(path) || pending_.count(path)) return;
  pending_[path] = true;
  std::shared_ptr<FacsimileMailbox> box = mailbox_;
  QThreadPool::globalInstance()->start([box, path] {
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    const QSize original = reader.size();
    if (original.isValid() && std::max(original.width(), original.height()) > kLargestSide) {
      reader.setScaledSize(original.scaled(kLargestSide, kLargestSide, Qt::KeepAspectRatio));
    }
    QImage image = reader.read();
    std::lock_guard<std::mutex> lock(box->mutex);
    box->results.emplace_back(path, std::make_pair(image, original.isValid() ? original : image.size()));
    if (box->target) {
      QObject* target = box->target;
      QMetaObject::invokeMethod(
          target,
          [target, box] {
            decltype(box->results) results;
            {
              std::lock_guard<std::mutex> l(box->mutex);
              results.swap(box->results);
            }
            for (auto& [p, r] : results) static_cast<TFacsimilePane*>(target)->Arrived(p, r.first, r.second);
          },
          Qt::QueuedConnection);
    }
  });
}

void TFacsimilePane::Arrived(const std::string& path, const QImage& image, QSize original) {
  pending_.erase(path);
  cache_[path] = Loaded{image, original, image.isNull()};
  order_.erase(std::remove(order_.begin(), order_.end(), path), order_.end());
  order_.push_back(path);
  while (order_.size() > kCachedImages) {
    if (order_.front() != shownPath_) cache_.erase(order_.front());
    order_.erase(order_.begin());
  }
  if (path == shownPath_) Refresh();
}

void TFacsimilePane::Follow(const Document& document, int32_t page, int32_t caretView, int32_t selectionLength) {
  // Another document, or the same one read again.
  const std::string key = document.path + '\n' + std::to_string(document.text.size()) + '\n' +
                          std::to_string(document.marks.size());
  if (key != documentPath_) {
    documentPath_ = key;
    Reset();
  }
  const std::string path = ImageOf(document, page);
  // The lines under the caret and under the selected hit, in the file's pixels.
  zones_.clear();
  outlined_.clear();
  hit_.clear();
  std::vector<QRect>& hit = hit_;
  if (page > 0 && static_cast<size_t>(page) <= document.pages.size()) {
    zones_ = document.pages[page - 1].lines;
    auto lineAt = [&](int32_t view) -> const LineZone* {
      const LineZone* found = nullptr;
      for (const LineZone& z : zones_) {
        if (z.position <= view) found = &z;
      }
      return found;
    };
    auto rect = [](const LineZone& z) { return QRect(QPoint(z.left, z.top), QPoint(z.right, z.bottom)); };
    if (const LineZone* z = lineAt(caretView)) outlined_.push_back(rect(*z));
    if (selectionLength > 0) {
      for (const LineZone& z : zones_) {
        if (z.position > caretView && z.position < caretView + selectionLength) hit.push_back(rect(z));
      }
      if (const LineZone* z = lineAt(caretView)) hit.push_back(rect(*z));
    }
  }
  const bool changed = path != shownPath_;
  shownPath_ = path;
  canvas_->SetOutlines(selectionLength > 0 ? std::vector<QRect>() : outlined_, hit);
  Request(path);
  // The neighbours are read ahead.
  if (page > 1) Request(ImageOf(document, page - 1));
  if (page > 0) Request(ImageOf(document, page + 1));
  if (changed || status_->text().isEmpty()) Refresh();
  // The outlined line stays in view.
  if (!outlined_.empty() && canvas_->HasImage()) {
    const QRect r = outlined_.front();
    scroll_->ensureVisible(int(r.center().x() * scale_), int(r.center().y() * scale_), 50, int(r.height() * scale_));
  }
}

void TFacsimilePane::Refresh() {
  if (shownPath_.empty()) {
    canvas_->SetImage(QImage(), QSize());
    canvas_->SetScale(scale_);
    status_->setText(FromCp1252("Pas d'image pour cette page"));
    return;
  }
  const auto it = cache_.find(shownPath_);
  const QString name = QString::fromStdString(shownPath_);
  if (it == cache_.end()) {
    status_->setText(FromCp1252("Chargement : ") + name);
    return;
  }
  if (it->second.failed) {
    canvas_->SetImage(QImage(), QSize());
    canvas_->SetScale(scale_);
    status_->setText(FromCp1252("Image introuvable ou illisible : ") + name);
    return;
  }
  canvas_->SetImage(it->second.image, it->second.original);
  status_->setText(name);
  if (fitWidth_) {
    FitWidth();
  } else {
    canvas_->SetScale(scale_);
  }
}

void TFacsimilePane::Zoom(double factor) {
  fitWidth_ = false;
  scale_ = std::clamp(scale_ * factor, 0.02, 8.0);
  canvas_->SetScale(scale_);
}

void TFacsimilePane::FitWidth() {
  fitWidth_ = true;
  const QSize original = canvas_->Original();
  if (original.width() <= 0) return;
  scale_ = double(scroll_->viewport()->width() - 2) / original.width();
  canvas_->SetScale(scale_);
}

void TFacsimilePane::FitPage() {
  fitWidth_ = false;
  const QSize original = canvas_->Original();
  if (original.width() <= 0 || original.height() <= 0) return;
  scale_ = std::min(double(scroll_->viewport()->width() - 2) / original.width(),
                    double(scroll_->viewport()->height() - 2) / original.height());
  canvas_->SetScale(scale_);
}

void TFacsimilePane::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Plus:
      Zoom(1.25);
      return;
    case Qt::Key_Minus:
      Zoom(0.8);
      return;
    case Qt::Key_W:
      FitWidth();
      return;
    case Qt::Key_P:
      FitPage();
      return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
      QScrollBar* bar = (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)
                            ? scroll_->horizontalScrollBar()
                            : scroll_->verticalScrollBar();
      const int step = (event->key() == Qt::Key_Left || event->key() == Qt::Key_Up) ? -60 : 60;
      bar->setValue(bar->value() + step);
      return;
    }
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace kalix::ui
