#ifndef VARNELO_COMMANDS_HOST_H_
#define VARNELO_COMMANDS_HOST_H_

#include <functional>
#include <optional>
#include <string>

namespace varnelo {

// What a run would do, as its confirmation may tell it.
struct Preview {
  std::string summary;  // one line: how many files move, how many folders come or go
  std::string details;  // the moves, one a line
};

// What a command needs of the window it runs in. The window implements it
// with its controls and message boxes; tests and the driver with scripts.
class Host {
 public:
  virtual ~Host() = default;

  // Shows `prompt` with OK (the default) and Cancel under `title`, and
  // answers true only for OK.
  virtual bool Confirm(const std::string& prompt, const std::string& title) = 0;

  // As Confirm, for a run that `preview` can tell beforehand (nothing where
  // it cannot), at the cost of simulating it: a host that shows the preview
  // asks for it.
  virtual bool ConfirmRun(const std::string& prompt, const std::string& title,
                          const std::function<std::optional<Preview>()>& /*preview*/) {
    return Confirm(prompt, title);
  }

  // Shows `text` with OK only, under the application's title.
  virtual void Report(const std::string& text) = 0;

  // As Report, with the button "撤销" beside OK, which stays the default and
  // answers Return and Esc. Answers true for "撤销", whose work begins at
  // once. Where there is no such button, the box is a report.
  virtual bool ReportUndoable(const std::string& text) {
    Report(text);
    return false;
  }

  // The text of the drop box, as raw path bytes.
  virtual std::string DropBoxText() = 0;

  // The hidden scratch box through which a command turns a value into text:
  // the text read back is what the box made of the text written.
  virtual void SetScratchText(const std::string& text) = 0;
  virtual std::string ScratchText() = 0;

  // Told as a command works through its files: `done` of `total` (0 when
  // the total is unknown), and the path of the file at hand.
  virtual void Progress(int /*done*/, int /*total*/, const std::string& /*item*/) {}
};

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_HOST_H_
