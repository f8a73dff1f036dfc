#include "window/qt/busy_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace varnelo {
namespace {

bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
    case QEvent::Close:
      return true;
    default:
      return false;
  }
}

}  // namespace

BusyWindow::BusyWindow(QWidget& window, Desktop& desktop, ProgressTiming timing)
    : window_(window), desktop_(desktop), timing_(timing), next_catch_up_(timing.delay) {
  clock_.start();
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  QCoreApplication::instance()->installEventFilter(this);
}

// Input that the display server still holds or the event loop has queued is
// taken in now and refused, while the filter still stands.
BusyWindow::~BusyWindow() {
  dialog_.reset();
  desktop_.CatchUpInput();
  QCoreApplication::processEvents();
  QCoreApplication::instance()->removeEventFilter(this);
  QGuiApplication::restoreOverrideCursor();
}

void BusyWindow::Progress(int done, int total, const std::string& item) {
  std::chrono::milliseconds now(clock_.elapsed());
  if (now < next_catch_up_) return;
  next_catch_up_ = now + timing_.interval;
  if (dialog_ == nullptr) {
    dialog_ = std::make_unique<ProgressDialog>(&window_);
    dialog_->show();
  }
  dialog_->Show(done, total, item);
  QCoreApplication::processEvents();
}

// Refused, not only kept from the window: a drag is told no, a close box
// that the window has not closed.
bool BusyWindow::eventFilter(QObject* watched, QEvent* event) {
  if (!IsInputToWindow(watched, *event)) return false;
  event->ignore();
  return true;
}

// The dialog is a window of its own, so it is no part of the window here.
bool BusyWindow::IsInputToWindow(QObject* receiver, const QEvent& event) const {
  if (!IsInput(event.type())) return false;
  if (receiver->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(receiver);
    return widget == &window_ || window_.isAncestorOf(widget);
  }
  return receiver == window_.windowHandle();
}

}  // namespace varnelo
