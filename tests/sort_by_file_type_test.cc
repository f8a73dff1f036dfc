#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

using testing::FaultyFileSystem;
using testing::Operation;
using testing::PutFile;
using testing::TempFolder;
using Boxes = std::vector<std::string>;
using Tree = std::map<std::string, std::string>;

const Boxes kCompleted = {"请选择|确认按文件类型分类？", "|操作已完成!!"};
// The box of a run that stops, with the lines after its first.
Boxes Stopped(const std::string& lines) { return {kCompleted[0], "|操作未完成!!\n" + lines}; }

class SortByFileTypeTest : public ::testing::Test {
 protected:
  Boxes Run(FileSystem* fs = FileSystem::Default()) { return RunOn(folder_, fs); }
  static Boxes RunOn(const std::string& folder, FileSystem* fs = FileSystem::Default()) {
    return testing::RunScripted(kSortByFileType, folder, fs);
  }
  Tree Contents() { return testing::Tree(folder_); }

  TempFolder root_;
  // The "." in the folder's own name must give no extension to a name without one.
  std::string folder_ = root_ / "my.files";
};

TEST_F(SortByFileTypeTest, SortsByTheTableAsWrittenAndInOneLetterCaseOnly) {
#ifdef _WIN32
  GTEST_SKIP() << "photo.JPG, photo.jpg and photo.Jpg cannot stand side by side on Windows";
#endif
  for (const char* name :
       {"photo.JPG", "photo.jpg", "photo.Jpg", "image.tif", "song.wma", "song.acc", "song.aac",
        "book.epud", "book.epub", "archive.tar.gz", "setup.EXE", "README"}) {
    PutFile(folder_ + "/" + name, name);
  }
  EXPECT_EQ(Run(), kCompleted);
  EXPECT_EQ(Contents(),
            (Tree{{"图片", "/"},
                  {"图片/photo.JPG", "photo.JPG"},
                  {"图片/photo (2).jpg", "photo.jpg"},  // names are taken in any letter case
                  {"图片/image.tif", "image.tif"},
                  {"photo.Jpg", "photo.Jpg"},
                  {"视频", "/"},
                  {"视频/song.wma", "song.wma"},
                  {"音频", "/"},
                  {"音频/song.acc", "song.acc"},
                  {"song.aac", "song.aac"},
                  {"文档", "/"},
                  {"文档/book.epud", "book.epud"},
                  {"book.epub", "book.epub"},
                  {"archive.tar.gz", "archive.tar.gz"},
                  {"软件", "/"},
                  {"软件/setup.EXE", "setup.EXE"},
                  {"README", "README"}}));
}

TEST_F(SortByFileTypeTest, MakesOnlyTheFoldersNeededAndASecondRunMovesNothing) {
  PutFile(folder_ + "/a.png", "a");
  PutFile(folder_ + "/b.gif", "b");
  PutFile(folder_ + "/notes.md", "n");
  PutFile(folder_ + "/sub/c.jpg", "c");
  const Tree sorted = {{"图片", "/"},     {"图片/a.png", "a"}, {"图片/b.gif", "b"},
                       {"notes.md", "n"}, {"sub", "/"},        {"sub/c.jpg", "c"}};

  EXPECT_EQ(Run(), kCompleted);
  EXPECT_EQ(Contents(), sorted);
  EXPECT_EQ(Run(), kCompleted);
  EXPECT_EQ(Contents(), sorted);
}

TEST_F(SortByFileTypeTest, ReusesFoldersWhateverTheyHoldAndNeitherReplacesNorMovesHiddenFiles) {
  testing::MakeFolders(folder_ + "/图片");
  PutFile(folder_ + "/视频/.keep", "keep");
  PutFile(folder_ + "/音频/song.mp3", "old");
  PutFile(folder_ + "/.hidden.jpg", "hidden");
  PutFile(folder_ + "/a.jpg", "a");
  PutFile(folder_ + "/b.mp4", "b");
  PutFile(folder_ + "/song.mp3", "new");

  EXPECT_EQ(Run(), kCompleted);
  EXPECT_EQ(Contents(), (Tree{{"图片", "/"},
                              {"图片/a.jpg", "a"},
                              {"视频", "/"},
                              {"视频/.keep", "keep"},
                              {"视频/b.mp4", "b"},
                              {"音频", "/"},
                              {"音频/song.mp3", "old"},
                              {"音频/song (2).mp3", "new"},
                              {".hidden.jpg", "hidden"}}));
}

TEST_F(SortByFileTypeTest, AFailedMoveStopsThereAndTellsWhy) {
  PutFile(folder_ + "/a.jpg", "a");
  PutFile(folder_ + "/b.png", "b");
  PutFile(folder_ + "/c.gif", "c");
  FaultyFileSystem faulty;
  faulty.FailAt(Operation::kRename, 2, kPermissionDenied);

  EXPECT_EQ(Run(&faulty), Stopped("没有权限修改其中的文件或文件夹。\n已移动 1 个文件。"));
  EXPECT_EQ(Contents(), (Tree{{"图片", "/"}, {"图片/a.jpg", "a"}, {"b.png", "b"}, {"c.gif", "c"}}));
}

TEST_F(SortByFileTypeTest, AMissingFolderOnlyAsksToCheckThePath) {
  EXPECT_EQ(RunOn(root_ / "missing"), (Boxes{kCompleted[0], "|请确认路径是否正确!!"}));
  EXPECT_FALSE(testing::Exists(root_ / "missing"));
}

// Lists `extra` files more in one folder than it holds, none of a listed
// type, so a count limit is reached without making that many files.
class CrowdedFileSystem : public FileSystemWrapper {
 public:
  CrowdedFileSystem(std::string folder, int extra)
      : FileSystemWrapper(FileSystem::Default()), folder_(std::move(folder)), extra_(extra) {}

  std::vector<Entry> ReadFolder(const std::string& folder) override {
    std::vector<Entry> entries = FileSystemWrapper::ReadFolder(folder);
    if (folder != folder_) return entries;
    for (int i = 0; i < extra_; ++i) entries.push_back({"f" + std::to_string(i), EntryKind::kFile});
    return entries;
  }

 private:
  std::string folder_;
  int extra_;
};

// The count must leave room for ten more in 16 bits: 32757 files at most.
TEST_F(SortByFileTypeTest, SortsAt32757FilesAndRefusesOneMore) {
  PutFile(folder_ + "/z.jpg", "z");
  CrowdedFileSystem one_too_many(folder_, 32757);
  EXPECT_EQ(Run(&one_too_many), Stopped("文件太多：最多 32757 个文件。"));
  EXPECT_EQ(Contents(), (Tree{{"z.jpg", "z"}})) << "nothing changed";

  CrowdedFileSystem full(folder_, 32756);
  EXPECT_EQ(Run(&full), kCompleted);
  EXPECT_EQ(Contents(), (Tree{{"图片", "/"}, {"图片/z.jpg", "z"}}));
}

}  // namespace
}  // namespace varnelo
