// The facsimile pane: the image of the page the caret is on, beside the
// text, with the line under the caret (and the selected hit) outlined when
// the document gives its lines' zones.
//
// Images are decoded on a worker thread (a large TIFF never blocks the
// window) and kept in a small cache; the pages before and after the shown
// one are read ahead. An image larger than 4096 pixels on a side is decoded
// at that size; zones, given in the image's own pixels, are scaled with it.
// Zoom: the wheel with Ctrl, "+" and "-", "Largeur" (fit width, W) and
// "Page" (fit page, P); pan with the scroll bars, the arrow keys or by
// dragging. A page without an image, or an image that cannot be read, says
// so in the pane.
#pragma once

#include "document/Document.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QScrollArea;
class QToolButton;

namespace kalix::ui {

class TFacsimileCanvas;
struct FacsimileMailbox;

class TFacsimilePane : public QWidget {
  Q_OBJECT
 public:
  explicit TFacsimilePane(QWidget* parent);
  ~TFacsimilePane() override;

  // Shows the image of `page` of `document` and outlines the lines that the
  // view positions [caretView, caretView + selectionLength] fall on.
  void Follow(const Document& document, int32_t page, int32_t caretView, int32_t selectionLength);
  // Forgets the cached images (another document was opened).
  void Reset();

  // What the pane shows: the image's path ("" when none) and whether it is
  // loaded (tests and the accessibility description read these).
  std::string ShownPath() const { return shownPath_; }
  bool ImageShown() const;
  QString StatusText() const;
  // The outlined lines, in the image file's pixels: the caret's, and the
  // selected hit's.
  std::vector<QRect> OutlinedLines() const { return outlined_; }
  std::vector<QRect> HitLines() const { return hit_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Loaded {
    QImage image;
    QSize original;  // the file's own size: zones are in its pixels
    bool failed = false;
  };
  void Request(const std::string& path);
  // The image path of a page, looked up once per document.
  const std::string& ImageOf(const Document& document, int32_t page);
  void Arrived(const std::string& path, const QImage& image, QSize original);
  void Refresh();
  void Zoom(double factor);
  void FitWidth();
  void FitPage();

  std::shared_ptr<FacsimileMailbox> mailbox_;  // where the workers leave the images
  TFacsimileCanvas* canvas_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QLabel* status_ = nullptr;
  std::map<std::string, Loaded> cache_;
  std::vector<std::string> order_;  // cache entries, oldest first
  std::map<std::string, bool> pending_;
  std::map<int32_t, std::string> pagePaths_;
  std::string documentPath_;
  std::string shownPath_;
  std::vector<LineZone> zones_;     // the shown page's lines
  std::vector<QRect> outlined_;     // in the file's pixels
  std::vector<QRect> hit_;
  bool fitWidth_ = true;
  double scale_ = 1.0;
};

}  // namespace kalix::ui
