#ifndef VARNELO_WINDOW_QT_PROGRESS_DIALOG_H_
#define VARNELO_WINDOW_QT_PROGRESS_DIALOG_H_

#include <QDialog>
#include <string_view>

class QLabel;
class QProgressBar;

namespace varnelo {

inline constexpr char kProgressTitle[] = "正在整理…";

// Shows how far a long command has come: the files done of the total, or a
// busy bar while the total is unknown, and the name of the file at hand.
// It offers no way out and refuses Esc and the close box: the commands have
// no point at which they could stop and leave the folder in a sound state.
class ProgressDialog : public QDialog {
 public:
  explicit ProgressDialog(QWidget* parent);

  // `total` 0: unknown. `path` is raw path bytes.
  void Show(int done, int total, std::string_view path);

 protected:
  void reject() override {}
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* name_;
  QProgressBar* bar_;
};

}  // namespace varnelo

#endif  // VARNELO_WINDOW_QT_PROGRESS_DIALOG_H_
