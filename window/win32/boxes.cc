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
  config.dwCommonButtons = TDCBF_OK_BUTTON | (offer == Offer::kCancel ? TDCBF_CANCEL_BUTTON : 0);
  if (offer == Offer::kUndo) {
    config.pButtons = &undo;
    config.cButtons = 1;
  }
  config.nDefaultButton = IDOK;
  if (!details.empty()) config.pszExpandedInformation = details.c_str();
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
