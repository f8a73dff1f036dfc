// What an undo does where the folder has changed since the run, and the
// looks taken ahead that the record and the undo rely on, and the reads
// taken ahead that a preview relies on.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "commands/commands.h"
#include "filesystem/failure.h"
#include "filesystem/names.h"
#include "filesystem/run_record.h"
#include "filesystem/undo.h"
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

TEST(UndoTest, ARunOfManyFilesIsUndoneWhole) {
  TempFolder folder;
  Files files;
  for (int i = 0; i < 700; ++i) {
    const std::string name = "f" + std::to_string(i) + (i % 2 ? ".txt" : ".jpg");
    PutFile(folder / name, name);
    files[name] = name;
  }
  History history;
  ScriptedHost host(folder.path());
  RunCommand(kSortByExtension, host, FileSystem::Default(), &history);
  UndoLatest(history, host, FileSystem::Default());
  EXPECT_EQ(host.boxes.back(), "|撤销已完成!!");
  EXPECT_EQ(Tree(folder.path()), files);
}

// Every look taken as it is added: as far ahead of its asking as a look can
// be, so that whatever has changed since is seen only by looking again.
// Where told, a user drops a file just after the first rename.
class LooksAtOnce : public FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  std::unique_ptr<Looks> MakeLooks() override { return std::make_unique<Taken>(this); }
  Outcome Rename(const std::string& from, const std::string& to) override {
    Outcome outcome = FileSystemWrapper::Rename(from, to);
    if (!dropped.empty()) PutFile(std::exchange(dropped, {}), "dropped");
    return outcome;
  }
  std::string dropped;

 private:
  class Taken : public Looks {
   public:
    explicit Taken(FileSystem* fs) : fs_(fs) {}
    void Add(std::string path) override { seen_.push_back(fs_->Inspect(path)); }
    std::optional<EntryInfo> At(size_t place) override { return seen_[place]; }
    bool Ahead() const override { return true; }

   private:
    FileSystem* fs_;
    std::vector<std::optional<EntryInfo>> seen_;
  };
};

TEST(UndoTest, AFileMovedOnAndBackByTheRunReturnsThroughEveryMoveWhereTheLooksAreOld) {
  TempFolder folder;
  PutFile(folder / "a.txt", "a");
  MakeFolders(folder / "p");
  MakeFolders(folder / "q");
  RunRecord record;
  record.folder = folder.path();
  {
    RecordingFileSystem recording(FileSystem::Default(), record);
    ASSERT_EQ(recording.Rename(folder / "a.txt", folder / "p/a.txt"), Outcome::kDone);
    ASSERT_EQ(recording.Rename(folder / "p/a.txt", folder / "q/a.txt"), Outcome::kDone);
    ASSERT_EQ(recording.Rename(folder / "q/a.txt", folder / "p/a.txt"), Outcome::kDone);
  }
  LooksAtOnce old_looks(FileSystem::Default());
  EXPECT_EQ(Undo(record, &old_looks, nullptr), 0);
  EXPECT_EQ(Tree(folder.path()), (Files{{"a.txt", "a"}, {"p", "/"}, {"q", "/"}}));

  // Again, with a file dropped where the first step of the undo took it
  // from: it is not the file, whatever the look before told of that name.
  record.undone = false;
  for (Change& change : record.changes) change.settled = false;
  ASSERT_EQ(FileSystem::Default()->Rename(folder / "a.txt", folder / "p/a.txt"), Outcome::kDone);
  old_looks.dropped = folder / "p/a.txt";
  EXPECT_EQ(Undo(record, &old_looks, nullptr), 1);
  EXPECT_EQ(Tree(folder.path()),
            (Files{{"p", "/"}, {"p/a.txt", "dropped"}, {"p/a (2).txt", "a"}, {"q", "/"}}));
}

TEST(LooksTest, AnswerAsInspectInAnyOrderAndFailWhereAskedFor) {
  TempFolder folder;
  PutFile(folder / "a.txt", "a");
  MakeFolders(folder / "d");
  FileSystem* fs = FileSystem::Default();
  std::vector<std::string> paths;
  for (int i = 0; i < 60; ++i) {  // enough for the thread to take some, and to jump
    paths.insert(paths.end(), {folder / "a.txt", folder / "d", folder / "none",
                               folder / "a.txt/none", folder.path()});
  }
  std::unique_ptr<FileSystem::Looks> looks = fs->MakeLooks();
  {
    // Added while the folder is held, asked for once it is let go.
    std::unique_ptr<FileSystem::Anchor> held = fs->WorkBelow(folder.path());
    for (const std::string& path : paths) looks->Add(path);
  }
  // Every other one in order, as a run asks, then the rest backwards.
  std::vector<size_t> order;
  for (size_t place = 0; place < paths.size(); place += 2) order.push_back(place);
  for (size_t place = paths.size() - paths.size() % 2; place > 1; place -= 2) {
    order.push_back(place - 1);
  }
  ASSERT_EQ(order.size(), paths.size());
  for (size_t place : order) {
    std::optional<EntryInfo> seen = looks->At(place), now = fs->Inspect(paths[place]);
    ASSERT_EQ(seen.has_value(), now.has_value()) << paths[place];
    if (!seen) continue;
    EXPECT_EQ(seen->kind, now->kind) << paths[place];
    EXPECT_EQ(seen->inode, now->inode) << paths[place];
  }
#ifndef _WIN32
  looks->Add(folder / std::string(300, 'n'));  // longer than a name may be
  EXPECT_THROW(looks->At(paths.size()), Failure);
#endif
  for (int i = 0; i < 200; ++i) looks->Add(paths[0]);  // never asked for: let go unasked
}

// Asked for in the order added but for those skipped, with many more added
// than the thread may read ahead of the caller: none is lost to the bound.
TEST(ReadsTest, AnswerAsReadFileInOrderAndFailWhereAskedFor) {
  TempFolder folder;
  PutFile(folder / "short.txt", "abc");
  PutFile(folder / "long.txt", std::string(5000, 'x'));
  MakeFolders(folder / "d");
  FileSystem* fs = FileSystem::Default();
  std::vector<std::string> paths;
  for (int i = 0; i < 500; ++i) {
    paths.insert(paths.end(),
                 {folder / "short.txt", folder / "long.txt", folder / "d", folder / "none"});
  }
  std::unique_ptr<FileSystem::Reads> reads = fs->MakeReads(100);
  {
    // Added while the folder is held, asked for once it is let go.
    std::unique_ptr<FileSystem::Anchor> held = fs->WorkBelow(folder.path());
    for (const std::string& path : paths) reads->Add(path);
  }
  for (size_t place = 0; place < paths.size(); place += 1 + place % 3) {
    const std::string& path = paths[place];
    if (path.ends_with("short.txt") || path.ends_with("long.txt")) {
      FileStart read = reads->At(place, path), now = fs->ReadFile(path, 100);
      EXPECT_EQ(read.bytes, now.bytes) << place;
      EXPECT_EQ(read.info.inode, now.info.inode) << place;
    } else {
      EXPECT_THROW(reads->At(place, path), Failure) << place;
    }
  }
  reads->Add(folder / "short.txt");  // never asked for: let go unasked
}

}  // namespace
}  // namespace varnelo::testing
