#ifndef VARNELO_WINDOW_WIN32_FORM1_H_
#define VARNELO_WINDOW_WIN32_FORM1_H_

#include <memory>
#include <string>
#include <vector>

#include "commands/history.h"
#include "commands/host.h"
#include "filesystem/file_system.h"
#include "window/form1_layout.h"
#include "window/win32/progress_window.h"
#include "window/win32/windows_ui.h"

namespace varnelo {

class DropTarget;

// The program's one window on Windows, built from the same layout as the
// Linux one: the drop box, the five command buttons and the help button
// over a body in the key colour, which the desktop leaves see-through.
// Pressing the body moves the window. It is the host of the commands its
// buttons run, each on `fs`. It keeps what each run changed until it is
// closed: the completion box, and Ctrl+Z after it, undo the latest run.
class Form1 : public Host {
 public:
  Form1(HINSTANCE instance, FileSystem* fs);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Shows the window and handles its events until it is closed.
  int Run(int show);

  bool Confirm(const std::string& prompt, const std::string& title) override;
  bool ConfirmRun(const std::string& prompt, const std::string& title,
                  const std::function<std::optional<Preview>()>& preview) override;
  void Report(const std::string& text) override;
  bool ReportUndoable(const std::string& text) override;
  std::string DropBoxText() override;
  void SetScratchText(const std::string& text) override;
  std::string ScratchText() override;
  void Progress(int done, int total, const std::string& item) override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK DropBoxProcedure(HWND box, UINT message, WPARAM w, LPARAM l, UINT_PTR id,
                                           DWORD_PTR form);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  void CreateControls();
  HWND CreateControl(const ControlLayout& layout, int id);
  void Form_Load();
  void Form_Paint();
  void Form_MouseDown();
  void Command10_Click();
  void Text1_OLEDragDrop(HDROP drop);
  void Click(int id);
  bool TakeUndoKey(const MSG& message);
  void UndoLast();
  void PutPrompt();
  void EndBusy();

  HINSTANCE instance_;
  FileSystem* fs_;
  HWND window_ = nullptr;
  HWND text1_ = nullptr;
  HWND text3_ = nullptr;
  DropTarget* drop_target_ = nullptr;  // the drop box's, released with the form
  COLORREF m_transparencyKey = RGB(kKeyRed, kKeyGreen, kKeyBlue);
  std::vector<HFONT> fonts_;
  History history_;
  // From the confirmation to the command's last box.
  std::unique_ptr<ProgressWindow> busy_;
  bool prompt_due_ = false;  // shown again while a command worked
};

}  // namespace varnelo

#endif  // VARNELO_WINDOW_WIN32_FORM1_H_
