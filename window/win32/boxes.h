#ifndef VARNELO_WINDOW_WIN32_BOXES_H_
#define VARNELO_WINDOW_WIN32_BOXES_H_

#include <optional>
#include <string>

#include "commands/host.h"
#include "window/win32/windows_ui.h"

namespace varnelo {

// The answer of a box of the commands.
enum class Answer { kOk, kCancel, kUndo };

// What a box offers beside OK, the default.
enum class Offer {
  kNothing,  // OK alone; Esc answers OK
  kCancel,   // Cancel, which Esc answers
  kUndo,     // "撤销"; Esc answers OK
};

// A box over `owner` with no icon, as a message box looks. A `preview`
// puts its summary under `text` and its moves in details that the user
// opens.
Answer AskBox(HWND owner, const std::string& text, const std::string& title, Offer offer,
              const std::optional<Preview>& preview = std::nullopt);

}  // namespace varnelo

#endif  // VARNELO_WINDOW_WIN32_BOXES_H_
