#include "window/qt/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_folder.h"
#include "tests/window/form1_controls.h"
#include "tests/window/test_desktop.h"
#include "window/qt/application.h"

namespace varnelo::testing {
namespace {

const QColor kKey(255, 255, 1);

QString TextOf(QWidget* control) {
  if (auto* box = qobject_cast<QPlainTextEdit*>(control)) return box->toPlainText();
  if (auto* line = qobject_cast<QLineEdit*>(control)) return line->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  return {};
}

class Form1Test : public ::testing::Test {
 protected:
  QWidget* Control(const char* name) { return &Find<QWidget>(form_, name); }
  QPushButton* Button(const char* name) { return &Find<QPushButton>(form_, name); }
  void Click(const char* name) { Button(name)->click(); }
  void SetDropBox(const std::string& text) { testing::SetDropBox(form_, text); }

  TestDesktop desktop_;
  Form1 form_{desktop_, FileSystem::Default()};
};

struct Design {
  const char* name;
  QRect geometry;
  const char* text;
  const char* family;  // nullptr: the window's own font
  double points;
};

TEST_F(Form1Test, LaysOutEveryControlAsDesigned) {
  const Design kDesigns[] = {
      {"Text1", {56, 40, 401, 89}, "Text1", "微软雅黑", 14.25},
      {"Text2", {360, 640, 33, 25}, "Text2", nullptr, 0},
      {"Command2", {56, 248, 97, 49}, "按扩展名分类", "微软雅黑", 9},
      {"Command3", {56, 160, 161, 49}, "将所有文件放到根目录", "微软雅黑", 9},
      {"Text3", {240, 624, 57, 41}, "Text3", nullptr, 0},
      {"Command4", {208, 248, 97, 49}, "按文件类型分类", "微软雅黑", 9},
      {"Command5", {296, 160, 161, 49}, "按最后修改年份分类", "微软雅黑", 9},
      {"Command7", {360, 248, 97, 49}, "按照片像素分类", "微软雅黑", 9},
      {"Picture1", {80, 608, 121, 89}, "", nullptr, 0},
      {"Command10", {472, 8, 25, 25}, "?", "黑体", 15.75},
  };
  EXPECT_EQ(form_.windowTitle(), "Varnelo V1.0");
  EXPECT_TRUE(form_.windowIcon().availableSizes().contains(QSize(48, 48)));
  EXPECT_EQ(form_.minimumSize(), QSize(519, 349));
  EXPECT_EQ(form_.maximumSize(), QSize(519, 349));
  QWidget* previous = nullptr;
  for (const Design& design : kDesigns) {
    SCOPED_TRACE(design.name);
    QWidget* control = Control(design.name);
    EXPECT_EQ(control->geometry(), design.geometry);
    EXPECT_EQ(TextOf(control), QString::fromUtf8(design.text));
    if (design.family != nullptr) {
      EXPECT_EQ(control->font().family(), QString::fromUtf8(design.family));
      EXPECT_DOUBLE_EQ(control->font().pointSizeF(), design.points);
      // Substituted by a font that has the Chinese glyphs.
      EXPECT_EQ(QFontInfo(control->font()).family(), "Noto Sans CJK SC");
    }
    if (previous != nullptr) {
      QWidget* next = previous->nextInFocusChain();
      while (next->parentWidget() != &form_) next = next->nextInFocusChain();
      EXPECT_EQ(next, control) << "tab order";
    }
    // What lies below the window's edge never takes the focus.
    bool out_of_sight = design.geometry.top() >= 349;
    EXPECT_EQ(control->focusPolicy() == Qt::NoFocus, out_of_sight);
    previous = control;
  }
  EXPECT_EQ(Find<QFrame>(form_, "Picture1").frameWidth(), 2);
}

TEST_F(Form1Test, ShowsThePromptWhenShownButKeepsADropAcrossRepaintsAndBoxes) {
  const std::string kPromptBytes = "请拖拽文件夹至此\r\n单独的文件不可以";
  form_.show();
  EXPECT_EQ(form_.DropBoxText(), kPromptBytes);
  EXPECT_EQ(TextOf(Control("Text1")), "请拖拽文件夹至此\n单独的文件不可以");

  SetDropBox("/some/folder");
  form_.repaint();
  Button("Command10")->setFocus();
  form_.Report("操作已完成!!");
  form_.hide();
  EXPECT_EQ(form_.DropBoxText(), "/some/folder");

  form_.show();
  EXPECT_EQ(form_.DropBoxText(), kPromptBytes);
  SetDropBox("/some/folder");
  form_.setWindowState(Qt::WindowMinimized);
  form_.setWindowState(Qt::WindowNoState);
  EXPECT_EQ(form_.DropBoxText(), kPromptBytes);
}

class UrlCatcher : public QObject {
  Q_OBJECT
 public slots:
  void Open(const QUrl& url) { opened.append(url); }

 public:
  QList<QUrl> opened;
};

// A right press on the drop box opens its menu, which waits for the person
// in front of it: it is closed as soon as it shows.
void CloseMenuOnceShown() {
  QTimer::singleShot(0, [] {
    if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
  });
}

// Each button on each control in sight. A left press clicks the control too:
// the command's question is cancelled and the help page is caught.
TEST_F(Form1Test, PressOnTheBodyMovesTheWindowAndPressOnAControlDoesNot) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("file", &catcher, "Open");
  desktop_.answer = QMessageBox::Cancel;
  form_.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
  QWindow* window = form_.windowHandle();
  int moves = 0;
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    SCOPED_TRACE(button);
    for (const char* name :
         {"Text1", "Command2", "Command3", "Command4", "Command5", "Command7", "Command10"}) {
      QPoint center = Control(name)->geometry().center();
      CloseMenuOnceShown();
      QTest::mousePress(window, button, {}, center);
      QTest::mouseRelease(window, button, {}, center);
      EXPECT_EQ(desktop_.moves, moves) << name;
    }
    QTest::mousePress(window, button, {}, QPoint(10, 300));
    QTest::mouseRelease(window, button, {}, QPoint(10, 300));
    EXPECT_EQ(desktop_.moves, ++moves) << "the body";
  }
  QDesktopServices::unsetUrlHandler("file");
}

TEST_F(Form1Test, ExtensionButtonAsksFirstAndCancelChangesNothing) {
  TempFolder folder;
  PutFile(folder / "a.jpg");
  SetDropBox(folder.path());
  desktop_.answer = QMessageBox::Cancel;
  Click("Command2");

  EXPECT_EQ(Tree(folder.path()), (std::map<std::string, std::string>{{"a.jpg", "x"}}));
  ASSERT_EQ(desktop_.boxes.size(), 1u);
  const BoxSeen& box = desktop_.boxes[0];
  EXPECT_EQ(box.title, "请选择");
  EXPECT_EQ(box.text, "确认按扩展名分类？");
  EXPECT_EQ(box.informative, "将移动 1 个文件，新建 1 个文件夹。");
  EXPECT_EQ(box.details, "a.jpg → jpg/a.jpg\n");
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.buttons, QStringList({"取消", "显示详情...", "确定"}));
  EXPECT_EQ(box.default_button, "确定");
  EXPECT_EQ(box.escape_button, "取消");
  EXPECT_FALSE(box.busy_cursor);
}

TEST_F(Form1Test, ExtensionButtonSortsTheFolderInTheBoxAndReports) {
  TempFolder folder;
  PutFile(folder / "a.jpg");
  PutFile(folder / "b.txt");
  SetDropBox(folder.path());
  Click("Command2");

  EXPECT_EQ(Tree(folder.path()),
            (std::map<std::string, std::string>{
                {"jpg", "/"}, {"jpg/a.jpg", "x"}, {"txt", "/"}, {"txt/b.txt", "x"}}));
  ASSERT_EQ(desktop_.boxes.size(), 2u);
  const BoxSeen& box = desktop_.boxes[1];
  EXPECT_EQ(box.title, "Varnelo");
  EXPECT_EQ(box.text, "操作已完成!!");
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.buttons, QStringList({"撤销", "确定"}));
  EXPECT_FALSE(box.busy_cursor);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// A failure of any number but the path's ends the command with a box that
// says why, shown as the completion box is; the next run, on the same file
// system, starts afresh.
TEST(Form1FaultTest, FailureMidCommandEndsWithABoxThatSaysWhy) {
  TempFolder folder;
  PutFile(folder / "a.jpg");
  FaultyFileSystem faulty;
  faulty.FailAt(Operation::kMakeFolder, 1, kPermissionDenied);
  TestDesktop desktop;
  Form1 form(desktop, &faulty);
  SetDropBox(form, folder.path());
  QPushButton& extension_button = Find<QPushButton>(form, "Command2");
  extension_button.click();

  ASSERT_TRUE(faulty.Failed());
  ASSERT_EQ(desktop.boxes.size(), 2u);
  EXPECT_EQ(desktop.boxes[0].title, "请选择");
  EXPECT_EQ(desktop.boxes[0].text, "确认按扩展名分类？");
  const BoxSeen& box = desktop.boxes[1];
  EXPECT_EQ(box.title, "Varnelo");
  EXPECT_EQ(box.text, "操作未完成!!\n没有权限修改其中的文件或文件夹。");
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
  EXPECT_EQ(box.buttons, QStringList({"确定"}));
  EXPECT_EQ(Tree(folder.path()), (std::map<std::string, std::string>{{"a.jpg", "x"}}));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(form.DropBoxText(), folder.path());

  extension_button.click();
  ASSERT_EQ(desktop.boxes.size(), 4u);
  EXPECT_EQ(desktop.boxes[3].text, "操作已完成!!");
  EXPECT_EQ(Tree(folder.path()),
            (std::map<std::string, std::string>{{"jpg", "/"}, {"jpg/a.jpg", "x"}}));
}

TEST_F(Form1Test, ScratchBoxGivesBackAnyPathBytes) {
  for (std::string path : {"/tmp/中文 名", "/tmp/a\xff\xfe b", "/tmp/line\nbreak"}) {
    form_.SetScratchText(path);
    EXPECT_EQ(form_.ScratchText(), path);
  }
}

// Every pixel of the body outside the controls is the key, and only the
// controls are left of the window's shape.
TEST_F(Form1Test, BodyIsKeyColouredAndCutAwayWithoutCompositor) {
  form_.show();
  QImage image = form_.grab().toImage();
  QRegion controls;
  for (QWidget* child : form_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    controls += child->geometry();
  }
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (!controls.contains(QPoint(x, y))) {
        ASSERT_EQ(image.pixelColor(x, y), kKey) << x << "," << y;
      }
    }
  }
  EXPECT_TRUE(form_.mask().subtracted(controls).isEmpty());
  for (const char* name : {"Text1", "Command2", "Command3", "Command4", "Command5", "Command7"}) {
    EXPECT_TRUE(form_.mask().contains(Control(name)->geometry().center())) << name;
  }
}

TEST(Form1CompositedTest, BodyIsTransparentWhereACompositorRuns) {
  TestDesktop desktop;
  desktop.composition = true;
  Form1 form(desktop, FileSystem::Default());
  form.show();
  EXPECT_TRUE(form.testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_TRUE(form.mask().isEmpty());
  QImage image = form.grab().toImage();
  EXPECT_EQ(qAlpha(image.pixel(10, 300)), 0);
  EXPECT_EQ(qAlpha(image.pixel(60, 45)), 255);
}

TEST(OpaqueRegionTest, OnlyExactlyTheKeyIsSeeThrough) {
  const QRgb kColors[] = {qRgb(255, 255, 1), qRgb(255, 255, 0), qRgb(255, 255, 2),
                          qRgb(254, 255, 1), qRgb(255, 254, 1)};
  QImage image(5, 1, QImage::Format_ARGB32);
  for (int x = 0; x < 5; ++x) image.setPixel(x, 0, kColors[x]);
  QRegion opaque = OpaqueRegion(image, kKey);
  EXPECT_FALSE(opaque.contains(QPoint(0, 0)));
  for (int x = 1; x < 5; ++x) EXPECT_TRUE(opaque.contains(QPoint(x, 0))) << x;
}

TEST_F(Form1Test, HelpButtonOpensTheShippedPage) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("file", &catcher, "Open");
  Click("Command10");
  QDesktopServices::unsetUrlHandler("file");

  QString page = HelpPage(QCoreApplication::applicationDirPath());
  ASSERT_FALSE(page.isEmpty());
  EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(page)});
  QString html = QString::fromStdString(ReadFile(page.toStdString()));
  for (QPushButton* button : form_.findChildren<QPushButton*>()) {
    if (button->objectName() != "Command10") {
      EXPECT_TRUE(html.contains(button->text())) << button->objectName().toStdString();
    }
  }
}

TEST(HelpPageTest, FoundBesideTheProgramOrInTheInstalledTree) {
  TempFolder root;
  MakeFolders(root / "bin");
  EXPECT_EQ(HelpPage(QString::fromStdString(root / "bin")), "");
  PutFile(root / "share/varnelo/help/index.html");
  EXPECT_EQ(HelpPage(QString::fromStdString(root / "bin")),
            QString::fromStdString(root / "share/varnelo/help/index.html"));
  PutFile(root / "bin/help/index.html");
  EXPECT_EQ(HelpPage(QString::fromStdString(root / "bin")),
            QString::fromStdString(root / "bin/help/index.html"));
}

}  // namespace
}  // namespace varnelo::testing

#include "form1_test.moc"
