#include "window/qt/layered_window.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QWidget>

namespace varnelo {

void LayeredWindow::ExtendFrameOverWindow() {
  frame_extended_ = true;
  window_->setAttribute(Qt::WA_TranslucentBackground);
}

void LayeredWindow::FillRect(QPainter& painter, const QRect& rect, QColor color) const {
  if (!(Keyed() && frame_extended_ && color.rgb() == key_.rgb())) {
    painter.fillRect(rect, color);
    return;
  }
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(rect, Qt::transparent);
  painter.restore();
}

void LayeredWindow::CutShape() {
  if (!Keyed() || frame_extended_) return;
  QImage image(window_->size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  window_->render(&image);
  window_->setMask(OpaqueRegion(image, key_));
}

QRegion OpaqueRegion(const QImage& image, QColor key) {
  QImage colors = image.convertToFormat(QImage::Format_RGB32);
  // The mask marks the key pixels with the bit that a bitmap's region leaves out.
  return QRegion(QBitmap::fromImage(colors.createMaskFromColor(key.rgb(), Qt::MaskInColor)));
}

}  // namespace varnelo
