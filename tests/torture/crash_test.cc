// Kills the driver at random moments of a command and holds the folder to
// the promise: every file whole, at least once, and a second run ending
// where an undisturbed run ends.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <thread>

#include "tests/support/temp_folder.h"
#include "tests/torture/torture.h"

namespace varnelo::torture {
namespace {

using Clock = std::chrono::steady_clock;

struct Drive {
  Boxes boxes;
  long work_us = 0;  // from the confirmation box to the last box
};

// Runs `varnelo-drive COMMAND FOLDER`, with --undo where `undo` says so;
// with `kill_after_us` set, kills it with SIGKILL that many microseconds
// after it has shown its confirmation (with --undo: the undo's).
Drive RunDriver(const std::string& command, const std::string& folder, long kill_after_us = -1,
                bool undo = false) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const char* argv[] = {VARNELO_DRIVE, command.c_str(), folder.c_str(), undo ? "--undo" : nullptr,
                        nullptr};
  const size_t confirmation = undo ? 3 : 1;  // the command's confirmation, its end, the undo's
  pid_t pid;
  int spawned =
      posix_spawn(&pid, VARNELO_DRIVE, &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) throw std::runtime_error("cannot start the driver");
  FILE* output = fdopen(out[0], "r");
  Drive drive;
  Clock::time_point confirmed = Clock::now();
  char* line = nullptr;
  size_t capacity = 0;
  for (ssize_t length; (length = getline(&line, &capacity, output)) > 0;) {
    std::string box(line, length - 1);        // box<TAB>title<TAB>text
    if (!box.starts_with("box\t")) continue;  // a preview
    size_t tab = box.find('\t', 4);
    drive.boxes.push_back(box.substr(4, tab - 4) + "|" + box.substr(tab + 1));
    if (drive.boxes.size() == confirmation) {
      confirmed = Clock::now();
      if (kill_after_us >= 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(kill_after_us));
        kill(pid, SIGKILL);
      }
    }
    drive.work_us =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - confirmed).count();
  }
  free(line);
  fclose(output);
  waitpid(pid, nullptr, 0);
  return drive;
}

Snapshot WithoutTemporaries(Snapshot snapshot) {
  std::erase_if(snapshot, [](const auto& entry) { return IsTemporary(entry.first); });
  return snapshot;
}

// The folder of the first level that receives the most files.
std::string BusiestFolder(const Snapshot& original, const Snapshot& reference) {
  std::map<std::string, int> arrivals;
  for (const auto& [path, value] : reference) {
    size_t slash = path.find('/');
    if (slash != std::string::npos && value[0] == '#' && !original.contains(path)) {
      ++arrivals[path.substr(0, slash)];
    }
  }
  auto busiest = std::max_element(arrivals.begin(), arrivals.end(),
                                  [](const auto& a, const auto& b) { return a.second < b.second; });
  return busiest == arrivals.end() ? "" : busiest->first;
}

// Puts `folder` on a volume of its own, contents and all, so that every file
// it receives is a whole copy; `volume` stays empty where no mount is allowed.
void OnAVolumeOfItsOwn(const std::string& folder, std::optional<Tmpfs>& volume) {
  std::filesystem::rename(folder, folder + ".moving");
  volume.emplace(folder, "size=256m");
  CopyTree(folder + ".moving", folder);
  std::filesystem::remove_all(folder + ".moving");
  if (!volume->mounted()) volume.reset();
}

class CrashTest : public CommandTest {};

TEST_P(CrashTest, EveryFileSurvivesAKillAtAnyMomentAndARerunEndsAsIfUndisturbed) {
  std::mt19937 random(1);
  for (int seed = 1; seed <= Scaled(1, 8); ++seed) {
    testing::TempFolder temp;
    const std::string pristine = temp / "pristine", work = temp / "work";
    GenerateFor(command(), pristine, seed, Scaled(60, 300));
    const Snapshot original = Take(pristine);
    CopyTree(pristine, temp / "reference");
    const Drive undisturbed = RunDriver(name(), temp / "reference");
    ASSERT_EQ(undisturbed.boxes, Expected(command(), {kCompletedText}));
    const Snapshot reference = Take(temp / "reference");
    const std::string busiest = BusiestFolder(original, reference);

    for (int crash = 0; crash < Scaled(4, 50); ++crash) {
      std::filesystem::remove_all(work);
      CopyTree(pristine, work);
      // Every third kill meets whole copies into another volume, where the
      // machine allows a mount and the command fills a folder.
      std::optional<Tmpfs> volume;
      if (crash % 3 == 2 && !busiest.empty()) OnAVolumeOfItsOwn(work + "/" + busiest, volume);
      RunDriver(name(), work, random() % (undisturbed.work_us * 11 / 10 + 1));
      const Snapshot killed = Take(work);
      Audit audit = Check(original, killed, Ending::kKilled);
      EXPECT_TRUE(audit.Clean()) << "after a kill" << audit.notes;
      ++Totals().crashes;
      Snapshot visible = WithoutTemporaries(killed);
      if (visible != WithoutTemporaries(original) && visible != reference) ++Totals().mid_work;
      Totals().temporaries_left += std::count_if(killed.begin(), killed.end(), [&](const auto& e) {
        return IsTemporary(e.first) && !original.contains(e.first);
      });

      EXPECT_EQ(RunDriver(name(), work).boxes, Expected(command(), {kCompletedText}));
      const Snapshot rerun = Take(work);
      audit = Check(original, rerun, Ending::kCompleted);
      EXPECT_TRUE(audit.Clean()) << "after the rerun" << audit.notes;
      if (volume) {
        // A whole copy made before the kill is not known for its source, so
        // the rerun may place the source once more under a numbered name.
        EXPECT_TRUE(SameContents(rerun, reference)) << Difference(reference, rerun);
      } else {
        EXPECT_TRUE(rerun == reference) << Difference(reference, rerun);
      }
    }
  }
}

// The record of a run dies with the process, so nothing more than the
// promise is asked after a kill of its undo.
TEST_P(CrashTest, EveryFileSurvivesAKillAtAnyMomentOfAnUndo) {
  std::mt19937 random(2);
  testing::TempFolder temp;
  const std::string pristine = temp / "pristine", work = temp / "work";
  GenerateFor(command(), pristine, 3, Scaled(60, 300));
  const Snapshot original = Take(pristine);
  CopyTree(pristine, temp / "reference");
  const Drive undisturbed = RunDriver(name(), temp / "reference", -1, true);
  Boxes undone = Expected(command(), {kCompletedText});
  undone.insert(undone.end(), {"请选择|确认撤销上一次操作？", "|撤销已完成!!"});
  ASSERT_EQ(undisturbed.boxes, undone);
  CopyTree(pristine, temp / "sorted");
  RunDriver(name(), temp / "sorted");
  const Snapshot sorted = Take(temp / "sorted");
  const std::string busiest = BusiestFolder(original, sorted);
  for (int crash = 0; crash < Scaled(4, 50); ++crash) {
    std::filesystem::remove_all(work);
    CopyTree(pristine, work);
    std::optional<Tmpfs> volume;
    if (crash % 3 == 2 && !busiest.empty()) OnAVolumeOfItsOwn(work + "/" + busiest, volume);
    RunDriver(name(), work, random() % (undisturbed.work_us * 11 / 10 + 1), true);
    const Snapshot killed = Take(work);
    Audit audit = Check(original, killed, Ending::kKilled);
    EXPECT_TRUE(audit.Clean()) << "after a kill of the undo" << audit.notes;
    Snapshot visible = WithoutTemporaries(killed);
    if (visible != WithoutTemporaries(original) && visible != WithoutTemporaries(sorted)) {
      ++Totals().mid_work;
    }
    ++Totals().crashes;
    ++Totals().undos;
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, CrashTest, kEveryCommand, CommandName);

}  // namespace
}  // namespace varnelo::torture
