#include "window/qt/drop_box.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "tests/support/temp_folder.h"

namespace varnelo::testing {
namespace {

class DropBoxTest : public ::testing::Test {
 protected:
  // Drops `data` on the box as a file manager would; answers whether the
  // box took it, and as what.
  bool Drop(const QMimeData& data, Qt::DropAction* action = nullptr) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(box_.viewport(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(box_.viewport(), &drop);
    EXPECT_EQ(enter.isAccepted(), drop.isAccepted());
    if (action != nullptr) *action = drop.dropAction();
    return drop.isAccepted();
  }
  bool DropPaths(const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths)
      urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
    data.setUrls(urls);
    return Drop(data);
  }
  std::string Text() const { return box_.Bytes().toStdString(); }

  TempFolder folder_;
  DropBox box_{nullptr, FileSystem::Default()};
};

TEST_F(DropBoxTest, DropOfFilesOrFoldersReplacesTheTextWithTheirPathsRunTogether) {
  MakeFolders(folder_ / "a");
  MakeFolders(folder_ / "b");
  PutFile(folder_ / "f.txt");
  box_.PutPrompt();

  Qt::DropAction action;
  QMimeData one;
  one.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder_ / "a"))});
  EXPECT_TRUE(Drop(one, &action));
  EXPECT_EQ(Text(), folder_ / "a");
  // Never a move: the file manager would take the folder away.
  EXPECT_EQ(action, Qt::CopyAction);

  EXPECT_TRUE(DropPaths({folder_ / "a", folder_ / "b"}));
  EXPECT_EQ(Text(), folder_ / "a" + folder_ / "b");
  EXPECT_TRUE(DropPaths({folder_ / "f.txt"}));
  EXPECT_EQ(Text(), folder_ / "f.txt");
}

TEST_F(DropBoxTest, DragWithoutFileListLeavesTheTextAlone) {
  box_.PutPrompt();
  QMimeData text;
  text.setText("/some/path");
  EXPECT_FALSE(Drop(text));
  QMimeData web;
  web.setUrls({QUrl("https://example.com/a")});
  EXPECT_FALSE(Drop(web));
  EXPECT_EQ(Text(), kPrompt);
}

TEST_F(DropBoxTest, SpacesAtTheEndsGoUnlessTheNameHasThem) {
  EXPECT_TRUE(DropPaths({folder_ / "a b  "}));
  EXPECT_EQ(Text(), folder_ / "a b");
  // Linux allows a name ending in a space; trimmed, it would name another folder.
  MakeFolders(folder_ / "c ");
  MakeFolders(folder_ / "c");
  EXPECT_TRUE(DropPaths({folder_ / "c "}));
  EXPECT_EQ(Text(), folder_ / "c ");
}

TEST_F(DropBoxTest, KeepsPathBytesThatAreNoTextUntilEdited) {
  QMimeData data;
  data.setData("text/uri-list", "file:///tmp/a%FF%20b%25\r\n");
  EXPECT_TRUE(Drop(data));
  EXPECT_EQ(Text(), "/tmp/a\xff b%");

  box_.setPlainText("/typed/path");
  EXPECT_EQ(Text(), "/typed/path");
}

}  // namespace
}  // namespace varnelo::testing
