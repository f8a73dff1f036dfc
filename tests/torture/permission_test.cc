// Runs each command as an ordinary user on folders that forbid part of what
// it must do. Root may write anywhere, so only another user meets these
// refusals: the command stops with its box, and every file is in exactly one
// place.

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "commands/frame.h"
#include "tests/support/temp_folder.h"
#include "tests/torture/torture.h"

namespace varnelo::torture {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

bool BecomeNobody() {
  return setgroups(0, nullptr) == 0 && setresgid(kNobody, kNobody, kNobody) == 0 &&
         setresuid(kNobody, kNobody, kNobody) == 0;
}

// Hands the tree to `owner`, links included and never followed.
void GiveTo(const std::string& root, uid_t owner) {
  ASSERT_EQ(lchown(root.c_str(), owner, owner), 0);
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    ASSERT_EQ(lchown(entry.path().c_str(), owner, owner), 0) << entry.path();
  }
}

// The sub-folders directly in `root`, hidden ones included.
std::vector<std::string> SubFolders(const std::string& root) {
  std::vector<std::string> folders;
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.is_directory() && !entry.is_symlink()) folders.push_back(entry.path());
  }
  return folders;
}

// How many visible files and links hold each content; a whole Snapshot
// value stands for the content, as the audit takes it.
std::map<std::string, int> Copies(const Snapshot& snapshot) {
  std::map<std::string, int> copies;
  for (const auto& [path, value] : snapshot) {
    if (value != "/" && !IsTemporary(path) && path != kListFileName) ++copies[value];
  }
  return copies;
}

std::string Doubled(const Snapshot& original, const Snapshot& now) {
  std::map<std::string, int> before = Copies(original);
  std::string doubled;
  for (const auto& [value, count] : Copies(now)) {
    if (count > before[value]) doubled += "\n  in " + std::to_string(count) + " places: " + value;
  }
  return doubled;
}

class PermissionTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    if (geteuid() != 0) GTEST_SKIP() << "only root can play another user and own a folder of it";
    GenerateFor(command(), work_, 11, 40);
  }

  // Runs the command as nobody and checks the box and the folder.
  void RunAsNobodyAndExpectRefusal() {
    const Snapshot original = Take(work_);
    std::optional<Boxes> boxes = RunInChild(command(), work_, BecomeNobody);
    if (!boxes) GTEST_SKIP() << "the kernel refuses to let this process become another user";
    ++Totals().bad_inputs;
    EXPECT_TRUE(Stopped(command(), *boxes, kNoPermissionText)) << ::testing::PrintToString(*boxes);
    const Snapshot now = Take(work_);
    const Audit audit = Check(original, now, Ending::kFailed);
    EXPECT_TRUE(audit.Clean()) << audit.notes;
    EXPECT_EQ(Doubled(original, now), "");
    EXPECT_FALSE(testing::Exists(work_ + "/" + kListFileName)) << "the list file was left";
  }

  testing::TempFolder temp_;
  const std::string work_ = temp_ / "work";
};

// The sorts meet folders of their own they cannot write into, and flatten
// sub-folders it cannot take files out of.
TEST_P(PermissionTest, ReadOnlySubFoldersStopTheRunWithNothingLostOrDoubled) {
  GiveTo(temp_.path(), kNobody);
  for (const std::string& folder : SubFolders(work_)) ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  RunAsNobodyAndExpectRefusal();
}

// Files of another user in a shared folder, as in a sticky one such as
// /tmp: they may be read, but not moved.
TEST_P(PermissionTest, AnotherUsersFilesInASharedFolderStayWhereTheyAre) {
  for (const std::string& folder : SubFolders(work_)) ASSERT_EQ(chmod(folder.c_str(), 01777), 0);
  ASSERT_EQ(chmod(work_.c_str(), 01777), 0);
  ASSERT_EQ(chmod(temp_.path().c_str(), 0755), 0);
  RunAsNobodyAndExpectRefusal();
}

INSTANTIATE_TEST_SUITE_P(Commands, PermissionTest, kEveryCommand, CommandName);

}  // namespace
}  // namespace varnelo::torture
