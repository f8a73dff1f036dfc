// The line and the list that a confirmation shows, and the overlay they are
// simulated on.

#include <gtest/gtest.h>

#include <algorithm>

#include "commands/commands.h"
#include "filesystem/failure.h"
#include "filesystem/names.h"
#include "filesystem/overlay_file_system.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"

namespace varnelo::testing {
namespace {

#ifdef _WIN32
const std::string kFolder = "D:\\d";
#else
const std::string kFolder = "/d";
#endif

// The path below the run's folder.
std::string In(const std::string& relative) {
  return kFolder + kPathSeparator + NativePath(relative);
}

RunRecord Record(int files, int made, int removed) {
  RunRecord record;
  record.folder = kFolder;
  for (int i = 0; i < made; ++i) record.Add(Change::Kind::kFolderMade, In("m" + std::to_string(i)));
  for (int i = 0; i < files; ++i) {
    std::string name = "f" + std::to_string(i);
    record.Add(Change::Kind::kFilePlaced, In("sub/" + name), In(name));
  }
  for (int i = 0; i < removed; ++i) {
    record.Add(Change::Kind::kFolderRemoved, In("r" + std::to_string(i)));
  }
  // Written and removed again.
  record.Add(Change::Kind::kFileWritten, In("579978.txt")).settled = true;
  return record;
}

TEST(PreviewTest, TellsTheMovesAndTheFoldersAndFlattenTellsTheFoldersItRemoves) {
  Preview sort = PreviewOf(kSortByExtension, Record(2, 1, 0));
  EXPECT_EQ(sort.summary, "将移动 2 个文件，新建 1 个文件夹。");
  EXPECT_EQ(sort.details, NativePath("f0 → sub/f0\nf1 → sub/f1\n"));
  EXPECT_EQ(PreviewOf(kFlattenToRoot, Record(3, 0, 2)).summary,
            "将移动 3 个文件到根目录，删除 2 个子文件夹。");
  EXPECT_EQ(PreviewOf(kSortByYear, Record(0, 0, 0)).summary, "没有需要移动的文件。");
  EXPECT_EQ(PreviewOf(kSortByYear, Record(0, 0, 0)).details, "");
}

TEST(PreviewTest, ListsAtMost5000Moves) {
  Preview preview = PreviewOf(kSortByFileType, Record(5002, 0, 0));
  EXPECT_EQ(preview.summary, "将移动 5002 个文件，新建 0 个文件夹。");
  EXPECT_EQ(std::count(preview.details.begin(), preview.details.end(), '\n'), 5001);
  EXPECT_TRUE(preview.details.ends_with(NativePath("f4999 → sub/f4999\n……\n")));
}

TEST(PreviewTest, ASimulationThatKeepsOnlyTheFirstMovesCountsTheRestAlike) {
  TempFolder folder;
  for (const char* name : {"a.txt", "b.jpg", "c.txt", "d.png", "e.txt"}) PutFile(folder / name);
  ScriptedHost host(folder.path());
  std::optional<RunRecord> whole = Simulate(kSortByExtension, host, FileSystem::Default());
  std::optional<RunRecord> cut = Simulate(kSortByExtension, host, FileSystem::Default(), 2);
  ASSERT_TRUE(whole && cut);
  EXPECT_EQ(cut->placed_untold, 3);
  ASSERT_EQ(cut->changes.size() + 3, whole->changes.size());
  for (size_t i = 0; i < cut->changes.size(); ++i) {
    EXPECT_EQ(cut->PathOf(cut->changes[i]), whole->PathOf(whole->changes[i]));
    EXPECT_EQ(cut->OldPathOf(cut->changes[i]), whole->OldPathOf(whole->changes[i]));
  }
  EXPECT_EQ(PreviewOf(kSortByExtension, *cut).summary, PreviewOf(kSortByExtension, *whole).summary);
}

TEST(OverlayFileSystemTest, AnswersAsTheDiskWouldAndKeepsEveryChangeToItself) {
  TempFolder folder;
  PutFile(folder / "a.txt", "a");
  PutFile(folder / "sub/b.txt", "b");
  const auto before = Tree(folder.path());
  OverlayFileSystem overlay(FileSystem::Default());
  overlay.MakeFolder(folder / "new");
  EXPECT_EQ(overlay.Rename(folder / "a.txt", folder / "new/a.txt"), Outcome::kDone);
  EXPECT_EQ(overlay.Rename(folder / "sub/b.txt", folder / "new/a.txt"), Outcome::kNameTaken);
  EXPECT_EQ(overlay.ReadFile(folder / "new/a.txt", 10).bytes, "a");
  EXPECT_FALSE(overlay.Inspect(folder / "a.txt"));
  EXPECT_THROW(overlay.RemoveFolder(folder / "sub"), Failure);  // not empty
  overlay.DeleteFile(folder / "sub/b.txt");
  overlay.RemoveFolder(folder / "sub");
  EXPECT_FALSE(overlay.Inspect(folder / "sub/b.txt"));
  EXPECT_EQ(overlay.WriteFile(folder / "list.txt", "line"), Outcome::kDone);
  EXPECT_EQ(overlay.ReadFile(folder / "list.txt", 2).bytes, "li");
  std::vector<std::string> names;
  for (const Entry& entry : overlay.ReadFolder(folder.path())) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"list.txt", "new"}));
  EXPECT_EQ(Tree(folder.path()), before);
}

// Once a folder is listed, its entries are answered from the listing and the
// changes made since, never from the disk, which stays as it was.
TEST(OverlayFileSystemTest, AListedFolderAnswersItsEntriesAsTheyStandAfterTheChanges) {
  TempFolder folder;
  PutFile(folder / "a.txt", "a");
  PutFile(folder / "b.txt", "b");
  PutFile(folder / "sub/c.txt", "c");
  const auto before = Tree(folder.path());
  OverlayFileSystem overlay(FileSystem::Default());
  EXPECT_EQ(overlay.ReadFolder(folder.path()).size(), 3u);
  EXPECT_EQ(overlay.ReadFolder(folder / "sub").size(), 1u);
  EXPECT_EQ(overlay.Rename(folder / "a.txt", folder / "b.txt"), Outcome::kNameTaken);
  EXPECT_EQ(overlay.Rename(folder / "a.txt", folder / "sub/a.txt"), Outcome::kDone);
  EXPECT_EQ(overlay.Rename(folder / "sub/a.txt", folder / "a.txt"), Outcome::kDone);
  EXPECT_EQ(overlay.Rename(folder / "b.txt", folder / "sub/b.txt"), Outcome::kDone);
  EXPECT_EQ(overlay.ReadFile(folder / "a.txt", 10).bytes, "a");
  EXPECT_EQ(overlay.ReadFile(folder / "sub/b.txt", 10).bytes, "b");
  EXPECT_FALSE(overlay.Inspect(folder / "b.txt"));
  EXPECT_THROW(overlay.DeleteFile(folder / "b.txt"), Failure);
  EXPECT_THROW(overlay.MakeFolder(folder / "sub"), Failure);  // taken by a listed folder
  EXPECT_EQ(overlay.Rename(folder / "sub/c.txt", folder / "c.txt"), Outcome::kDone);
  overlay.DeleteFile(folder / "sub/b.txt");
  overlay.RemoveFolder(folder / "sub");
  EXPECT_EQ(overlay.ReadFile(folder / "c.txt", 10).bytes, "c");  // read where it lies on the disk
  std::vector<std::string> names;
  for (const Entry& entry : overlay.ReadFolder(folder.path())) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "c.txt"}));
  EXPECT_EQ(Tree(folder.path()), before);
}

// A folder the simulation made holds what was moved in and not out again,
// whatever the order, and a name moved out and back in counts once.
// The disk's reads stand only for files the simulation has not changed
// between the read's Add and its asking.
TEST(OverlayFileSystemTest, ReadsTakenAheadAnswerAsTheSimulationHasTheFilesWhenAskedFor) {
  TempFolder folder;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) PutFile(folder / name, name);
  OverlayFileSystem overlay(FileSystem::Default());
  EXPECT_EQ(overlay.ReadFolder(folder.path()).size(), 3u);
  EXPECT_EQ(overlay.WriteFile(folder / "new.txt", "written"), Outcome::kDone);
  std::unique_ptr<FileSystem::Reads> reads = overlay.MakeReads(100);
  for (const char* name : {"a.txt", "b.txt", "c.txt", "new.txt", "none.txt"}) {
    reads->Add(folder / name);
  }
  EXPECT_EQ(overlay.Rename(folder / "a.txt", folder / "moved.txt"), Outcome::kDone);
  EXPECT_EQ(overlay.Rename(folder / "c.txt", folder / "b.txt"), Outcome::kNameTaken);
  overlay.DeleteFile(folder / "b.txt");
  EXPECT_EQ(overlay.Rename(folder / "c.txt", folder / "b.txt"), Outcome::kDone);
  EXPECT_THROW(reads->At(0, folder / "a.txt"), Failure);         // moved away meanwhile
  EXPECT_EQ(reads->At(1, folder / "b.txt").bytes, "c.txt");      // another file took its name
  EXPECT_THROW(reads->At(2, folder / "c.txt"), Failure);         // moved away meanwhile
  EXPECT_EQ(reads->At(3, folder / "new.txt").bytes, "written");  // never on the disk
  EXPECT_THROW(reads->At(4, folder / "none.txt"), Failure);
}

TEST(OverlayFileSystemTest, AMadeFolderHoldsWhatWasMovedInAndNotOutAgain) {
  TempFolder folder;
  constexpr int kFiles = 600;
  for (int i = 0; i < kFiles; ++i) PutFile(folder / ("f" + std::to_string(i)), "x");
  OverlayFileSystem overlay(FileSystem::Default());
  overlay.MakeFolder(folder / "made");
  auto in = [&](int i) { return folder / ("made/f" + std::to_string(i)); };
  auto out = [&](int i) { return folder / ("f" + std::to_string(i)); };
  for (int i = 0; i < kFiles; ++i) ASSERT_EQ(overlay.Rename(out(i), in(i)), Outcome::kDone);
  for (int i = 0; i < kFiles; i += 2) ASSERT_EQ(overlay.Rename(in(i), out(i)), Outcome::kDone);
  for (int i = 0; i < kFiles; i += 4) ASSERT_EQ(overlay.Rename(out(i), in(i)), Outcome::kDone);
  std::vector<std::string> names, wanted;
  for (const Entry& entry : overlay.ReadFolder(folder / "made")) names.push_back(entry.name);
  for (int i = 0; i < kFiles; ++i) {
    const bool inside = i % 2 == 1 || i % 4 == 0;
    if (inside) wanted.push_back("f" + std::to_string(i));
    EXPECT_EQ(overlay.Inspect(in(i)).has_value(), inside) << i;
    EXPECT_EQ(overlay.Inspect(out(i)).has_value(), !inside) << i;
  }
  std::sort(names.begin(), names.end());
  std::sort(wanted.begin(), wanted.end());
  EXPECT_EQ(names, wanted);
  EXPECT_FALSE(Exists(folder / "made"));  // nor anything else on the disk
}

// A large folder's entries are looked at ahead of their asking: each is
// answered as the disk has it, asked once or again, in any order.
TEST(OverlayFileSystemTest, ALargeFoldersEntriesAnswerAsTheDiskHasThemAskedOnceOrAgain) {
  TempFolder folder;
  constexpr int kFiles = 1100;
  for (int i = 0; i < kFiles; ++i)
    PutFile(folder / ("f" + std::to_string(i)), std::string(i % 7, 'x'));
  OverlayFileSystem overlay(FileSystem::Default());
  ASSERT_EQ(overlay.ReadFolder(folder.path()).size(), size_t{kFiles});
  overlay.DeleteFile(folder / "f5");
  EXPECT_FALSE(overlay.Inspect(folder / "f5"));
  for (int round = 0; round < 2; ++round) {
    for (int i = kFiles; i-- > 0;) {
      if (i == 5) continue;
      const std::string path = folder / ("f" + std::to_string(i));
      std::optional<EntryInfo> seen = overlay.Inspect(path),
                               disk = FileSystem::Default()->Inspect(path);
      ASSERT_TRUE(seen && disk) << path;
      EXPECT_EQ(seen->inode, disk->inode) << path;
      EXPECT_EQ(seen->size, disk->size) << path;
    }
  }
}

}  // namespace
}  // namespace varnelo::testing
