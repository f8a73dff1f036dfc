#ifndef VARNELO_WINDOW_QT_LAYERED_WINDOW_H_
#define VARNELO_WINDOW_QT_LAYERED_WINDOW_H_

#include <QColor>
#include <QRegion>

class QImage;
class QPainter;
class QWidget;

namespace varnelo {

// The extended-style bit that makes a window layered.
inline constexpr int kLayered = 0x80000;

// A top-level window that may be layered with a colour key: every pixel of
// exactly the key colour is see-through (a pixel one step off in any
// component is not), so only what is painted in other colours is seen.
//
// Where the frame is extended over the whole window (a compositor runs), key
// pixels become fully transparent pixels of the window itself. Elsewhere the
// window's shape is cut from the pixels that are not the key, each time the
// window is shown.
class LayeredWindow {
 public:
  explicit LayeredWindow(QWidget* window) : window_(window) {}

  int ExtendedStyle() const { return extended_style_; }
  void SetExtendedStyle(int style) { extended_style_ = style; }

  // Takes effect once the window is layered.
  void SetColorKey(QColor key) { key_ = key; }

  // Frame margins of -1: the frame covers the whole window, which then keeps
  // transparent pixels. Only before the window is first shown.
  void ExtendFrameOverWindow();

  // Fills `rect` with `color`; a layered, extended window gets transparency
  // where the colour is its key.
  void FillRect(QPainter& painter, const QRect& rect, QColor color) const;

  // Cuts the window's shape from its rendered pixels, where the key has to
  // apply without per-pixel transparency.
  void CutShape();

 private:
  bool Keyed() const { return (extended_style_ & kLayered) != 0 && key_.isValid(); }

  QWidget* window_;
  int extended_style_ = 0;
  QColor key_;
  bool frame_extended_ = false;
};

// The pixels of `image` whose colour is not exactly `key`.
QRegion OpaqueRegion(const QImage& image, QColor key);

}  // namespace varnelo

#endif  // VARNELO_WINDOW_QT_LAYERED_WINDOW_H_
