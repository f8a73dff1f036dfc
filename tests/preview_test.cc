// The line and the list that a confirmation shows, and the overlay they are
// simulated on.

#include <gtest/gtest.h>

#include <algorithm>

#include "commands/commands.h"
#include "filesystem/failure.h"
#include "filesystem/overlay_file_system.h"
#include "tests/support/temp_folder.h"

namespace varnelo::testing {
namespace {

RunRecord Record(int files, int made, int removed) {
  RunRecord record{.folder = "/d"};
  for (int i = 0; i < made; ++i) {
    record.changes.push_back({Change::Kind::kFolderMade, "/d/m" + std::to_string(i)});
  }
  for (int i = 0; i < files; ++i) {
    std::string name = "f" + std::to_string(i);
    record.changes.push_back({Change::Kind::kFilePlaced, "/d/sub/" + name, "/d/" + name});
  }
  for (int i = 0; i < removed; ++i) {
    record.changes.push_back({Change::Kind::kFolderRemoved, "/d/r" + std::to_string(i)});
  }
  record.changes.push_back({Change::Kind::kFileWritten, "/d/579978.txt"});
  record.changes.back().settled = true;  // written and removed again
  return record;
}

TEST(PreviewTest, TellsTheMovesAndTheFoldersAndFlattenTellsTheFoldersItRemoves) {
  Preview sort = PreviewOf(kSortByExtension, Record(2, 1, 0));
  EXPECT_EQ(sort.summary, "将移动 2 个文件，新建 1 个文件夹。");
  EXPECT_EQ(sort.details, "f0 → sub/f0\nf1 → sub/f1\n");
  EXPECT_EQ(PreviewOf(kFlattenToRoot, Record(3, 0, 2)).summary,
            "将移动 3 个文件到根目录，删除 2 个子文件夹。");
  EXPECT_EQ(PreviewOf(kSortByYear, Record(0, 0, 0)).summary, "没有需要移动的文件。");
  EXPECT_EQ(PreviewOf(kSortByYear, Record(0, 0, 0)).details, "");
}

TEST(PreviewTest, ListsAtMost5000Moves) {
  Preview preview = PreviewOf(kSortByFileType, Record(5002, 0, 0));
  EXPECT_EQ(preview.summary, "将移动 5002 个文件，新建 0 个文件夹。");
  EXPECT_EQ(std::count(preview.details.begin(), preview.details.end(), '\n'), 5001);
  EXPECT_TRUE(preview.details.ends_with("f4999 → sub/f4999\n……\n"));
}

TEST(OverlayFileSystemTest, AnswersAsTheDiskWouldAndKeepsEveryChangeToItself) {
  TempFolder folder;
  PutFile(folder / "a.txt", "a");
  PutFile(folder / "sub/b.txt", "b");
  const auto before = Tree(folder.path());
  OverlayFileSystem overlay(FileSystem::Default());
  const std::string root = folder.path();
  overlay.MakeFolder(root + "/new");
  EXPECT_EQ(overlay.Rename(root + "/a.txt", root + "/new/a.txt"), Outcome::kDone);
  EXPECT_EQ(overlay.Rename(root + "/sub/b.txt", root + "/new/a.txt"), Outcome::kNameTaken);
  EXPECT_EQ(overlay.ReadFile(root + "/new/a.txt", 10), "a");
  EXPECT_FALSE(overlay.Inspect(root + "/a.txt"));
  EXPECT_THROW(overlay.RemoveFolder(root + "/sub"), Failure);  // not empty
  overlay.DeleteFile(root + "/sub/b.txt");
  overlay.RemoveFolder(root + "/sub");
  EXPECT_FALSE(overlay.Inspect(root + "/sub/b.txt"));
  EXPECT_EQ(overlay.WriteFile(root + "/list.txt", "line"), Outcome::kDone);
  EXPECT_EQ(overlay.ReadFile(root + "/list.txt", 2), "li");
  std::vector<std::string> names;
  for (const Entry& entry : overlay.ReadFolder(root)) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"list.txt", "new"}));
  EXPECT_EQ(Tree(folder.path()), before);
}

}  // namespace
}  // namespace varnelo::testing
