// Plays a validated Windows metafile (platform/Metafile.h) with QPainter, and
// places a glyph picture in the picture pane.
#pragma once

#include "platform/Metafile.h"

#include <QImage>
#include <QRect>

class QPainter;

namespace kalix::ui {

// The rectangle in which the picture pane draws a picture, for a pane of
// `paneWidth` x `paneHeight` pixels: 2 pixels from the top-left corner, at
// its own size when it fits in the pane less 4 pixels each way, otherwise
// scaled down with its proportions kept (each side truncated). Empty when the
// picture has no positive right or bottom.
QRect PictureRect(int paneWidth, int paneHeight, const GlyphPicture& picture);

// Plays the records of `picture` so that its frame (the first window origin
// and extent it sets, else its placeable box, else its bounds) fills
// `target`. Unknown records are skipped; records too short for what they
// need are skipped. A PNG or JPEG picture is its image scaled to `target`.
void PlayMetafile(QPainter& painter, const GlyphPicture& picture, const QRectF& target);

// The picture rendered at `width` x `height` on `background` (tests, tools).
QImage RenderMetafile(const GlyphPicture& picture, int width, int height,
                      const QColor& background = Qt::white);

}  // namespace kalix::ui
