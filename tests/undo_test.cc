// What an undo does where the folder has changed since the run.

#include <gtest/gtest.h>

#include <filesystem>

#include "commands/commands.h"
#include "filesystem/names.h"
#include "filesystem/run_record.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"

namespace varnelo::testing {
namespace {

using Files = std::map<std::string, std::string>;

class UndoAfterChangesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PutFile(folder_ / "a.jpg", "a");
    PutFile(folder_ / "b.txt", "b");
    PutFile(folder_ / "c.txt", "c");
    ScriptedHost host(folder_.path());
    RunCommand(kSortByExtension, host, FileSystem::Default(), &history_);
    ASSERT_EQ(host.boxes.back(), "|操作已完成!!");
  }
  std::string Undo() {
    ScriptedHost host(folder_.path());
    UndoLatest(history_, host, FileSystem::Default());
    return host.boxes.back();
  }

  TempFolder folder_;
  History history_;
};

TEST_F(UndoAfterChangesTest, PutsEveryFileBackAndRemovesTheFoldersItMade) {
  EXPECT_EQ(Undo(), "|撤销已完成!!");
  EXPECT_EQ(Tree(folder_.path()), (Files{{"a.jpg", "a"}, {"b.txt", "b"}, {"c.txt", "c"}}));
  EXPECT_EQ(Undo(), "|没有可以撤销的操作。");
}

TEST_F(UndoAfterChangesTest, AFileMovedOrChangedSinceStaysAndIsCountedAndNothingIsReplaced) {
  PutFile(folder_ / "txt/b.txt", "changed");  // same size, another time
  SetModificationTime(folder_ / "txt/b.txt", 1000000000);
  std::filesystem::rename(PathOf(folder_ / "jpg/a.jpg"), PathOf(folder_ / "a moved.jpg"));
  PutFile(folder_ / "c.txt", "new c");  // takes the old name of c.txt
  EXPECT_EQ(Undo(), "|撤销已完成，有 2 个文件已被移动或修改，留在原处。");
  EXPECT_EQ(Tree(folder_.path()), (Files{{"a moved.jpg", "a"},
                                         {"c.txt", "new c"},
                                         {"c (2).txt", "c"},
                                         {"txt", "/"},
                                         {"txt/b.txt", "changed"}}));
}

TEST_F(UndoAfterChangesTest, AFolderItMadeThatHoldsANewFileStays) {
  PutFile(folder_ / "jpg/new.jpg", "new");
  EXPECT_EQ(Undo(), "|撤销已完成!!");
  EXPECT_EQ(
      Tree(folder_.path()),
      (Files{
          {"a.jpg", "a"}, {"b.txt", "b"}, {"c.txt", "c"}, {"jpg", "/"}, {"jpg/new.jpg", "new"}}));
}

TEST(HistoryTest, UndoesTheLatestRunThatChangedAnythingThenTheOneBefore) {
  TempFolder folder;
  PutFile(folder / "a.jpg", "a");
  PutFile(folder / "sub/b.txt", "b");
  History history;
  ScriptedHost host(folder.path());
  RunCommand(kFlattenToRoot, host, FileSystem::Default(), &history);
  RunCommand(kSortByExtension, host, FileSystem::Default(), &history);
  RunCommand(kSortByExtension, host, FileSystem::Default(), &history);  // nothing left to move
  EXPECT_EQ(Tree(folder.path()),
            (Files{{"jpg", "/"}, {"jpg/a.jpg", "a"}, {"txt", "/"}, {"txt/b.txt", "b"}}));
  UndoLatest(history, host, FileSystem::Default());
  EXPECT_EQ(Tree(folder.path()), (Files{{"a.jpg", "a"}, {"b.txt", "b"}}));
  UndoLatest(history, host, FileSystem::Default());
  EXPECT_EQ(Tree(folder.path()), (Files{{"a.jpg", "a"}, {"sub", "/"}, {"sub/b.txt", "b"}}));
}

// The record tells a file by what the run last looked at, and never by a
// look older than a change to that name: the file there may be another.
// A record keeps each folder once and a name a change: every path comes
// back as it was given, at a volume's root too.
TEST(RunRecordTest, TellsEveryPathAsItWasGiven) {
#ifdef _WIN32
  const std::string root = "C:\\", folder = "C:\\d\\jpg";
#else
  const std::string root = "/", folder = "/d/jpg";
#endif
  const std::string placed = folder + kPathSeparator + "a.jpg", old = root + "a.jpg";
  RunRecord record;
  record.Add(Change::Kind::kFolderMade, folder);
  const Change& change = record.Add(Change::Kind::kFilePlaced, placed, old);
  EXPECT_EQ(record.PathOf(record.changes[0]), folder);
  EXPECT_EQ(record.PathOf(change), placed);
  EXPECT_EQ(record.OldPathOf(change), old);
  EXPECT_EQ(record.OldFolderOf(change), root);
}

TEST(RecordingFileSystemTest, TellsAFileByTheLastLookOnlyUntilItsNameChanges) {
  TempFolder folder;
  PutFile(folder / "a.txt", "a");
  PutFile(folder / "b.txt", "longer b");
  RunRecord record;
  RecordingFileSystem recording(FileSystem::Default(), record);
  ASSERT_TRUE(recording.Inspect(folder / "a.txt"));
  recording.ReplaceFile(folder / "b.txt", folder / "a.txt");  // another file under the name
  ASSERT_EQ(recording.Rename(folder / "a.txt", folder / "c.txt"), Outcome::kDone);
  ASSERT_TRUE(recording.Inspect(folder / "c.txt"));
  ASSERT_EQ(recording.Rename(folder / "c.txt", folder / "d.txt"), Outcome::kDone);
  const std::optional<EntryInfo> moved = FileSystem::Default()->Inspect(folder / "d.txt");
  ASSERT_TRUE(moved);
  ASSERT_EQ(record.changes.size(), 3u);
  EXPECT_TRUE(record.changes[1].identity.Matches(*moved));
  EXPECT_TRUE(record.changes[2].identity.Matches(*moved));
}

}  // namespace
}  // namespace varnelo::testing
