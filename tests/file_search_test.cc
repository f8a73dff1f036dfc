#include "filesystem/file_search.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "filesystem/failure.h"
#include "filesystem/file_operations.h"
#include "filesystem/names.h"
#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

using testing::MakeFolders;
using testing::PutFile;
using testing::TempFolder;
using Paths = std::vector<std::string>;

// The real file system, on which no folder named "locked" can be listed.
class LockingFileSystem : public FileSystemWrapper {
 public:
  LockingFileSystem() : FileSystemWrapper(FileSystem::Default()) {}
  std::vector<Entry> ReadFolder(const std::string& folder) override {
    if (NameOf(folder) == "locked") throw Failure(kPermissionDenied, "locked");
    return FileSystemWrapper::ReadFolder(folder);
  }
};

class FileSearchTest : public ::testing::Test {
 protected:
  // The paths found, relative to the folder searched and spelt with "/".
  Paths Find(const std::string& folder, const std::string& pattern) {
    Paths found = search_->FindFiles(folder, pattern);
    for (std::string& path : found) {
      path.erase(0, root_.path().size() + 1);
      std::replace(path.begin(), path.end(), kPathSeparator, '/');
    }
    return found;
  }
  Paths FindAfresh(const std::string& folder, const std::string& pattern) {
    search_.emplace(ops_);
    return Find(folder, pattern);
  }

  TempFolder root_;
  LockingFileSystem fs_;
  FileOperations ops_{&fs_, root_.path()};
  std::optional<FileSearch> search_{std::in_place, ops_};
};

TEST_F(FileSearchTest, FindsTheFoldersOwnFilesFirstThenEachSubFolderDepthFirst) {
  PutFile(root_ / "z.txt");
  PutFile(root_ / "a.txt");
  PutFile(root_ / "m/b.txt");
  PutFile(root_ / "m/n/c.txt");
  PutFile(root_ / "m/.f");
  PutFile(root_ / "B/d.txt");
  PutFile(root_ / ".hidden/e.txt");
  MakeFolders(root_ / "empty.d");

  Paths expected = {"a.txt", "z.txt", ".hidden/e.txt", "B/d.txt", "m/.f", "m/b.txt", "m/n/c.txt"};
  EXPECT_EQ(Find(root_.path(), "*"), expected) << "folders are never listed";
  EXPECT_EQ(FindAfresh(root_.path() + "/", "*"), expected);
}

TEST_F(FileSearchTest, PatternsMatchWholeNamesWithoutRegardToLetterCaseAndResultsAccumulate) {
  PutFile(root_ / "README");
  PutFile(root_ / "a.b.c");
  PutFile(root_ / "UPPER.TXT");
  PutFile(root_ / "sub/lower.txt");

  EXPECT_EQ(Find(root_.path(), "*.TXT"), (Paths{"UPPER.TXT", "sub/lower.txt"}));
  EXPECT_EQ(Find(root_.path(), "*.*"),
            (Paths{"UPPER.TXT", "sub/lower.txt", "a.b.c", "UPPER.TXT", "sub/lower.txt"}))
      << "a second search appends to the first";
  EXPECT_EQ(FindAfresh(root_.path(), "*.txt"), (Paths{"UPPER.TXT", "sub/lower.txt"}));
  EXPECT_EQ(FindAfresh(root_.path(), "readme"), (Paths{"README"}));
  EXPECT_EQ(FindAfresh(root_.path(), "*.zip"), Paths{});
}

TEST_F(FileSearchTest, FollowsNoLinkToAFolderAndSkipsWhatCannotBeRead) {
  TempFolder outside;
  PutFile(outside / "o.txt");
  PutFile(root_ / "a/f.txt");
  PutFile(root_ / "locked/c.txt");
  Paths expected = {"a/f.txt"};
  // Links are made from the Linux side only, and Windows names hold no line break.
#ifndef _WIN32
  ASSERT_EQ(symlink("..", (root_ / "a/loop").c_str()), 0);
  ASSERT_EQ(symlink(outside.path().c_str(), (root_ / "out").c_str()), 0);
  ASSERT_EQ(symlink("a/f.txt", (root_ / "file-link").c_str()), 0);
  PutFile(root_ / "line\nbreak/b.txt");
  expected = {"file-link", "a/f.txt", "line\nbreak/b.txt"};
#endif

  EXPECT_EQ(Find(root_.path(), "*"), expected)
      << "a folder name read from a listing may hold a line break";
  EXPECT_EQ(FindAfresh(root_ / "missing", "*"), Paths{});
}

}  // namespace
}  // namespace varnelo
