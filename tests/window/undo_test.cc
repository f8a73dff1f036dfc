// Undoing a run from the window: the button of the box that ends it, and
// Ctrl+Z, which asks first.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QShortcut>
#include <QTest>

#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_folder.h"
#include "tests/window/form1_controls.h"
#include "tests/window/test_desktop.h"
#include "window/qt/form1.h"

namespace varnelo::testing {
namespace {

using Files = std::map<std::string, std::string>;

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PutFile(folder_ / "a.jpg", "a");
    PutFile(folder_ / "b.txt", "b");
    original_ = Tree(folder_.path());
    SetDropBox(form_, folder_.path());
  }
  void Sort() { Find<QPushButton>(form_, "Command2").click(); }
  // Ctrl+Z as typed, where the focus is.
  void PressCtrlZ() {
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : &form_, Qt::Key_Z, Qt::ControlModifier);
  }
  const BoxSeen& Box(size_t n) {
    if (desktop_.boxes.size() <= n) throw MissingControl("no box " + std::to_string(n));
    return desktop_.boxes[n];
  }

  TempFolder folder_;
  Files original_;
  FaultyFileSystem fs_;
  TestDesktop desktop_;
  Form1 form_{desktop_, &fs_};
};

TEST_F(UndoTest, TheCompletionBoxOffersUndoBesideOkWhichStaysTheDefault) {
  Sort();
  ASSERT_EQ(desktop_.boxes.size(), 2u);
  EXPECT_EQ(Box(1).text, "操作已完成!!");
  EXPECT_EQ(Box(1).buttons, QStringList({"撤销", "确定"}));
  EXPECT_EQ(Box(1).default_button, "确定");
  EXPECT_EQ(Box(1).escape_button, "确定");
  EXPECT_NE(Tree(folder_.path()), original_);
}

TEST_F(UndoTest, UndoInTheCompletionBoxPutsEveryFileBackAtOnce) {
  desktop_.answer = QMessageBox::Reset;  // 撤销 where the box has it, else OK
  Sort();
  ASSERT_EQ(desktop_.boxes.size(), 3u);
  EXPECT_EQ(Box(2).title, "Varnelo");
  EXPECT_EQ(Box(2).text, "撤销已完成!!");
  EXPECT_EQ(Box(2).buttons, QStringList({"确定"}));
  EXPECT_FALSE(Box(2).busy_cursor);
  EXPECT_EQ(Tree(folder_.path()), original_);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  // Undone is done with: Ctrl+Z has nothing left.
  PressCtrlZ();
  ASSERT_EQ(desktop_.boxes.size(), 4u);
  EXPECT_EQ(Box(3).text, "没有可以撤销的操作。");
}

TEST_F(UndoTest, CtrlZAsksAndUndoesTheLatestRunOnlyOnOk) {
  Sort();
  const Files sorted = Tree(folder_.path());
  desktop_.answer = QMessageBox::Cancel;
  PressCtrlZ();
  ASSERT_EQ(desktop_.boxes.size(), 3u);
  EXPECT_EQ(Box(2).title, "请选择");
  EXPECT_EQ(Box(2).text, "确认撤销上一次操作？");
  EXPECT_EQ(Box(2).buttons, QStringList({"取消", "确定"}));
  EXPECT_EQ(Box(2).default_button, "确定");
  EXPECT_EQ(Box(2).escape_button, "取消");
  EXPECT_EQ(Tree(folder_.path()), sorted);

  desktop_.answer = QMessageBox::Ok;
  PressCtrlZ();
  ASSERT_EQ(desktop_.boxes.size(), 5u);
  EXPECT_EQ(Box(4).text, "撤销已完成!!");
  EXPECT_EQ(Tree(folder_.path()), original_);
}

TEST_F(UndoTest, CtrlZWithNothingToUndoSaysSo) {
  PressCtrlZ();
  ASSERT_EQ(desktop_.boxes.size(), 1u);
  EXPECT_EQ(Box(0).title, "Varnelo");
  EXPECT_EQ(Box(0).text, "没有可以撤销的操作。");
  EXPECT_EQ(Box(0).buttons, QStringList({"确定"}));
  EXPECT_EQ(Tree(folder_.path()), original_);
}

TEST_F(UndoTest, CtrlZInTheDropBoxUndoesTypingWhileThereIsTypingToUndo) {
  form_.show();  // which puts the prompt in
  SetDropBox(form_, folder_.path());
  Find<DropBox>(form_, "Text1").setFocus();
  PressCtrlZ();  // a dropped text, not typed: the window's
  ASSERT_EQ(desktop_.boxes.size(), 1u);
  QTest::keyClicks(QApplication::focusWidget(), "x");
  PressCtrlZ();
  EXPECT_EQ(desktop_.boxes.size(), 1u);
  EXPECT_EQ(form_.DropBoxText(), folder_.path());
}

TEST_F(UndoTest, AStoppedRunCanBeUndoneFromItsBoxOrByCtrlZ) {
  fs_.FailAt(Operation::kRename, 2, kPermissionDenied);
  Sort();
  ASSERT_EQ(desktop_.boxes.size(), 2u);
  EXPECT_EQ(Box(1).text, "操作未完成!!\n没有权限修改其中的文件或文件夹。\n已移动 1 个文件。");
  EXPECT_EQ(Box(1).buttons, QStringList({"撤销", "确定"}));
  PressCtrlZ();
  ASSERT_EQ(desktop_.boxes.size(), 4u);
  EXPECT_EQ(Box(3).text, "撤销已完成!!");
  EXPECT_EQ(Tree(folder_.path()), original_);
}

}  // namespace
}  // namespace varnelo::testing
