// A folder mounted inside itself shows every file twice, under two paths:
// a command must not take the second path for a second file, and delete
// the first as a duplicate.

#include <sys/mount.h>

#include "tests/support/temp_folder.h"
#include "tests/torture/torture.h"

namespace varnelo::torture {
namespace {

// The folder each command moves the test's picture into, where the folder
// itself is mounted.
std::string TargetOf(const Command& command) {
  std::string name = command.name;
  if (name == "extension") return "png";
  if (name == "type") return "图片";
  if (name == "year") return "2015年";
  if (name == "resolution") return "320p图片及以下";
  return "sub";
}

class MountTest : public CommandTest {};

TEST_P(MountTest, AFolderMountedInsideItselfLosesNoFile) {
  testing::TempFolder temp;
  const std::string root = temp / "folder";
  PutPicture(root + "/a.png", 16, 16, 1);
  testing::SetModificationTime(root + "/a.png", 1431000000);  // in May 2015
  testing::PutFile(root + "/notes.txt", "notes");
  const std::string target = root + "/" + TargetOf(command());
  testing::MakeFolders(target);
  const Snapshot original = Take(root);
  if (mount(root.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    GTEST_SKIP() << "cannot bind-mount here (it needs root): a folder inside itself is not tried";
  }
  testing::RunScripted(command(), root);
  ASSERT_EQ(umount2(target.c_str(), MNT_DETACH), 0);
  Audit audit = Check(original, Take(root), Ending::kFailed);
  EXPECT_EQ(audit.lost, 0) << audit.notes;
  EXPECT_EQ(audit.damaged, 0) << audit.notes;
}

INSTANTIATE_TEST_SUITE_P(Commands, MountTest, kEveryCommand, CommandName);

}  // namespace
}  // namespace varnelo::torture
