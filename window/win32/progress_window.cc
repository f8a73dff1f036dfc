#include "window/win32/progress_window.h"
#include "window/win32/windows_ui.h"

namespace varnelo {
namespace {

using namespace std::chrono_literals;

constexpr auto kDelay = 500ms;    // quick runs never flash a window
constexpr auto kInterval = 40ms;  // often enough to look alive

bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCMBUTTONDBLCLK) || message == WM_DROPFILES;
}

// A plain window of the dialog colour, for the label and the bar.
const wchar_t* ProgressClass(HINSTANCE instance) {
  static const wchar_t kName[] = L"VarneloProgress";
  static const bool registered = [&] {
    WNDCLASSEXW type = {};
    type.cbSize = sizeof type;
    type.lpfnWndProc = DefWindowProcW;
    type.hInstance = instance;
    type.hCursor = LoadCursorW(nullptr, IDC_WAIT);
    type.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    type.lpszClassName = kName;
    return RegisterClassExW(&type) != 0;
  }();
  return registered ? kName : L"STATIC";
}

}  // namespace

ProgressWindow::ProgressWindow(HINSTANCE instance, HWND owner)
    : instance_(instance), owner_(owner), next_catch_up_(started_ + kDelay) {
  EnableWindow(owner_, FALSE);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

ProgressWindow::~ProgressWindow() {
  // The owner takes input again before the box goes, so that it, not some
  // other program, gets the focus back.
  EnableWindow(owner_, TRUE);
  if (dialog_) DestroyWindow(dialog_);
  if (font_) DeleteObject(font_);
  // What was done meanwhile is dropped, not handed on to the window now.
  for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
    if (!IsInput(message.message)) DispatchMessageW(&message);
  }
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void ProgressWindow::Progress(int done, int total, const std::string& item) {
  auto now = std::chrono::steady_clock::now();
  if (now < next_catch_up_) return;
  next_catch_up_ = now + kInterval;
  if (!dialog_) Show();
  SetWindowTextW(item_, WideFromUtf8(item).c_str());
  bool marquee = total <= 0;
  if (marquee != marquee_) {
    LONG_PTR style = GetWindowLongPtrW(bar_, GWL_STYLE);
    SetWindowLongPtrW(bar_, GWL_STYLE, marquee ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
    SendMessageW(bar_, PBM_SETMARQUEE, marquee, 0);
    marquee_ = marquee;
  }
  if (!marquee) {
    SendMessageW(bar_, PBM_SETRANGE32, 0, total);
    SendMessageW(bar_, PBM_SETPOS, done, 0);
  }
  CatchUp();
}

void ProgressWindow::Show() {
  RECT owner;
  GetWindowRect(owner_, &owner);
  dialog_ = CreateWindowExW(WS_EX_DLGMODALFRAME, ProgressClass(instance_), L"正在整理…",
                            WS_POPUP | WS_CAPTION | WS_VISIBLE, owner.left + 60, owner.top + 120,
                            400, 110, owner_, nullptr, instance_, nullptr);
  item_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_PATHELLIPSIS, 12, 10, 370,
                          20, dialog_, nullptr, instance_, nullptr);
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 12, 38, 370, 20, dialog_,
                         nullptr, instance_, nullptr);
  font_ =
      CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"微软雅黑");
  SendMessageW(item_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

// The window paints and the bar moves; input goes nowhere.
void ProgressWindow::CatchUp() {
  for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the loop, after the command
      return;
    }
    if (IsInput(message.message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace varnelo
