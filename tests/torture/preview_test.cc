// The preview of a run is the run: on every generated folder, the changes
// the simulation records are those the real run that follows records, and
// the simulation changes nothing on the disk.

#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>

#include "filesystem/failure.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"
#include "tests/torture/torture.h"

namespace varnelo::torture {
namespace {

// The disk, read as it is; any change asked of it fails the test.
class Untouchable : public FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;

  void MakeFolder(const std::string& path) override { Refuse("make folder", path); }
  void RemoveFolder(const std::string& path) override { Refuse("remove folder", path); }
  void DeleteFile(const std::string& path) override { Refuse("delete", path); }
  Outcome Rename(const std::string& from, const std::string&) override { Refuse("rename", from); }
  void ReplaceFile(const std::string& from, const std::string&) override {
    Refuse("replace", from);
  }
  Outcome CopyFile(const std::string& from, const std::string&) override { Refuse("copy", from); }
  Outcome WriteFile(const std::string& path, std::string_view) override { Refuse("write", path); }
  void SyncFolder(const std::string& path) override { Refuse("sync", path); }
  void SetModificationTime(const std::string& path, struct timespec) override {
    Refuse("set the time of", path);
  }

 private:
  [[noreturn]] static void Refuse(const char* what, const std::string& path) {
    ADD_FAILURE() << "the simulation asked the disk to " << what << " " << path;
    throw Failure(kPermissionDenied, "untouchable");
  }
};

using Changes = std::vector<std::tuple<int, std::string, std::string, bool>>;

Changes Of(const RunRecord& record) {
  Changes changes;
  for (const Change& c : record.changes) {
    std::string old_path = c.kind == Change::Kind::kFilePlaced ? record.OldPathOf(c) : "";
    changes.emplace_back(static_cast<int>(c.kind), old_path, record.PathOf(c), c.settled);
  }
  return changes;
}

// The first-level folder that a run of `command` on a copy of `folder`
// fills with the most files, or "" where it fills none.
std::string BusiestFolder(const Command& command, const std::string& folder) {
  testing::TempFolder trial;
  CopyTree(folder, trial / "folder");
  const Snapshot before = Take(folder);
  testing::RunScripted(command, trial / "folder");
  std::map<std::string, int> arrivals;
  for (const auto& [path, value] : Take(trial / "folder")) {
    size_t slash = path.find('/');
    if (slash != std::string::npos && value[0] == '#' && !before.contains(path)) {
      ++arrivals[path.substr(0, slash)];
    }
  }
  auto busiest = std::max_element(arrivals.begin(), arrivals.end(),
                                  [](const auto& a, const auto& b) { return a.second < b.second; });
  return busiest == arrivals.end() ? "" : busiest->first;
}

// Simulates the command on `folder` over `base` without a change to the
// disk, then runs it, and holds the two records against each other.
void ExpectThePreviewIsTheRun(const Command& command, const std::string& folder, FileSystem* base) {
  const Snapshot before = Take(folder);
  Untouchable untouchable(base);
  testing::ScriptedHost host(folder);
  std::optional<RunRecord> simulated = Simulate(command, host, &untouchable);
  ASSERT_TRUE(simulated.has_value());
  EXPECT_TRUE(Take(folder) == before) << Difference(before, Take(folder));

  History history;
  RunCommand(command, host, base, &history);
  ASSERT_EQ(host.boxes.back(), std::string("|") + kCompletedText);
  ASSERT_NE(history.Latest(), nullptr);
  EXPECT_EQ(Of(*simulated), Of(*history.Latest()));
  EXPECT_NE(PreviewOf(command, *simulated).summary, kNothingToMoveText);
}

class PreviewTest : public CommandTest {};

TEST_P(PreviewTest, ThePreviewRecordsWhatTheRunDoesAndChangesNothing) {
  AcrossVolumes across_volumes;
  for (unsigned seed = 1; seed <= static_cast<unsigned>(Scaled(2, 12)); ++seed) {
    for (FileSystem* base : {FileSystem::Default(), static_cast<FileSystem*>(&across_volumes)}) {
      SCOPED_TRACE("seed " + std::to_string(seed) +
                   (base == FileSystem::Default() ? "" : ", across volumes"));
      testing::TempFolder temp;
      GenerateFor(command(), temp / "folder", seed, Scaled(30, 200));
      ExpectThePreviewIsTheRun(command(), temp / "folder", base);
    }
  }
}

TEST_P(PreviewTest, ThePreviewOfWholeCopiesIntoAnotherVolumeIsTheRunToo) {
  testing::TempFolder temp;
  const std::string folder = temp / "folder";
  GenerateFor(command(), folder, 5, Scaled(30, 200));
  const std::string busiest = BusiestFolder(command(), folder);
  if (busiest.empty()) GTEST_SKIP() << "the command fills no folder below the one it sorts";
  const std::string target = folder + "/" + busiest;
  std::filesystem::rename(testing::PathOf(target), testing::PathOf(target + ".moving"));
  Tmpfs volume(target, "size=64m");
  if (!volume.mounted()) {
    GTEST_SKIP() << "no second volume can be mounted here: none is tried";
  }
  CopyTree(target + ".moving", target);
  testing::RemoveTree(target + ".moving");
  ExpectThePreviewIsTheRun(command(), folder, FileSystem::Default());
}

INSTANTIATE_TEST_SUITE_P(Commands, PreviewTest, kEveryCommand, CommandName);

}  // namespace
}  // namespace varnelo::torture
