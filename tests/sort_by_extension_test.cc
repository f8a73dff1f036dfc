#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
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
using testing::TempFolder;
using Tree = std::map<std::string, std::string>;

const std::string kConfirmBox = "请选择|确认按扩展名分类？";
const std::string kDoneBox = "|操作已完成!!";
const std::string kPathBox = "|请确认路径是否正确!!";
const std::string kStoppedBox = "|操作未完成!!\n";

class SortByExtensionTest : public ::testing::Test {
 protected:
  std::vector<std::string> Run(const std::string& text, FileSystem* fs = FileSystem::Default(),
                               bool ok = true) {
    return testing::RunScripted(kSortByExtension, text, fs, ok);
  }
  Tree Contents() { return testing::Tree(root_.path()); }

  TempFolder root_;
};

TEST_F(SortByExtensionTest, SortsIntoOneFolderPerExtensionWhateverItsCase) {
  PutFile(root_ / "a.jpg", "a");
  PutFile(root_ / "b.JPG", "b");
  PutFile(root_ / "c.png", "c");
  PutFile(root_ / "archive.tar.gz", "gz");
  PutFile(root_ / "sub/d.jpg", "stays in its sub-folder");

  EXPECT_EQ(Run(root_.path()), (std::vector<std::string>{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents(), (Tree{{"jpg", "/"},
                              {"jpg/a.jpg", "a"},
                              {"jpg/b.JPG", "b"},
                              {"png", "/"},
                              {"png/c.png", "c"},
                              {"gz", "/"},
                              {"gz/archive.tar.gz", "gz"},
                              {"sub", "/"},
                              {"sub/d.jpg", "stays in its sub-folder"}}));
}

TEST_F(SortByExtensionTest, NamesWithoutExtensionAndHiddenFilesStay) {
  Tree stays = {{"README", "r"}, {".profile", "p"}};
#ifndef _WIN32  // Windows takes the final "." off a name
  stays["trailing."] = "t";
#endif
  for (const auto& [name, content] : stays) PutFile(root_ / name, content);
  PutFile(root_ / "a.txt", "a");
  EXPECT_EQ(Run(root_.path()), (std::vector<std::string>{kConfirmBox, kDoneBox}));
  Tree expected = stays;
  expected.insert({{"txt", "/"}, {"txt/a.txt", "a"}});
  EXPECT_EQ(Contents(), expected);
}

TEST_F(SortByExtensionTest, AnExistingFolderIsReusedAndNothingInItReplaced) {
  PutFile(root_ / "JPG/a.jpg", "old");
  PutFile(root_ / "a.jpg", "new");
  EXPECT_EQ(Run(root_.path() + "/"), (std::vector<std::string>{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents(), (Tree{{"JPG", "/"}, {"JPG/a.jpg", "old"}, {"JPG/a (2).jpg", "new"}}));
}

TEST_F(SortByExtensionTest, AMissingFolderOnlyAsksToCheckThePath) {
  EXPECT_EQ(Run(root_ / "missing"), (std::vector<std::string>{kConfirmBox, kPathBox}));
  EXPECT_EQ(Run(kPrompt), (std::vector<std::string>{kConfirmBox, kPathBox}));
  EXPECT_TRUE(Contents().empty());
}

TEST_F(SortByExtensionTest, CancelChangesNothing) {
  PutFile(root_ / "a.jpg", "a");
  EXPECT_EQ(Run(root_.path(), FileSystem::Default(), false),
            (std::vector<std::string>{kConfirmBox}));
  EXPECT_EQ(Contents(), (Tree{{"a.jpg", "a"}}));
}

#ifndef _WIN32  // no Latin-1 name, line break in a name or FIFO can stand on Windows
TEST_F(SortByExtensionTest, KeepsModificationTimesAndOddNames) {
  std::string latin1 = "caf\xe9.txt";
  PutFile(root_ / latin1, "latin-1");
  PutFile(root_ / "line\nbreak.txt", "newline");
  PutFile(root_ / "old.txt", "old");
  testing::SetModificationTime(root_ / "old.txt", 946684800);
  ASSERT_EQ(mkfifo((root_ / "pipe.txt").c_str(), 0600), 0);

  EXPECT_EQ(Run(root_.path()), (std::vector<std::string>{kConfirmBox, kDoneBox}));
  Tree tree = Contents();
  EXPECT_EQ(tree["txt/" + latin1], "latin-1");
  EXPECT_EQ(tree["txt/line\nbreak.txt"], "newline");
  EXPECT_EQ(tree["pipe.txt"], "|fifo") << "a FIFO is no file and stays";
  EXPECT_EQ(testing::ModificationTime(root_ / "txt/old.txt"), 946684800);
  EXPECT_EQ(tree.size(), 5u);
}
#endif

TEST_F(SortByExtensionTest, AMoveFailureStopsThereWithItsReasonAndEachFileInOnePlace) {
  PutFile(root_ / "a.jpg", "a");
  PutFile(root_ / "b.png", "b");
  PutFile(root_ / "c.gif", "c");
  FaultyFileSystem faulty;
  faulty.FailAt(Operation::kRename, 2, kPermissionDenied);
  EXPECT_EQ(Run(root_.path(), &faulty),
            (std::vector<std::string>{
                kConfirmBox, kStoppedBox + "没有权限修改其中的文件或文件夹。\n已移动 1 个文件。"}));
  EXPECT_EQ(Contents(), (Tree{{"jpg", "/"},
                              {"jpg/a.jpg", "a"},
                              {"png", "/"},
                              {"b.png", "b"},
                              {"gif", "/"},
                              {"c.gif", "c"}}));
  // A second run finishes the job without doubling any file.
  EXPECT_EQ(Run(root_.path()), (std::vector<std::string>{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents().size(), 6u);
}

// Each failure a disk gives tells its own reason, and how many files had
// moved before it. Two files: the calls are two folders made, then two renames.
TEST_F(SortByExtensionTest, EachFailureTellsItsReasonAndTheFilesMovedBeforeIt) {
  struct Case {
    Operation operation;
    int nth;
    int number;
    const char* lines;
  };
  const Case kCases[] = {
      {Operation::kMakeFolder, 1, kDiskFull, "磁盘空间不足。"},
      {Operation::kMakeFolder, 2, kPermissionDenied, "没有权限修改其中的文件或文件夹。"},
      {Operation::kMakeFolder, 2, kFileAlreadyExists, "已有同名的文件：txt"},
      {Operation::kRename, 2, kDiskFull, "磁盘空间不足。\n已移动 1 个文件。"},
      {Operation::kRename, 2, kPathFileAccessError, "出错（错误号 75）。\n已移动 1 个文件。"},
  };
  for (const Case& c : kCases) {
    std::filesystem::remove_all(root_.path());
    PutFile(root_ / "a.jpg", "a");
    PutFile(root_ / "b.txt", "b");
    FaultyFileSystem faulty;
    faulty.FailAt(c.operation, c.nth, c.number);
    EXPECT_EQ(Run(root_.path(), &faulty),
              (std::vector<std::string>{kConfirmBox, kStoppedBox + c.lines}))
        << c.number;
  }
}

// Deletes one file right before it is renamed, as a user might meanwhile.
class TakingAway : public FileSystemWrapper {
 public:
  explicit TakingAway(std::string path)
      : FileSystemWrapper(FileSystem::Default()), path_(std::move(path)) {}
  Outcome Rename(const std::string& from, const std::string& to) override {
    if (from.ends_with(path_)) std::filesystem::remove(testing::PathOf(from));
    return FileSystemWrapper::Rename(from, to);
  }

 private:
  std::string path_;
};

TEST_F(SortByExtensionTest, AFileGoneMeanwhileIsPassedOverAndTheOthersAreSorted) {
  PutFile(root_ / "a.jpg", "a");
  PutFile(root_ / "b.txt", "b");
  PutFile(root_ / "c.txt", "c");
  TakingAway taking(kPathSeparator + std::string("b.txt"));
  EXPECT_EQ(Run(root_.path(), &taking), (std::vector<std::string>{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents(), (Tree{{"jpg", "/"}, {"jpg/a.jpg", "a"}, {"txt", "/"}, {"txt/c.txt", "c"}}));
}

TEST_F(SortByExtensionTest, AnExtensionWithAControlCharacterStaysAndTheOthersAreSorted) {
#ifdef _WIN32
  GTEST_SKIP() << "no name holds a control character on Windows";
#endif
  PutFile(root_ / "a.j\tpg", "tab");
  PutFile(root_ / "b.jpg", "b");
  EXPECT_EQ(Run(root_.path()), (std::vector<std::string>{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents(), (Tree{{"a.j\tpg", "tab"}, {"jpg", "/"}, {"jpg/b.jpg", "b"}}));
}

void MakeFiles(const std::string& folder, int count) {
  const char* extensions[] = {"jpg", "txt", "mp3", "pdf"};
  for (int i = 0; i < count; ++i) {
    std::string path = folder + "/f" + std::to_string(i) + "." + extensions[i % 4];
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }
}

TEST_F(SortByExtensionTest, SortsAt32767FilesAndRefusesOneMore) {
#ifdef _WIN32
  GTEST_SKIP() << "32768 files take over four minutes under Wine; the bound is the same code "
                  "as on Linux, where this runs";
#endif
  MakeFiles(root_.path(), 32768);
  EXPECT_EQ(Run(root_.path()),
            (std::vector<std::string>{kConfirmBox, kStoppedBox + "文件太多：最多 32767 个文件。"}));
  EXPECT_EQ(Contents().size(), 32768u) << "nothing changed";

  ASSERT_EQ(unlink((root_ / "f0.jpg").c_str()), 0);
  EXPECT_EQ(Run(root_.path()), (std::vector<std::string>{kConfirmBox, kDoneBox}));
  Tree tree = Contents();
  EXPECT_EQ(tree.size(), 32767u + 4u);
  EXPECT_TRUE(tree.contains("pdf/f32767.pdf"));
}

#ifndef _WIN32  // the Windows driver has tests of its own, with Windows paths
std::string Drive(const std::string& arguments) {
  std::string output;
  FILE* pipe = popen((std::string(VARNELO_DRIVE) + " " + arguments + " 2>&1").c_str(), "r");
  char buffer[256];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  int status = pclose(pipe);
  return std::to_string(WEXITSTATUS(status)) + ":" + output;
}

TEST_F(SortByExtensionTest, TheDriverPrintsEveryBox) {
  PutFile(root_ / "a.jpg", "a");
  const std::string confirm = "box\t请选择\t确认按扩展名分类？\n";
  const std::string preview = "preview\t将移动 1 个文件，新建 1 个文件夹。\n";
  EXPECT_EQ(Drive("extension '" + root_.path() + "' --cancel"), "0:" + confirm + preview);
  EXPECT_EQ(Drive("extension '" + root_.path() + "' --cancel --no-preview"), "0:" + confirm);
  EXPECT_EQ(Drive("extension '" + root_.path() + "'"),
            "0:" + confirm + preview + "box\t\t操作已完成!!\n");
  // No preview where the simulation stops.
  EXPECT_EQ(Drive("extension ''"), "0:" + confirm + "box\t\t请确认路径是否正确!!\n");
  PutFile(root_ / "b.txt", "b");
  PutFile(root_ / "txt", "in the way");
  EXPECT_EQ(Drive("extension '" + root_.path() + "' --undo"),
            "0:" + confirm +
                "box\t\t操作未完成!!\\n已有同名的文件：txt\n"
                "box\t\t没有可以撤销的操作。\n");
  ASSERT_EQ(unlink((root_ / "txt").c_str()), 0);
  EXPECT_EQ(Drive("extension '" + root_.path() + "' --undo"),
            "0:" + confirm + preview +
                "box\t\t操作已完成!!\n"
                "box\t请选择\t确认撤销上一次操作？\n"
                "box\t\t撤销已完成!!\n");
  // Recorded and left: the files stay sorted.
  EXPECT_EQ(Drive("extension '" + root_.path() + "' --no-preview --record"),
            "0:" + confirm + "box\t\t操作已完成!!\n");
  EXPECT_TRUE(testing::Exists(root_ / "jpg/a.jpg"));
  EXPECT_TRUE(Drive("extension /tmp --cancel --cancel").starts_with("2:"));
  EXPECT_TRUE(Drive("nonsense /tmp").starts_with("2:"));
}
#endif

}  // namespace
}  // namespace varnelo
