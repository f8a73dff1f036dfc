#include "window/win32/boxes.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace varnelo {
namespace {

constexpr int kUndoButton = 1000;     // clear of the common buttons' ids
constexpr int kRoomForTheRest = 120;  // pixels: caption, question, preview line, buttons
constexpr int kFewestLines = 10;

int LineHeight() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  return std::max(1, std::abs(static_cast<int>(metrics.lfMessageFont.lfHeight)) * 3 / 2);
}

// A task dialog grows with its details and never scrolls them: a list
// taller than the screen would push the buttons off it. It is cut to the
// lines that fit, ended as the preview ends a list too long for it.
std::wstring Fitting(const std::wstring& details, HWND owner) {
  MONITORINFO screen = {};
  screen.cbSize = sizeof screen;
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &screen);
  // Placed over the window, the box may start halfway down the screen.
  const int height = (screen.rcWork.bottom - screen.rcWork.top) / 2;
  const int lines = std::max(kFewestLines, (height - kRoomForTheRest) / LineHeight());
  size_t cut = 0;
  for (int line = 0; line < lines; ++line) {
    size_t next = details.find(L'\n', cut);
    if (next == std::wstring::npos || next + 1 >= details.size()) return details;
    cut = next + 1;
  }
  return details.substr(0, cut) + L"……";
}

// A plain message box does for a box with nothing to add to one.
Answer AskMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, Offer offer) {
  UINT kind = offer == Offer::kCancel ? MB_OKCANCEL | MB_DEFBUTTON1 : MB_OK;
  return MessageBoxW(owner, text.c_str(), title.c_str(), kind) == IDOK ? Answer::kOk
                                                                       : Answer::kCancel;
}

// Esc, and the close button, answer OK where there is no Cancel, as they do
// in a message box: a task dialog may take them for nothing.
LRESULT CALLBACK EscapeIsOk(HWND box, UINT message, WPARAM w, LPARAM l, UINT_PTR /*id*/,
                            DWORD_PTR /*unused*/) {
  if (message == WM_COMMAND && LOWORD(w) == IDCANCEL) {
    SendMessageW(box, TDM_CLICK_BUTTON, IDOK, 0);
    return 0;
  }
  return DefSubclassProc(box, message, w, l);
}

// Some task dialogs (Wine's) size the details button to its label alone and
// then draw the arrow in front of it, which leaves room for a dot of the
// label: the button is widened to the label, the arrow and a margin. Where
// the button is no window of its own, nothing is found to widen.
BOOL CALLBACK WidenDetailsButton(HWND child, LPARAM /*unused*/) {
  if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) != BS_OWNERDRAW) return TRUE;
  wchar_t label[64];
  int length = GetWindowTextW(child, label, std::size(label));
  HDC dc = GetDC(child);
  HGDIOBJ old_font =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
  SIZE text = {};
  TEXTMETRICW metrics = {};
  GetTextExtentPoint32W(dc, label, length, &text);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old_font);
  ReleaseDC(child, dc);
  // The arrow is two and a half average characters wide, half a digit from the label.
  const int width = text.cx + metrics.tmAveCharWidth * 4;
  RECT now;
  GetWindowRect(child, &now);
  if (now.right - now.left < width) {
    SetWindowPos(child, nullptr, 0, 0, width, std::max<int>(now.bottom - now.top, text.cy),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return FALSE;
}

// `without_cancel` says whether Esc and the close button answer OK.
HRESULT CALLBACK OnBoxEvent(HWND box, UINT note, WPARAM, LPARAM, LONG_PTR without_cancel) {
  if (note == TDN_CREATED || note == TDN_EXPANDO_BUTTON_CLICKED) {
    EnumChildWindows(box, WidenDetailsButton, 0);
  }
  if (without_cancel && note == TDN_CREATED) SetWindowSubclass(box, EscapeIsOk, 1, 0);
  if (without_cancel && note == TDN_DESTROYED) RemoveWindowSubclass(box, EscapeIsOk, 1);
  return S_OK;
}

}  // namespace

// A task dialog holds what a message box cannot: a button of its own and
// details shown on demand. Without a main instruction or an icon it looks
// like a message box.
Answer AskBox(HWND owner, const std::string& text, const std::string& title, Offer offer,
              const std::optional<Preview>& preview) {
  std::wstring content = WideFromUtf8(text);
  const std::wstring caption = WideFromUtf8(title);
  if (offer != Offer::kUndo && !preview) return AskMessageBox(owner, content, caption, offer);
  std::wstring details;
  if (preview) {
    content += L"\n\n" + WideFromUtf8(preview->summary);
    details = Fitting(WideFromUtf8(preview->details), owner);
  }
  const TASKDIALOG_BUTTON undo = {kUndoButton, L"撤销"};
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.pszWindowTitle = caption.c_str();
  config.pszContent = content.c_str();
  config.dwCommonButtons = TDCBF_OK_BUTTON;
  if (offer == Offer::kCancel) config.dwCommonButtons |= TDCBF_CANCEL_BUTTON;
  config.pfCallback = OnBoxEvent;
  config.lpCallbackData = offer != Offer::kCancel;
  if (offer == Offer::kUndo) {
    config.pButtons = &undo;
    config.cButtons = 1;
  }
  config.nDefaultButton = IDOK;
  if (!details.empty()) {
    config.pszExpandedInformation = details.c_str();
    config.pszCollapsedControlText = L"显示详情...";
    config.pszExpandedControlText = L"隐藏详情...";
  }
  int pressed = IDCANCEL;
  if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) {
    return AskMessageBox(owner, content, caption, offer == Offer::kUndo ? Offer::kNothing : offer);
  }
  if (pressed == kUndoButton) return Answer::kUndo;
  // Without Cancel, every way out of the box is OK.
  return pressed == IDOK || offer != Offer::kCancel ? Answer::kOk : Answer::kCancel;
}

}  // namespace varnelo
