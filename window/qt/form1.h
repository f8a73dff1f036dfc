#ifndef VARNELO_WINDOW_QT_FORM1_H_
#define VARNELO_WINDOW_QT_FORM1_H_

#include <QColor>
#include <QWidget>
#include <optional>
#include <string>

#include "commands/history.h"
#include "commands/host.h"
#include "filesystem/file_system.h"
#include "window/form1_layout.h"
#include "window/qt/busy_window.h"
#include "window/qt/desktop.h"
#include "window/qt/layered_window.h"

namespace varnelo {

struct Command;
class DropBox;
class ScratchBox;

// The program's one window: the drop box, the five command buttons and the
// help button over a body painted in the key colour, so that only the
// controls are seen. Dragging the body moves the window. It is the host of
// the commands its buttons run, each run on `fs`, which the drop box too
// asks what a dropped name stands for. It keeps what each run changed until
// it is closed: the completion box, and Ctrl+Z after it, undo the latest run.
class Form1 : public QWidget, public Host {
 public:
  Form1(Desktop& desktop, FileSystem* fs, ProgressTiming timing = {});

  bool Confirm(const std::string& prompt, const std::string& title) override;
  bool ConfirmRun(const std::string& prompt, const std::string& title,
                  const std::function<std::optional<Preview>()>& preview) override;
  void Report(const std::string& text) override;
  bool ReportUndoable(const std::string& text) override;
  std::string DropBoxText() override;
  void SetScratchText(const std::string& text) override;
  std::string ScratchText() override;
  void Progress(int done, int total, const std::string& item) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void CreateControl(const ControlLayout& layout);
  void Form_Load();
  void Command10_Click();
  void Run(const Command& command);
  void UndoLast();
  QMessageBox::StandardButton Ask(const QString& text, const QString& title,
                                  QMessageBox::StandardButtons buttons,
                                  const std::optional<Preview>& preview = std::nullopt);
  void EndBusy();

  Desktop& desktop_;
  FileSystem* fs_;
  ProgressTiming timing_;
  LayeredWindow layer_{this};
  QColor m_transparencyKey;
  DropBox* text1_ = nullptr;
  ScratchBox* text3_ = nullptr;
  History history_;
  // From the confirmation to the command's last box.
  std::optional<BusyWindow> busy_;
  // The window was shown again while a command worked.
  bool prompt_due_ = false;
};

}  // namespace varnelo

#endif  // VARNELO_WINDOW_QT_FORM1_H_
