#ifndef VARNELO_TESTS_TORTURE_TORTURE_H_
#define VARNELO_TESTS_TORTURE_TORTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "filesystem/file_system.h"
#include "tests/support/scripted_host.h"

namespace varnelo::torture {

// Whether this is the long run of `make torture` (VARNELO_TORTURE=long)
// rather than the quick one of `make test`.
bool LongRun();
inline int Scaled(int quick, int long_run) { return LongRun() ? long_run : quick; }

// What the whole suite has done and found, printed when it ends.
struct Figures {
  std::set<std::string> commands;
  int crashes = 0, mid_work = 0, temporaries_left = 0, faults = 0, bad_inputs = 0, undos = 0;
  int lost = 0, damaged = 0, strays = 0;
};
Figures& Totals();

// Every entry below a folder by relative path, as testing::Tree gives it but
// with a checksum of each file's content and its size.
using Snapshot = std::map<std::string, std::string>;
// Whether the entry at `path` is a copy under way, by its hidden name.
bool IsTemporary(const std::string& path);
Snapshot Take(const std::string& root);
// The first few differences, for a failure message.
std::string Difference(const Snapshot& expected, const Snapshot& actual);
// Whether both hold the same set of file contents, wherever and however often.
bool SameContents(const Snapshot& a, const Snapshot& b);

// A state of the folder held against its original state.
struct Audit {
  int lost = 0;     // original contents found nowhere in the folder
  int damaged = 0;  // visible files with a content no original file had
  int strays = 0;   // temporaries or list files still there after a run ended
  std::string notes;
  bool Clean() const { return lost == 0 && damaged == 0 && strays == 0; }
};
// How the run before the audit ended: a killed run may leave its hidden
// temporaries and the list file, a failed one only the list file, a
// completed one neither.
enum class Ending { kKilled, kFailed, kCompleted };
// Counts into Totals().
Audit Check(const Snapshot& original, const Snapshot& now, Ending ending);

// A folder of `files` files directly in it, of varied sizes, names, letter
// cases and modification times, real pictures among them, with hidden files,
// links, sub-folders holding names that collide, and temporaries an earlier
// crash would have left.
void Generate(const std::string& root, unsigned seed, int files);
// As Generate, and then, as if from an earlier run, one file in each folder
// the command makes, under a name the command brings there: so that files
// arriving meet a taken name in every command.
void GenerateFor(const Command& command, const std::string& root, unsigned seed, int files);
// A picture of that size and of the kind its extension names, told apart by
// `id` in bytes after its end, which readers pass over; `padding` more such
// bytes make it large.
void PutPicture(const std::string& path, int width, int height, unsigned id, size_t padding = 0);
void CopyTree(const std::string& from, const std::string& to);

using Boxes = std::vector<std::string>;
// The boxes a command shows, as "title|text": the confirmation, then `reports`.
Boxes Expected(const Command& command, const std::vector<std::string>& reports);
// Whether `boxes` are those of a run that a failure stopped: the
// confirmation, then the path message or one box "操作未完成!!" whose next
// line begins with `reason`.
bool Stopped(const Command& command, const Boxes& boxes, const std::string& reason = "");

// Runs the command in a child process that first calls `enter` (to confine
// itself, or to become another user), and gives the boxes it showed.
// Nothing when `enter` fails: the machine allows no such child.
std::optional<Boxes> RunInChild(const Command& command, const std::string& text,
                                const std::function<bool()>& enter);

// A file system on which no rename crosses into another folder, as across
// volumes: every file placed is a whole copy.
class AcrossVolumes : public FileSystemWrapper {
 public:
  explicit AcrossVolumes(FileSystem* target = FileSystem::Default()) : FileSystemWrapper(target) {}
  Outcome Rename(const std::string& from, const std::string& to) override;
};

// A tmpfs mounted for the life of the object, where the machine allows it.
class Tmpfs {
 public:
  Tmpfs(const std::string& path, const std::string& options);
  ~Tmpfs();
  Tmpfs(const Tmpfs&) = delete;
  Tmpfs& operator=(const Tmpfs&) = delete;
  bool mounted() const { return mounted_; }
  // Shrinks it to what it holds and `spare` bytes more.
  void ShrinkTo(long spare);

 private:
  std::string path_;
  bool mounted_;
};

// The tests of one command, named by its driver name. Instantiated for every
// command by INSTANTIATE_TEST_SUITE_P(Commands, Suite, kEveryCommand, CommandName).
class CommandTest : public ::testing::TestWithParam<const Command*> {
 protected:
  void SetUp() override { Totals().commands.insert(name()); }
  const Command& command() const { return *GetParam(); }
  const char* name() const { return GetParam()->name; }
};

inline const auto kEveryCommand = ::testing::ValuesIn(AllCommands());
inline std::string CommandName(const ::testing::TestParamInfo<const Command*>& info) {
  return info.param->name;
}

}  // namespace varnelo::torture

namespace varnelo {
// Test reports show a command by its driver name.
inline void PrintTo(const Command* command, std::ostream* out) { *out << command->name; }
}  // namespace varnelo

#endif  // VARNELO_TESTS_TORTURE_TORTURE_H_
