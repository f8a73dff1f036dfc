#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/window/form1_controls.h"
#include "tests/window/test_desktop.h"
#include "window/prompt.h"
#include "window/qt/form1.h"
#include "window/qt/progress_dialog.h"

namespace varnelo::testing {
namespace {

using std::chrono::milliseconds;

// Progress at once and the window catching up at every file: a handful of
// files behaves as a huge folder would.
constexpr ProgressTiming kAtOnce{milliseconds(0), milliseconds(0)};

ProgressDialog* OpenDialog() {
  return dynamic_cast<ProgressDialog*>(QApplication::activeModalWidget());
}

void FillFolder(const TempFolder& folder) {
  for (int i = 0; i < 12; ++i) {
    PutFile(folder / ("p" + std::to_string(i) + ".jpg"), "picture");
    PutFile(folder / ("t" + std::to_string(i) + ".txt"), "text");
  }
}

std::vector<std::pair<QString, QString>> Boxes(const TestDesktop& desktop) {
  std::vector<std::pair<QString, QString>> boxes;
  for (const BoxSeen& box : desktop.boxes) boxes.emplace_back(box.title, box.text);
  return boxes;
}

// Counts the paints of a widget that happen while the progress shows.
class PaintsUnderProgress : public QObject {
 public:
  explicit PaintsUnderProgress(QWidget& widget) { widget.installEventFilter(this); }
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint && OpenDialog() != nullptr) ++count;
    return false;
  }
  int count = 0;
};

// A window on the screen, with the drop box naming `folder`.
class Window {
 public:
  Window(const TempFolder& folder, ProgressTiming timing)
      : form(desktop, FileSystem::Default(), timing), text1(Find<DropBox>(form, "Text1")) {
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    SetDropBox(form, folder.path());
  }

  // Presses `button` and calls `meanwhile` the first time the window takes
  // its events while the command works; answers whether the progress showed
  // then.
  bool Press(const char* button, std::function<void()> meanwhile) {
    bool working = true;
    bool showing = false;
    QTimer::singleShot(0, &form, [&] {
      if (!working) return;
      showing = OpenDialog() != nullptr;
      meanwhile();
    });
    Find<QPushButton>(form, button).click();
    working = false;
    QCoreApplication::processEvents();
    return showing;
  }

  // Drags `folder` onto the drop box; answers whether the box took it.
  bool DropOnBox(const TempFolder& folder) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.path()))});
    QWidget* target = text1.viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return enter.isAccepted() || drop.isAccepted();
  }

  TestDesktop desktop;
  Form1 form;
  DropBox& text1;
};

QString NameShown(ProgressDialog& dialog) { return dialog.findChild<QLabel*>("Name")->text(); }

TEST(ProgressTest, LongCommandShowsProgressRefusesInputAndEndsAsAQuickOne) {
  TempFolder slow_folder, quick_folder, other;
  FillFolder(slow_folder);
  FillFolder(quick_folder);
  Window slow(slow_folder, kAtOnce);
  PaintsUnderProgress paints(slow.form);
  bool dropped = true;
  QPushButton& type_button = Find<QPushButton>(slow.form, "Command4");
  QPushButton& year_button = Find<QPushButton>(slow.form, "Command5");
  ASSERT_TRUE(slow.Press("Command2", [&] {
    ProgressDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "正在整理…");
    EXPECT_TRUE(dialog->findChildren<QAbstractButton*>().isEmpty());
    EXPECT_EQ(dialog->findChild<QProgressBar*>()->maximum(), 48);  // two passes over 24 files
    QString name = NameShown(*dialog);
    EXPECT_TRUE(name.endsWith(".jpg") || name.endsWith(".txt")) << name.toStdString();
    QWindow* window = slow.form.windowHandle();
    QTest::mouseClick(window, Qt::LeftButton, {}, type_button.geometry().center());
    QTest::mouseClick(&type_button, Qt::LeftButton);
    QTest::keyClick(&year_button, Qt::Key_Space);
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(10, 300));
    dropped = slow.DropOnBox(other);
    EXPECT_FALSE(slow.form.close());
    slow.form.update();
  }));
  EXPECT_GT(paints.count, 0);
  EXPECT_FALSE(dropped);
  EXPECT_EQ(slow.desktop.moves, 0);
  EXPECT_TRUE(slow.form.isVisible());
  EXPECT_EQ(slow.form.DropBoxText(), slow_folder.path());
  EXPECT_EQ(OpenDialog(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  Window quick(quick_folder, ProgressTiming{});
  ASSERT_FALSE(quick.Press("Command2", [] {}));
  EXPECT_EQ(Tree(slow_folder.path()), Tree(quick_folder.path()));
  EXPECT_EQ(Tree(slow_folder.path()).count("jpg/p11.jpg"), 1u);
  EXPECT_EQ(Boxes(slow.desktop), Boxes(quick.desktop));
  ASSERT_EQ(slow.desktop.boxes.size(), 2u);
  EXPECT_EQ(slow.desktop.boxes[1].text, "操作已完成!!");
  EXPECT_FALSE(slow.desktop.boxes[1].busy_cursor);
}

// What the user did while the command worked is dropped at its end; handed
// on, the click would start a second command.
TEST(ProgressTest, QuickCommandShowsNothingAndDropsInputQueuedMeanwhile) {
  TempFolder folder, other;
  PutFile(folder / "a.jpg");
  Window window(folder, ProgressTiming{});
  QPushButton* type_button = &Find<QPushButton>(window.form, "Command4");
  QPointF center = type_button->rect().center();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QCoreApplication::postEvent(type_button, new QMouseEvent(type, center, center, Qt::LeftButton,
                                                             Qt::LeftButton, Qt::NoModifier));
  }
  QCoreApplication::postEvent(&Find<QPushButton>(window.form, "Command5"),
                              new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier));

  EXPECT_FALSE(window.Press("Command2", [] {}));
  ASSERT_EQ(window.desktop.boxes.size(), 2u);
  EXPECT_EQ(window.desktop.boxes[1].text, "操作已完成!!");
  EXPECT_EQ(Tree(folder.path()),
            (std::map<std::string, std::string>{{"jpg", "/"}, {"jpg/a.jpg", "x"}}));

  // Afterwards the window takes input again.
  EXPECT_TRUE(window.DropOnBox(other));
  EXPECT_EQ(window.form.DropBoxText(), other.path());
}

TEST(ProgressTest, WindowShownAgainMeanwhileGetsThePromptOnlyAfterTheCommand) {
  TempFolder folder;
  FillFolder(folder);
  Window window(folder, kAtOnce);
  std::string during;
  ASSERT_TRUE(window.Press("Command2", [&] {
    window.form.setWindowState(Qt::WindowMinimized);
    window.form.setWindowState(Qt::WindowNoState);
    during = window.form.DropBoxText();
  }));
  EXPECT_EQ(during, folder.path());
  EXPECT_EQ(window.form.DropBoxText(), kPrompt);
}

// Answers 撤销 where a box offers it, and notes what the window shows the
// first time it takes its events after that.
class UndoingDesktop : public TestDesktop {
 public:
  QMessageBox::StandardButton Ask(QMessageBox& box) override {
    QMessageBox::StandardButton answer = TestDesktop::Ask(box);
    if (box.button(QMessageBox::Reset) == nullptr) return answer;
    QTimer::singleShot(0, [this] {
      ProgressDialog* dialog = OpenDialog();
      shown = dialog != nullptr ? dialog->windowTitle() + " " + NameShown(*dialog) : "nothing";
    });
    return QMessageBox::Reset;
  }
  QString shown;
};

TEST(ProgressTest, AnUndoShowsItsProgressAsACommandDoes) {
  TempFolder folder;
  FillFolder(folder);
  const auto original = Tree(folder.path());
  UndoingDesktop desktop;
  Form1 form(desktop, FileSystem::Default(), kAtOnce);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  SetDropBox(form, folder.path());
  Find<QPushButton>(form, "Command2").click();
  EXPECT_TRUE(desktop.shown.startsWith("正在整理… ")) << desktop.shown.toStdString();
  ASSERT_EQ(desktop.boxes.size(), 3u);
  EXPECT_EQ(desktop.boxes[2].text, "撤销已完成!!");
  EXPECT_FALSE(desktop.boxes[2].busy_cursor);
  EXPECT_EQ(Tree(folder.path()), original);
  EXPECT_EQ(OpenDialog(), nullptr);
}

TEST(ProgressDialogTest, ShowsCountOrBusyBarAndCannotBeClosed) {
  ProgressDialog dialog(nullptr);
  dialog.show();
  dialog.Show(3, 10, "/data/photos/IMG_0001.JPG");
  auto* bar = dialog.findChild<QProgressBar*>();
  EXPECT_EQ(bar->value(), 3);
  EXPECT_EQ(bar->maximum(), 10);
  EXPECT_EQ(NameShown(dialog), "IMG_0001.JPG");

  dialog.Show(7, 0, "/data/photos/" + std::string(300, 'x') + ".mp4");
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 0);
  QString elided = NameShown(dialog);
  EXPECT_TRUE(elided.startsWith("xxx") && elided.endsWith(".mp4") && elided.contains("…"));
  EXPECT_LE(dialog.width(), 360);

  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_FALSE(dialog.close());
  EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace varnelo::testing
