#include "window/qt/desktop.h"

#include <QGuiApplication>
#include <QWindow>

// Last: its macros (None, Bool, Status ...) would clash with Qt's names.
#include <X11/Xlib.h>

namespace varnelo {
namespace {

// Null where the platform is not X11 (Wayland, or offscreen in tests).
Display* X11Display() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->display() : nullptr;
}

}  // namespace

QMessageBox::StandardButton Desktop::Ask(QMessageBox& box) {
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void Desktop::StartMove(QWindow* window) {
  if (window != nullptr) window->startSystemMove();
}

bool Desktop::CompositionEnabled() {
  if (QGuiApplication::platformName().startsWith("wayland")) return true;
  Display* display = X11Display();
  if (display == nullptr) return false;
  // A compositing manager owns this selection for the screen it serves.
  QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
  return XGetSelectionOwner(display, XInternAtom(display, selection.constData(), False)) != 0;
}

// A round trip: the server answers only after every event before it.
void Desktop::CatchUpInput() {
  if (Display* display = X11Display()) XSync(display, False);
}

}  // namespace varnelo
