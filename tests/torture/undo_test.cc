// Undoes each command on the generated folders, undisturbed and with each
// single call of the undo failing in turn, and holds the folder to what it
// was: every path, byte and modification time, folders' times included.

#ifdef _WIN32
#include "filesystem/win32.h"
#else
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>

#include "filesystem/failure.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_folder.h"
#include "tests/torture/torture.h"

namespace varnelo::torture {
namespace {

using testing::FaultyFileSystem;
using testing::Operation;

constexpr Operation kOperations[] = {
    Operation::kReadFolder,   Operation::kInspect,    Operation::kMakeFolder,
    Operation::kRemoveFolder, Operation::kDeleteFile, Operation::kRename,
    Operation::kCopyFile,     Operation::kSyncFolder, Operation::kSetModificationTime,
};

// Of the entry itself, a link's and not its target's.
std::string TimeOf(const std::string& path) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &info)) return "@?";
  const FILETIME& time = info.ftLastWriteTime;
  return "@" + std::to_string((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
#else
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return "@?";
  return "@" + std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
#endif
}

// Take, with the modification time of every entry and of the folder itself.
Snapshot Timed(const std::string& root) {
  Snapshot snapshot = Take(root);
  for (auto& [path, value] : snapshot) value += TimeOf(root + "/" + path);
  snapshot["."] = TimeOf(root);
  return snapshot;
}

// What an undo gives back: the folder as it was, but for the leftovers of an
// earlier crash that the command swept away.
Snapshot Restored(Snapshot original) {
  std::erase_if(original, [](const auto& entry) { return IsTemporary(entry.first); });
  return original;
}

const Boxes kUndone = {"请选择|确认撤销上一次操作？", "|撤销已完成!!"};

class UndoTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    GenerateFor(command(), pristine_, 11, Scaled(24, 60));
    original_ = Take(pristine_);
    expected_ = Restored(Timed(pristine_));
  }

  // A fresh copy of the folder, sorted by the command over `fs`, its record in `history`.
  void RunFresh(FileSystem* fs, History& history) {
    testing::RemoveTree(work_);
    CopyTree(pristine_, work_);
    testing::ScriptedHost host(work_);
    RunCommand(command(), host, fs, &history);
    ASSERT_EQ(host.boxes, Expected(command(), {kCompletedText}));
    ASSERT_TRUE(history.Latest() != nullptr) << "the run changed nothing";
  }

  Boxes UndoOn(FileSystem* fs, History& history) {
    testing::ScriptedHost host(work_);
    UndoLatest(history, host, fs);
    ++Totals().undos;
    return host.boxes;
  }

  void ExpectRestored() {
    Snapshot now = Timed(work_);
    EXPECT_TRUE(now == expected_) << Difference(expected_, now);
    Audit audit = Check(original_, Take(work_), Ending::kCompleted);
    EXPECT_TRUE(audit.Clean()) << audit.notes;
  }

  testing::TempFolder temp_;
  std::string pristine_ = temp_ / "pristine", work_ = temp_ / "work";
  Snapshot original_, expected_;
};

TEST_P(UndoTest, CommandThenUndoGivesBackTheSameTreeOnOneVolumeAndAcross) {
  AcrossVolumes across_volumes;
  for (FileSystem* base : {FileSystem::Default(), static_cast<FileSystem*>(&across_volumes)}) {
    SCOPED_TRACE(base == FileSystem::Default() ? "one volume" : "across volumes");
    History history;
    RunFresh(base, history);
    EXPECT_EQ(UndoOn(base, history), kUndone);
    ExpectRestored();
    EXPECT_EQ(UndoOn(base, history), Boxes({"|没有可以撤销的操作。"}));
  }
}

TEST_P(UndoTest, AnUndoThatAnySingleFailureStopsIsFinishedByASecondOne) {
  AcrossVolumes across_volumes;
  for (FileSystem* base : {FileSystem::Default(), static_cast<FileSystem*>(&across_volumes)}) {
    History counted;
    RunFresh(base, counted);
    FaultyFileSystem counter(base);
    ASSERT_EQ(UndoOn(&counter, counted), kUndone);
    for (Operation operation : kOperations) {
      int calls = counter.Calls(operation);
      for (int nth = 1; nth <= calls; nth += std::max(1, calls / Scaled(2, 60))) {
        SCOPED_TRACE((base == FileSystem::Default() ? "" : "across volumes, ") +
                     std::string("operation ") + std::to_string(static_cast<int>(operation)) +
                     ", call " + std::to_string(nth));
        History history;
        RunFresh(base, history);
        FaultyFileSystem faulty(base);
        faulty.FailAt(operation, nth, nth % 2 ? kPermissionDenied : kDiskFull);
        Boxes first = UndoOn(&faulty, history);
        ++Totals().faults;
        Audit audit = Check(original_, Take(work_), Ending::kFailed);
        EXPECT_TRUE(audit.Clean()) << "after the failure" << audit.notes;
        // A failure the undo can pass by (the sweep of a folder it cannot
        // read) may leave it complete: the tree then tells whether it is.
        if (first != kUndone) {
          ASSERT_EQ(first.size(), 2u);
          EXPECT_TRUE(first[1].starts_with("|操作未完成!!\n")) << first[1];
          EXPECT_EQ(UndoOn(base, history), kUndone);
        }
        ExpectRestored();
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, UndoTest, kEveryCommand, CommandName);

}  // namespace
}  // namespace varnelo::torture
