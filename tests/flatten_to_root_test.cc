#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands/commands.h"
#include "filesystem/names.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"
#include "window/prompt.h"

namespace varnelo {
namespace {

using testing::FaultyFileSystem;
using testing::Operation;
using testing::PutFile;
using testing::ScriptedHost;
using testing::TempFolder;
using Boxes = std::vector<std::string>;
using Tree = std::map<std::string, std::string>;

const std::string kConfirmBox = "请选择|确认将所有文件放到根目录？ 这将会永久丢失文件目录!";
const Boxes kDone = {kConfirmBox, "|操作已完成!!"};
const Boxes kPathMessage = {kConfirmBox, "|请确认路径是否正确!!"};
// The box of a run that stops, with the lines after its first.
Boxes Stopped(const std::string& lines) { return {kConfirmBox, "|操作未完成!!\n" + lines}; }

// Looks at the folder once the list file is in place, before the searches.
class SearchWatcher : public FileSystemWrapper {
 public:
  explicit SearchWatcher(std::string root)
      : FileSystemWrapper(FileSystem::Default()), root_(std::move(root)) {}

  void ReplaceFile(const std::string& from, const std::string& to) override {
    FileSystemWrapper::ReplaceFile(from, to);
    if (!seen) seen = testing::Tree(root_);
  }

  std::optional<Tree> seen;

 private:
  std::string root_;
};

class ProgressHost : public ScriptedHost {
 public:
  using ScriptedHost::ScriptedHost;
  void Progress(int done, int total, const std::string&) override {
    progress.emplace_back(done, total);
  }
  std::vector<std::pair<int, int>> progress;
};

class FlattenToRootTest : public ::testing::Test {
 protected:
  Boxes Run(const std::string& text, FileSystem* fs = FileSystem::Default()) {
    return testing::RunScripted(kFlattenToRoot, text, fs);
  }
  Tree Contents() { return testing::Tree(root_.path()); }

  TempFolder root_;
};

TEST_F(FlattenToRootTest, AFolderWithoutSubFoldersOnlyHoldsTheListFileWhileItRuns) {
  PutFile(root_ / "a.txt", "a");
  PutFile(root_ / "README", "r");
  PutFile(root_ / ".hidden", "h");
  Tree before = Contents();
  SearchWatcher watcher(root_.path());
  EXPECT_EQ(Run(root_.path(), &watcher), kDone);
  Tree during = before;
  during["579978.txt"] = root_.path() + "\r\n";
  EXPECT_EQ(watcher.seen, during);
  EXPECT_EQ(Contents(), before);

  TempFolder empty;
  SearchWatcher empty_watcher(empty.path());
  EXPECT_EQ(Run(empty.path() + "/", &empty_watcher), kDone);
  EXPECT_EQ(empty_watcher.seen, (Tree{{"579978.txt", empty.path() + "/\r\n"}}));
  EXPECT_TRUE(testing::Tree(empty.path()).empty());
}

TEST_F(FlattenToRootTest, BringsUpEveryFileByRenameAndRemovesTheSubFolders) {
  PutFile(root_ / "z.txt", "z");
  PutFile(root_ / "a.txt", "a");
  PutFile(root_ / "m/b.txt", "b");
  PutFile(root_ / "m/n/c.txt", "c");
  PutFile(root_ / "d/README", "readme");
  testing::MakeFolders(root_ / "e");
  auto identity = testing::FileIdentity(root_ / "m/n/c.txt");

  ProgressHost host(root_.path());
  RunCommand(kFlattenToRoot, host, FileSystem::Default());
  EXPECT_EQ(host.boxes, kDone);
  EXPECT_EQ(
      Contents(),
      (Tree{{"a.txt", "a"}, {"z.txt", "z"}, {"b.txt", "b"}, {"c.txt", "c"}, {"README", "readme"}}));
  EXPECT_EQ(testing::FileIdentity(root_ / "c.txt"), identity)
      << "brought up by a rename, not by copying its data";
  // Six files found, the list file among them, and the first once more.
  ASSERT_EQ(host.progress.size(), 7u);
  EXPECT_EQ(host.progress.back(), std::make_pair(6, 7));
}

TEST_F(FlattenToRootTest, NoFileIsLostToANameClash) {
  PutFile(root_ / "a/x.txt", "a");
  PutFile(root_ / "b/X.TXT", "b");
  PutFile(root_ / "c/x.txt", "c");
  EXPECT_EQ(Run(root_.path()), kDone);
  EXPECT_EQ(Contents(), (Tree{{"x.txt", "a"}, {"X (2).TXT", "b"}, {"x (3).txt", "c"}}));

  TempFolder other;
  PutFile(other / "x.txt", "own");
  PutFile(other / "a/x.txt", "a");
  EXPECT_EQ(Run(other.path() + "/"), kDone);
  EXPECT_EQ(testing::Tree(other.path()), (Tree{{"x.txt", "own"}, {"x (2).txt", "a"}}));
}

TEST_F(FlattenToRootTest, WhatIsNotBroughtUpStaysWithTheFoldersAboveIt) {
  PutFile(root_ / ".top", "top");
  PutFile(root_ / "a/b.txt", "b");
  PutFile(root_ / "a/.hidden", "h");
  PutFile(root_ / ".git/objects/o1", "o1");
  PutFile(root_ / "c/d.txt", "d");
  PutFile(root_ / "c/.cache/k.txt", "k");
  testing::MakeFolders(root_ / "c/.empty");
  PutFile(root_ / "p/t.txt", "t");
  PutFile(root_ / "e/f/g.txt", "g");
  Tree expected = {{".top", "top"},
                   {"b.txt", "b"},
                   {"d.txt", "d"},
                   {"t.txt", "t"},
                   {"g.txt", "g"},
                   {"a", "/"},
                   {"a/.hidden", "h"},
                   {".git", "/"},
                   {".git/objects", "/"},
                   {".git/objects/o1", "o1"},
                   {"c", "/"},
                   {"c/.cache", "/"},
                   {"c/.cache/k.txt", "k"},
                   {"c/.empty", "/"}};
  // Windows has no FIFO, and no line break in a name.
#ifndef _WIN32
  ASSERT_EQ(mkfifo((root_ / "p/pipe").c_str(), 0600), 0);
  PutFile(root_ / "q\nr/s.txt", "s");
  expected.insert({{"s.txt", "s"}, {"p", "/"}, {"p/pipe", "|fifo"}});
#endif

  EXPECT_EQ(Run(root_.path()), kDone);
  EXPECT_EQ(Contents(), expected);
}

TEST_F(FlattenToRootTest, AUsersFileNamedLikeTheListFileIsKept) {
  PutFile(root_ / "579978.txt", "mine");
  PutFile(root_ / "a/579978.txt", "a's");
  SearchWatcher watcher(root_.path());
  EXPECT_EQ(Run(root_.path(), &watcher), kDone);
  ASSERT_TRUE(watcher.seen);
  EXPECT_EQ((*watcher.seen)["579978.txt"], "mine");
  EXPECT_EQ((*watcher.seen)["579978 (2).txt"], root_.path() + "\r\n");
  EXPECT_EQ(Contents(), (Tree{{"579978.txt", "mine"}, {"579978 (3).txt", "a's"}}));
}

TEST_F(FlattenToRootTest, PathsThatNameNoFolderChangeNothing) {
  PutFile(root_ / "a/b.txt", "b");
  PutFile(root_ / "file.txt", "f");
  Tree before = Contents();
  EXPECT_EQ(Run(kPrompt), kPathMessage);
  EXPECT_EQ(Run(""), kPathMessage);
  EXPECT_EQ(Run("   "), kPathMessage);
  EXPECT_EQ(Run(root_ / "missing"), Stopped("出错（错误号 76）。"));
  EXPECT_EQ(Run(root_ / "file.txt"), Stopped("出错（错误号 76）。"));
  EXPECT_EQ(Contents(), before);
  EXPECT_FALSE(testing::Exists("579978.txt"));
  EXPECT_FALSE(testing::Exists("/579978.txt"));
}

TEST_F(FlattenToRootTest, APathThroughASubFolderItRemovesStillNamesTheSameFolder) {
  PutFile(root_ / "sub/a.txt", "a");
  PutFile(root_ / "other/b.txt", "b");
  EXPECT_EQ(Run(root_ / "sub/.."), kDone);
  EXPECT_EQ(Contents(), (Tree{{"a.txt", "a"}, {"b.txt", "b"}}));
}

// The Windows build's links are made from the Linux side, by links_test.sh.
#ifndef _WIN32
TEST_F(FlattenToRootTest, AFolderLinkLoopEndsAndALinkToAFolderStays) {
  TempFolder outside;
  PutFile(outside / "o.txt", "o");
  PutFile(root_ / "a/f.txt", "f");
  ASSERT_EQ(symlink("..", (root_ / "a/loop").c_str()), 0);
  ASSERT_EQ(symlink(outside.path().c_str(), (root_ / "out").c_str()), 0);
  EXPECT_EQ(Run(root_.path()), kDone);
  EXPECT_EQ(
      Contents(),
      (Tree{{"f.txt", "f"}, {"a", "/"}, {"a/loop", "-> .."}, {"out", "-> " + outside.path()}}));
  EXPECT_EQ(testing::Tree(outside.path()), (Tree{{"o.txt", "o"}}));
}
#endif

TEST_F(FlattenToRootTest, TwoRunsOnTwoFoldersBringUpOnlyTheirOwnFiles) {
  TempFolder other;
  PutFile(root_ / "a/1.txt", "1");
  PutFile(other / "b/2.txt", "2");
  EXPECT_EQ(Run(root_.path()), kDone);
  EXPECT_EQ(Run(other.path()), kDone);
  EXPECT_EQ(Contents(), (Tree{{"1.txt", "1"}}));
  EXPECT_EQ(testing::Tree(other.path()), (Tree{{"2.txt", "2"}}));
}

TEST_F(FlattenToRootTest, AFailureToBringAFileUpStopsBeforeAnyFolderIsRemovedAndTakesTheListFile) {
  PutFile(root_ / "a/1.txt", "1");
  PutFile(root_ / "b/2.txt", "2");
  PutFile(root_ / "c/3.txt", "3");
  FaultyFileSystem faulty;
  faulty.FailAt(Operation::kRename, 2, kPermissionDenied);
  EXPECT_EQ(Run(root_.path(), &faulty),
            Stopped("没有权限修改其中的文件或文件夹。\n已移动 1 个文件。"));
  EXPECT_EQ(
      Contents(),
      (Tree{
          {"1.txt", "1"}, {"a", "/"}, {"b", "/"}, {"b/2.txt", "2"}, {"c", "/"}, {"c/3.txt", "3"}}));
  EXPECT_EQ(Run(root_.path()), kDone) << "a second run finishes the job";
  EXPECT_EQ(Contents(), (Tree{{"1.txt", "1"}, {"2.txt", "2"}, {"3.txt", "3"}}));
}

// What it costs to flatten 100 files lying `depth` folders down, in looks at
// the disk per file.
int InspectionsPerFile(int depth) {
  TempFolder root;
  std::string folder = root.path();
  for (int i = 0; i < depth; ++i) folder += kPathSeparator + std::string("d");
  for (int i = 0; i < 100; ++i) PutFile(JoinPath(folder, "f" + std::to_string(i)));
  FaultyFileSystem counting;
  ScriptedHost host(root.path());
  RunCommand(kFlattenToRoot, host, &counting);
  EXPECT_EQ(testing::Tree(root.path()).size(), 100u);
  return counting.Calls(Operation::kInspect) / 100;
}

TEST_F(FlattenToRootTest, TheCostPerFileDoesNotGrowWithDepth) {
  EXPECT_LE(InspectionsPerFile(8), InspectionsPerFile(1) + 1);
  EXPECT_EQ(InspectionsPerFile(1), 0) << "files are told from folders by the listings alone";
}

// Names of one file, which are much quicker to make than as many files.
void MakeNames(const std::string& folder, int count) {
  PutFile(JoinPath(folder, "f0"));
  for (int i = 1; i < count; ++i) {
    testing::MakeHardLink(JoinPath(folder, "f0"), JoinPath(folder, "f" + std::to_string(i)));
  }
}

size_t CountEntries(const std::string& folder) {
  return std::distance(std::filesystem::directory_iterator(testing::PathOf(folder)),
                       std::filesystem::directory_iterator());
}

// The list file counts among the files found, and twice their number must
// fit in 16 bits.
TEST_F(FlattenToRootTest, RefusesATreeTooLargeForTheCountsBeforeAnythingMoves) {
  MakeNames(root_.path(), 16382);
  EXPECT_EQ(Run(root_.path()), kDone);
  EXPECT_EQ(CountEntries(root_.path()), 16382u);
  PutFile(root_ / "sub/one-more.txt", "x");
  EXPECT_EQ(Run(root_.path()), Stopped("文件太多：最多 16382 个文件。"));
  EXPECT_EQ(CountEntries(root_.path()), 16382u + 1u) << "the list file goes with the refusal";
  EXPECT_EQ(testing::Tree(root_ / "sub"), (Tree{{"one-more.txt", "x"}}));
}

}  // namespace
}  // namespace varnelo
