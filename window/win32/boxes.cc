#include "window/win32/boxes.h"

namespace varnelo {
namespace {

constexpr int kUndoButton = 1000;  // clear of the common buttons' ids

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

HRESULT CALLBACK WithoutCancel(HWND box, UINT note, WPARAM, LPARAM, LONG_PTR /*unused*/) {
  if (note == TDN_CREATED) SetWindowSubclass(box, EscapeIsOk, 1, 0);
  if (note == TDN_DESTROYED) RemoveWindowSubclass(box, EscapeIsOk, 1);
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
    details = WideFromUtf8(preview->details);
  }
  const TASKDIALOG_BUTTON undo = {kUndoButton, L"撤销"};
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.pszWindowTitle = caption.c_str();
  config.pszContent = content.c_str();
  config.dwCommonButtons = TDCBF_OK_BUTTON;
  if (offer == Offer::kCancel) {
    config.dwCommonButtons |= TDCBF_CANCEL_BUTTON;
  } else {
    config.pfCallback = WithoutCancel;
  }
  if (offer == Offer::kUndo) {
    config.pButtons = &undo;
    config.cButtons = 1;
  }
  config.nDefaultButton = IDOK;
  if (!details.empty()) {
    config.pszExpandedInformation = details.c_str();
    config.pszCollapsedControlText = L"显示详细信息";
    config.pszExpandedControlText = L"隐藏详细信息";
  }
  int pressed = IDCANCEL;
  if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) {
    return AskMessageBox(owner, content, caption, offer == Offer::kUndo ? Offer::kNothing : offer);
  }
  if (pressed == kUndoButton) return Answer::kUndo;
  if (pressed == IDOK || offer != Offer::kCancel)
    return Answer::kOk;  // Esc means OK without Cancel
  return Answer::kCancel;
}

}  // namespace varnelo
