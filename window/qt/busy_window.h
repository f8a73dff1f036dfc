#ifndef VARNELO_WINDOW_QT_BUSY_WINDOW_H_
#define VARNELO_WINDOW_QT_BUSY_WINDOW_H_

#include <QElapsedTimer>
#include <QObject>
#include <chrono>
#include <memory>
#include <string>

#include "window/qt/desktop.h"
#include "window/qt/progress_dialog.h"

class QWidget;

namespace varnelo {

struct ProgressTiming {
  // How long a command works before its progress shows: quick runs never
  // flash a dialog.
  std::chrono::milliseconds delay{500};
  // How often the window catches up with its events once it shows: often
  // enough to look alive, seldom enough to cost nothing per file.
  std::chrono::milliseconds interval{40};
};

// A window while a command works in it, on the window's own thread, from the
// confirmation to the command's last box. The wait cursor is up and no
// input reaches the window; input made meanwhile is dropped, never handed
// on later (a deferred click would start a second command). After the delay
// a modal progress dialog shows and the window keeps painting.
class BusyWindow : public QObject {
 public:
  BusyWindow(QWidget& window, Desktop& desktop, ProgressTiming timing);
  ~BusyWindow() override;

  // Told per file by the command: the only moments it has to show progress
  // and let the window paint. Costs a look at the clock when nothing is due.
  void Progress(int done, int total, const std::string& item);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool IsInputToWindow(QObject* receiver, const QEvent& event) const;

  QWidget& window_;
  Desktop& desktop_;
  ProgressTiming timing_;
  QElapsedTimer clock_;
  std::chrono::milliseconds next_catch_up_;
  std::unique_ptr<ProgressDialog> dialog_;
};

}  // namespace varnelo

#endif  // VARNELO_WINDOW_QT_BUSY_WINDOW_H_
