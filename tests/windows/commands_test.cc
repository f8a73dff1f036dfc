// The five commands through the frame on the Windows build, with Windows
// paths as a drop from the file manager gives them.
#include <gtest/gtest.h>

#include <set>

#include "commands/commands.h"
#include "commands/frame.h"
#include "filesystem/names.h"
#include "filesystem/win32.h"
#include "tests/support/plain_pictures.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

using testing::PutFile;
using testing::TempFolder;
using Boxes = std::vector<std::string>;
using Tree = std::map<std::string, std::string>;

const std::string kDone = "|操作已完成!!";

void MarkHidden(const std::string& path) {
  ASSERT_TRUE(SetFileAttributesW(WideFromUtf8(path).c_str(), FILE_ATTRIBUTE_HIDDEN));
}

class WindowsCommandsTest : public ::testing::Test {
 protected:
  Boxes Run(const Command& command, const std::string& text) {
    Boxes boxes = testing::RunScripted(command, text);
    if (!boxes.empty()) boxes.erase(boxes.begin());  // the confirmation
    return boxes;
  }
  Tree Contents() { return testing::Tree(root_.path()); }

  TempFolder root_;
};

TEST_F(WindowsCommandsTest, ExtensionSortLeavesFilesTheVolumeMarksHidden) {
  PutFile(root_ / "a.jpg", "a");
  PutFile(root_ / "B.JPG", "b");
  PutFile(root_ / "marked.txt", "m");
  MarkHidden(root_ / "marked.txt");
  EXPECT_EQ(Run(kSortByExtension, root_.path()), Boxes{kDone});
  EXPECT_EQ(Contents(), (Tree{{"jpg", "/"},
                              {"jpg/B.JPG", "b"},  // the folder is found in any letter case
                              {"jpg/a.jpg", "a"},
                              {"marked.txt", "m"}}));
}

// The preview lists each move as the user sees paths on Windows, from the
// dropped folder down.
TEST_F(WindowsCommandsTest, ThePreviewTellsTheMovesBelowTheFolder) {
  PutFile(root_ / "a.jpg", "a");
  testing::ScriptedHost host(root_.path(), true);
  std::optional<RunRecord> record = Simulate(kSortByExtension, host, FileSystem::Default());
  ASSERT_TRUE(record);
  EXPECT_EQ(PreviewOf(kSortByExtension, *record).details, "a.jpg → jpg\\a.jpg\n");
  EXPECT_EQ(Contents(), (Tree{{"a.jpg", "a"}}));
}

TEST_F(WindowsCommandsTest, FlattenBringsEverythingUpUnderFreeNamesAndSaysWhereItWorked) {
  PutFile(root_ / "a\\c.jpg", "first");
  PutFile(root_ / "b\\C.JPG", "second");
  PutFile(root_ / "b\\深\\d.txt", "d");
  struct ListWatcher : FileSystemWrapper {
    using FileSystemWrapper::FileSystemWrapper;
    Outcome WriteFile(const std::string& path, std::string_view data) override {
      written.emplace_back(data);
      return FileSystemWrapper::WriteFile(path, data);
    }
    std::vector<std::string> written;
  } watcher(FileSystem::Default());
  Boxes boxes = testing::RunScripted(kFlattenToRoot, root_.path(), &watcher);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1], kDone);
  // The list file holds the folder as the drop box gave it, ended by CR LF.
  EXPECT_EQ(watcher.written, std::vector<std::string>{root_.path() + "\r\n"});
  Tree tree = Contents();
  ASSERT_EQ(tree.size(), 3u) << ::testing::PrintToString(tree);
  EXPECT_EQ(tree["d.txt"], "d");
  std::set<std::string> pictures;
  for (const auto& [name, content] : tree) {
    if (name != "d.txt") pictures.insert(FoldCase(name) + "=" + content);
  }
  // Either one of the two arrives first; the other takes the next free name.
  EXPECT_TRUE(pictures == (std::set<std::string>{"c.jpg=first", "c (2).jpg=second"}) ||
              pictures == (std::set<std::string>{"c.jpg=second", "c (2).jpg=first"}))
      << ::testing::PrintToString(pictures);
}

TEST_F(WindowsCommandsTest, TypeSortMakesTheChineseFolders) {
  PutFile(root_ / "a.jpg", "a");
  PutFile(root_ / "b.mp3", "b");
  PutFile(root_ / "c.docx", "c");
  PutFile(root_ / "d.xyz", "d");
  EXPECT_EQ(Run(kSortByFileType, root_.path()), Boxes{kDone});
  EXPECT_EQ(Contents(), (Tree{{"图片", "/"},
                              {"图片/a.jpg", "a"},
                              {"音频", "/"},
                              {"音频/b.mp3", "b"},
                              {"文档", "/"},
                              {"文档/c.docx", "c"},
                              {"d.xyz", "d"}}));
}

TEST_F(WindowsCommandsTest, YearSortKeepsTheTimes) {
  PutFile(root_ / "old.txt", "o");
  PutFile(root_ / "new.txt", "n");
  testing::SetModificationTime(root_ / "old.txt", 1434326400);  // mid-June 2015
  testing::SetModificationTime(root_ / "new.txt", 1718409600);  // mid-June 2024
  EXPECT_EQ(Run(kSortByYear, root_.path()), Boxes{kDone});
  EXPECT_EQ(
      Contents(),
      (Tree{{"2015年", "/"}, {"2015年/old.txt", "o"}, {"2024年", "/"}, {"2024年/new.txt", "n"}}));
  EXPECT_EQ(testing::ModificationTime(root_ / "2015年\\old.txt"), 1434326400);
}

TEST_F(WindowsCommandsTest, YearSortTellsYearsBefore1970WhichWindowsCLibraryDoesNot) {
  PutFile(root_ / "1950.txt", "a");
  PutFile(root_ / "2030.txt", "b");
  testing::SetModificationTime(root_ / "1950.txt", -615427200);  // early July 1950
  testing::SetModificationTime(root_ / "2030.txt", 1900000000);  // March 2030
  EXPECT_EQ(Run(kSortByYear, root_.path()), Boxes{kDone});
  EXPECT_EQ(
      Contents(),
      (Tree{{"1950年", "/"}, {"1950年/1950.txt", "a"}, {"2030年", "/"}, {"2030年/2030.txt", "b"}}));
}

TEST_F(WindowsCommandsTest, ResolutionSortMeasuresEveryKindThroughTheSystemsDecoders) {
  const std::string small[] = {"a.jpg", "b.png", "c.bmp", "d.gif", "e.ico", "f.JPEG"};
  for (const std::string& name : small)
    PutFile(root_ / name, testing::PlainPictureFor(name, 16, 16));
  PutFile(root_ / "wide.jpg", testing::PlainJpeg(1276, 716));  // 1280 x 720 with the frame
  EXPECT_EQ(Run(kSortByResolution, root_.path()), Boxes{kDone});
  Tree tree = Contents();
  for (const std::string& name : small)
    EXPECT_TRUE(tree.contains("320p图片及以下/" + name)) << name;
  EXPECT_TRUE(tree.contains("720p图片/wide.jpg"));
  EXPECT_EQ(tree.size(), 2 + std::size(small) + 1);
}

TEST_F(WindowsCommandsTest, APictureThatCannotBeReadStopsTheResolutionSortAndIsNamed) {
  PutFile(root_ / "broken.png", "\x89PNG\r\n\x1a\n but nothing more");
  Boxes boxes = Run(kSortByResolution, root_.path());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].starts_with("|操作未完成!!\n")) << boxes[0];
  EXPECT_NE(boxes[0].find("broken.png"), std::string::npos) << boxes[0];
  EXPECT_EQ(Contents(), (Tree{{"broken.png", "\x89PNG\r\n\x1a\n but nothing more"}}));
}

TEST_F(WindowsCommandsTest, AFolderThatIsNotThereOrAFileIsNoFolder) {
  PutFile(root_ / "file.txt", "f");
  const std::string kPath = "|请确认路径是否正确!!";
  EXPECT_EQ(Run(kSortByExtension, root_ / "missing"), Boxes{kPath});
  EXPECT_EQ(Run(kSortByYear, root_ / "file.txt"), Boxes{kPath});
  EXPECT_EQ(Run(kSortByFileType, "Q:\\no\\such\\drive"), Boxes{kPath});
  EXPECT_EQ(Contents(), (Tree{{"file.txt", "f"}}));
}

}  // namespace
}  // namespace varnelo
