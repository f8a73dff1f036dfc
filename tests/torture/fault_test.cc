// Makes each single file-system call of a command fail in turn, and a real
// disk run full, and holds the folder to the promise after each.

#include <algorithm>
#include <filesystem>
#include <map>

#include "filesystem/failure.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_folder.h"
#include "tests/torture/torture.h"

namespace varnelo::torture {
namespace {

using testing::FaultyFileSystem;
using testing::Operation;

struct NamedOperation {
  Operation operation;
  const char* name;
};

constexpr NamedOperation kOperations[] = {
    {Operation::kReadFolder, "read-folder"}, {Operation::kInspect, "inspect"},
    {Operation::kMakeFolder, "make-folder"}, {Operation::kRemoveFolder, "remove-folder"},
    {Operation::kDeleteFile, "delete"},      {Operation::kRename, "rename"},
    {Operation::kReplaceFile, "replace"},    {Operation::kCopyFile, "copy"},
    {Operation::kWriteFile, "write"},        {Operation::kReadFile, "read"},
    {Operation::kSyncFolder, "sync"},
};

// Not a failure: the answer that the target lies on another volume, which
// must turn into a whole copy.
constexpr int kAnotherVolume = -1;

// The numbers a disk gives: permission denied, disk full, a file in use; and
// for a rename, "another volume". Each with the reason its box tells.
std::vector<int> Numbers(Operation operation, bool across, int nth) {
  std::vector<int> numbers = {kPermissionDenied, kDiskFull, kPathFileAccessError};
  if (!across && operation == Operation::kRename) numbers.push_back(kAnotherVolume);
  if (!LongRun()) numbers = {numbers[nth % numbers.size()]};
  return numbers;
}

std::string Reason(int number) {
  switch (number) {
    case kPermissionDenied:
      return "没有权限修改其中的文件或文件夹。";
    case kDiskFull:
      return "磁盘空间不足。";
    default:
      return "出错（错误号 " + std::to_string(number) + "）。";
  }
}

class FaultTest : public CommandTest {
 protected:
  void Fresh() {
    testing::RemoveTree(work_);
    CopyTree(pristine_, work_);
  }

  // One run with the `nth` call of `operation` failing with `number`.
  // `placed` is how many entries an earlier failure of the same operation left
  // in their final place: a later one that stops the command may not leave fewer.
  void FailOnce(FileSystem* base, NamedOperation operation, int nth, int number,
                const Snapshot& reference, int& placed) {
    Fresh();
    FaultyFileSystem faulty(base);
    if (number == kAnotherVolume) {
      faulty.AnswerAt(operation.operation, nth, Outcome::kOtherVolume);
    } else {
      faulty.FailAt(operation.operation, nth, number);
    }
    Boxes boxes = testing::RunScripted(command(), work_, &faulty);
    ++Totals().faults;
    SCOPED_TRACE(std::string(base == FileSystem::Default() ? "" : "across volumes, ") + "the " +
                 operation.name + " call " + std::to_string(nth) + " failing with " +
                 std::to_string(number));
    Snapshot state = Take(work_);
    if (number == kAnotherVolume) {
      EXPECT_EQ(boxes, Expected(command(), {kCompletedText}));
      EXPECT_TRUE(state == reference) << Difference(reference, state);
    } else if (boxes != Expected(command(), {kCompletedText})) {
      EXPECT_TRUE(Stopped(command(), boxes, Reason(number))) << ::testing::PrintToString(boxes);
    }
    Audit audit = Check(original_, state, Ending::kFailed);
    EXPECT_TRUE(audit.Clean()) << audit.notes;
    int now_placed = 0;
    for (const auto& [path, value] : state) {
      bool final = reference.contains(path) && reference.at(path) == value;
      bool untouched = original_.contains(path) && original_.at(path) == value;
      if (final && !untouched) ++now_placed;
      EXPECT_TRUE(final || untouched || path == kListFileName) << "misplaced: " << path;
    }
    if (boxes != Expected(command(), {kCompletedText})) {
      EXPECT_GE(now_placed, placed) << "work done before the failure was undone";
      placed = now_placed;
    }

    EXPECT_EQ(testing::RunScripted(command(), work_, base), Expected(command(), {kCompletedText}));
    Snapshot rerun = Take(work_);
    audit = Check(original_, rerun, Ending::kCompleted);
    EXPECT_TRUE(audit.Clean()) << "after the rerun" << audit.notes;
    if (base == FileSystem::Default()) {
      EXPECT_TRUE(rerun == reference) << Difference(reference, rerun);
    } else {
      // A whole copy made before the failure is not known for the same file,
      // so the rerun may place its source once more under a numbered name.
      EXPECT_TRUE(SameContents(rerun, reference)) << Difference(reference, rerun);
    }
  }

  testing::TempFolder temp_;
  std::string pristine_ = temp_ / "pristine", work_ = temp_ / "work";
  Snapshot original_;
};

TEST_P(FaultTest, EachSingleFailureLosesNothingKeepsTheWorkDoneAndARerunFinishes) {
  GenerateFor(command(), pristine_, 7, Scaled(12, 40));
  original_ = Take(pristine_);
  AcrossVolumes across_volumes;
  for (FileSystem* base : {FileSystem::Default(), static_cast<FileSystem*>(&across_volumes)}) {
    Fresh();
    FaultyFileSystem counter(base);
    ASSERT_EQ(testing::RunScripted(command(), work_, &counter),
              Expected(command(), {kCompletedText}));
    const Snapshot reference = Take(work_);
    for (NamedOperation operation : kOperations) {
      int calls = counter.Calls(operation.operation);
      std::map<int, int> placed;  // by failure number
      for (int nth = 1; nth <= calls; nth += std::max(1, calls / Scaled(3, 120))) {
        for (int number : Numbers(operation.operation, base != FileSystem::Default(), nth)) {
          FailOnce(base, operation, nth, number, reference, placed[number]);
        }
      }
    }
  }
}

TEST_P(FaultTest, ARealFullDiskFailsTheCopyCleanly) {
  Tmpfs disk(temp_ / "disk", "size=8m");
  if (!disk.mounted()) {
    GTEST_SKIP() << "cannot mount a small volume here (on Linux it needs root, on Windows it "
                    "is not done): the real full disk is not tried";
  }
  const std::string folder = temp_ / "disk";
  PutPicture(folder + "/big.png", 420, 420, 1, 500000);
  PutPicture(folder + "/sub/big too.png", 420, 420, 2, 500000);
  testing::PutFile(folder + "/a.txt", "a");
  original_ = Take(folder);
  disk.ShrinkTo(128 * 1024);
  AcrossVolumes across_volumes;
  Boxes boxes = testing::RunScripted(command(), folder, &across_volumes);
  EXPECT_TRUE(Stopped(command(), boxes, "磁盘空间不足。")) << ::testing::PrintToString(boxes);
  ++Totals().faults;
  Audit audit = Check(original_, Take(folder), Ending::kFailed);
  EXPECT_TRUE(audit.Clean()) << audit.notes;
}

INSTANTIATE_TEST_SUITE_P(Commands, FaultTest, kEveryCommand, CommandName);

}  // namespace
}  // namespace varnelo::torture
