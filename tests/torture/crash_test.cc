// Kills the driver at random moments of a command and holds the folder to
// the promise: every file whole, at least once, and a second run ending
// where an undisturbed run ends.

#ifdef _WIN32
#include "filesystem/win32.h"
#include "tests/support/windows_process.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

// Kills in the quick part, each followed by a rerun: under Wine a process
// takes long to start.
#ifdef _WIN32
constexpr int kQuickKills = 3;
#else
constexpr int kQuickKills = 4;
#endif

struct Drive {
  Boxes boxes;
  long work_us = 0;  // from the confirmation box to the last box
};

// The driver started on `arguments`, its output read a line at a time.
class DriverProcess {
 public:
  explicit DriverProcess(const std::vector<std::string>& arguments);
  ~DriverProcess();  // waits for it to end
  DriverProcess(const DriverProcess&) = delete;
  DriverProcess& operator=(const DriverProcess&) = delete;
  // The next line, without its end; false once the output ends.
  bool ReadLine(std::string& line);
  // At once, with no chance to tidy up.
  void Kill();

 private:
#ifdef _WIN32
  HANDLE output_ = nullptr;
  PROCESS_INFORMATION process_ = {};
  std::string pending_;
#else
  FILE* output_ = nullptr;
  pid_t pid_ = 0;
#endif
};

#ifdef _WIN32
DriverProcess::DriverProcess(const std::vector<std::string>& arguments) {
  std::wstring line = L"\"" + WideFromUtf8(VARNELO_DRIVE) + L"\"";
  for (const std::string& argument : arguments) line += L" \"" + WideFromUtf8(argument) + L"\"";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE write_end;
  if (!CreatePipe(&output_, &write_end, &inherit, 0)) throw std::runtime_error("pipe");
  SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
  HANDLE nowhere = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = nowhere;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  try {
    process_ = testing::StartProcess(line, startup, true, "the driver");
  } catch (...) {
    CloseHandle(write_end);
    CloseHandle(nowhere);
    CloseHandle(output_);
    throw;
  }
  CloseHandle(write_end);
  CloseHandle(nowhere);
}

DriverProcess::~DriverProcess() {
  CloseHandle(output_);
  WaitForSingleObject(process_.hProcess, INFINITE);
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
}

bool DriverProcess::ReadLine(std::string& line) {
  char buffer[4096];
  size_t end;
  DWORD got;
  while ((end = pending_.find('\n')) == std::string::npos) {
    if (!ReadFile(output_, buffer, sizeof buffer, &got, nullptr) || got == 0) return false;
    pending_.append(buffer, got);
  }
  line = pending_.substr(0, end);
  if (line.ends_with('\r')) line.pop_back();
  pending_.erase(0, end + 1);
  return true;
}

void DriverProcess::Kill() { TerminateProcess(process_.hProcess, 9); }
#else
DriverProcess::DriverProcess(const std::vector<std::string>& arguments) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv = {const_cast<char*>(VARNELO_DRIVE)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int spawned = posix_spawn(&pid_, VARNELO_DRIVE, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    throw std::runtime_error("cannot start the driver");
  }
  output_ = fdopen(out[0], "r");
}

DriverProcess::~DriverProcess() {
  fclose(output_);
  waitpid(pid_, nullptr, 0);
}

bool DriverProcess::ReadLine(std::string& line) {
  char* text = nullptr;
  size_t capacity = 0;
  ssize_t length = getline(&text, &capacity, output_);
  if (length > 0) line.assign(text, text[length - 1] == '\n' ? length - 1 : length);
  free(text);
  return length > 0;
}

void DriverProcess::Kill() { kill(pid_, SIGKILL); }
#endif

// Runs `varnelo-drive COMMAND FOLDER`, with --undo where `undo` says so;
// with `kill_after_us` set, kills it that many microseconds after it has
// shown its confirmation (with --undo: the undo's).
Drive RunDriver(const std::string& command, const std::string& folder, long kill_after_us = -1,
                bool undo = false) {
  std::vector<std::string> arguments = {command, folder};
  if (undo) arguments.push_back("--undo");
  const size_t confirmation = undo ? 3 : 1;  // the command's confirmation, its end, the undo's
  DriverProcess driver(arguments);
  Drive drive;
  Clock::time_point confirmed = Clock::now();
  for (std::string box; driver.ReadLine(box);) {  // box<TAB>title<TAB>text
    if (!box.starts_with("box\t")) continue;      // a preview
    size_t tab = box.find('\t', 4);
    drive.boxes.push_back(box.substr(4, tab - 4) + "|" + box.substr(tab + 1));
    if (drive.boxes.size() == confirmation) {
      confirmed = Clock::now();
      if (kill_after_us >= 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(kill_after_us));
        driver.Kill();
      }
    }
    drive.work_us =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - confirmed).count();
  }
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
  std::filesystem::rename(testing::PathOf(folder), testing::PathOf(folder + ".moving"));
  volume.emplace(folder, "size=256m");
  CopyTree(folder + ".moving", folder);
  testing::RemoveTree(folder + ".moving");
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

    for (int crash = 0; crash < Scaled(kQuickKills, 50); ++crash) {
      testing::RemoveTree(work);
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
  for (int crash = 0; crash < Scaled(kQuickKills, 50); ++crash) {
    testing::RemoveTree(work);
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
