#ifndef VARNELO_WINDOW_WIN32_PROGRESS_WINDOW_H_
#define VARNELO_WINDOW_WIN32_PROGRESS_WINDOW_H_

#include <chrono>
#include <string>

#include "window/win32/windows_ui.h"

namespace varnelo {

// A window while a command works in it, on the window's own thread, from
// the confirmation to the command's last box: it takes no input (what the
// user does meanwhile is dropped, never carried out later), and after half
// a second a small window "正在整理…" shows the file at hand and a bar, and
// the window keeps painting.
class ProgressWindow {
 public:
  ProgressWindow(HINSTANCE instance, HWND owner);
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Told per file: costs a look at the clock when nothing is due.
  void Progress(int done, int total, const std::string& item);

 private:
  void Show();
  void CatchUp();

  HINSTANCE instance_;
  HWND owner_;
  HWND dialog_ = nullptr;
  HWND item_ = nullptr;
  HWND bar_ = nullptr;
  HFONT font_ = nullptr;
  bool marquee_ = false;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point next_catch_up_;
};

}  // namespace varnelo

#endif  // VARNELO_WINDOW_WIN32_PROGRESS_WINDOW_H_
