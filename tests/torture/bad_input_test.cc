// Feeds each command the drop box texts and folder contents a user can give
// it: each gets its designed result, and nothing is lost.

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "filesystem/failure.h"
#include "filesystem/names.h"
#include "tests/support/temp_folder.h"
#include "tests/torture/torture.h"
#include "window/prompt.h"

namespace varnelo::torture {
namespace {

namespace fs = std::filesystem;

// Deletes the victims just before the first file is placed: after the
// command has listed its files, before it reaches them.
class Vanishing : public FileSystemWrapper {
 public:
  explicit Vanishing(std::vector<std::string> victims)
      : FileSystemWrapper(FileSystem::Default()), victims_(std::move(victims)) {}
  Outcome Rename(const std::string& from, const std::string& to) override {
    Vanish();
    return FileSystemWrapper::Rename(from, to);
  }

 private:
  void Vanish() {
    std::error_code gone;
    for (const std::string& victim : victims_) fs::remove(testing::PathOf(victim), gone);
    victims_.clear();
  }
  std::vector<std::string> victims_;
};

// A text typed into the drop box, and what it names.
struct DropBoxCase {
  std::string text;
  std::string sorts;  // the folder it names, where it names one
  bool bad_name;      // no name at all: the path message, also for flattening
};

class BadInputTest : public CommandTest {
 protected:
  // A sample folder as the command leaves it, to be copied where a text sorts.
  Snapshot SortedSample() {
    Generate(pristine_, 3, 10);
    CopyTree(pristine_, work_);
    EXPECT_EQ(testing::RunScripted(command(), work_), Expected(command(), {kCompletedText}));
    return Take(work_);
  }

  // The boxes `c` gets; `expected` learns the folder it sorts, if any.
  std::vector<std::string> ReportsOf(const DropBoxCase& c, const Snapshot& sorted,
                                     Snapshot& expected) {
    ++Totals().bad_inputs;
    if (!c.sorts.empty()) {
      std::erase_if(expected, [&](const auto& e) { return e.first.starts_with(c.sorts + "/"); });
      for (const auto& [path, value] : sorted) expected[c.sorts + "/" + path] = value;
      return {kCompletedText};
    }
    if (c.bad_name || command().reported_number == kPathNotFound) return {kCheckPathText};
    return {"操作未完成!!\n出错（错误号 76）。"};
  }

  testing::TempFolder temp_;
  const std::string pristine_ = temp_ / "pristine", work_ = temp_ / "work";
};

#ifndef _WIN32
// Makes `root` the root of this process, so that no path can reach beyond it.
bool Confine(const std::string& root) {
  if (geteuid() != 0) {
    std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
    if (unshare(CLONE_NEWUSER) != 0) return false;
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
    std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
  }
  return chroot(root.c_str()) == 0 && chdir("/") == 0;
}

// Runs the command in a child confined to `root`: even an empty text, or
// one that a command takes for the root of the disk, can change nothing
// outside. Nothing when the machine allows no confinement.
std::optional<Boxes> RunConfined(const Command& command, const std::string& root,
                                 const std::string& text) {
  return RunInChild(command, text, [&] { return Confine(root); });
}

std::string Printable(const std::string& text) {
  std::string printable;
  for (char c : text.substr(0, 60))
    printable += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
  return "\"" + printable + (text.size() > 60 ? "...\"" : "\"");
}

TEST_P(BadInputTest, DropBoxTextsGetTheirBoxAndChangeNothingButTheFolderTheyName) {
  const Snapshot sorted = SortedSample();
  if (HasFailure()) return;
  // A small machine of its own, where the texts' paths begin.
  const std::string root = temp_ / "root";
  std::string deep = "/work";
  while (deep.size() < 3800) deep += "/" + std::string(190, 'd');
  for (const std::string& folder :
       {std::string("/work/folder"), std::string("/work/real"), deep + "/folder"}) {
    CopyTree(pristine_, root + folder);
  }
  testing::PutFile(root + "/work/file.png", "a file, not a folder");
  testing::PutFile(root + "/work/other/a.txt", "a");
  testing::PutFile(root + "/work/line\nbreak/a.txt", "a");
  fs::create_symlink("real", root + "/work/link");

  const DropBoxCase cases[] = {
      {"", "", true},
      {kPrompt, "", true},
      {"/work/file.png", "", false},
      {"/work/folder/work/other", "", false},
      {"/work/line\nbreak", "", true},
      {"/work/folder/", "work/folder", false},
      {deep + "/folder", deep.substr(1) + "/folder", false},
      {"/work/link", "work/real", false},
  };
  Snapshot expected = Take(root);
  for (const DropBoxCase& c : cases) {
    std::optional<Boxes> boxes = RunConfined(command(), root, c.text);
    if (!boxes) GTEST_SKIP() << "cannot confine a command here: the drop box texts are not tried";
    EXPECT_EQ(*boxes, Expected(command(), ReportsOf(c, sorted, expected))) << Printable(c.text);
  }
  Snapshot after = Take(root);
  EXPECT_TRUE(after == expected) << Difference(expected, after);
}

#else
// Run in a folder of the test's own, where any text taken for a relative
// path lands.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) {
    GetCurrentDirectoryW(MAX_PATH, before_);
    SetCurrentDirectoryW(testing::PathOf(folder).c_str());
  }
  ~InFolder() { SetCurrentDirectoryW(before_); }

 private:
  wchar_t before_[MAX_PATH];
};

TEST_P(BadInputTest, WindowsDropBoxTextsGetTheirBoxAndChangeNothingButTheFolderTheyName) {
  const Snapshot sorted = SortedSample();
  if (HasFailure()) return;
  const std::string root = temp_ / "root";
  // Paths beyond 260 characters are left out: the standard library's walk
  // of the tree cannot follow them there.
  for (const char* folder : {"folder", "slashed"}) CopyTree(pristine_, root + "/" + folder);
  testing::PutFile(root + "/file.png", "a file, not a folder");
  const std::string at = testing::NativePath(root) + "\\";
  std::string forward = root;
  std::replace(forward.begin(), forward.end(), '\\', '/');
  const DropBoxCase cases[] = {
      {"", "", true},
      {"   ", "", true},
      {kPrompt, "", true},
      {at + "file.png", "", false},
      {at + "no such", "", false},
      {at + "line\nbreak", "", true},
      {at + "folder\\", "folder", false},
      {forward + "/slashed", "slashed", false},
  };
  InFolder in_root(root);
  Snapshot expected = Take(root);
  for (const DropBoxCase& c : cases) {
    std::vector<std::string> reports = ReportsOf(c, sorted, expected);
    EXPECT_EQ(testing::RunScripted(command(), c.text), Expected(command(), reports))
        << ::testing::PrintToString(c.text);
  }
  Snapshot after = Take(root);
  EXPECT_TRUE(after == expected) << Difference(expected, after);
}
#endif

// Names each system allows: Windows forbids quotes and line breaks, and
// every name there is Unicode.
#ifdef _WIN32
constexpr const char* kOddNames[] = {"with  spaces .png", "quote's [1] {2} #%&.png",
                                     "-rf --help.png",    "emoji 😀🎉.png",
                                     "中文名字.png",      "read-only.png"};
constexpr const char* kOddFolders[] = {"/", "/子 目录 😀/", "/a.b. c/"};
#else
constexpr const char* kOddNames[] = {
    "with  spaces .png", "quote's \"double\".png", "-rf --help.png", "emoji 😀🎉.png",
    "中文名字.png",      "line\nbreak.png",        "caf\xe9.png",    "read-only.png"};
constexpr const char* kOddFolders[] = {"/", "/子 目录 😀/", "/caf\xe9 folder/", "/sub\nline/"};
#endif

TEST_P(BadInputTest, OddNamesAndEntriesAreSortedOrLeftAloneButNeverLost) {
  // 255 bytes: a numbered name must be shortened, at a character's edge.
  std::string longest;
  for (int i = 0; i < 83; ++i) longest += "图";
  longest += "ab.png";
  unsigned id = 0;
  for (const std::string folder : kOddFolders) {
    for (const char* name : kOddNames) PutPicture(work_ + folder + name, 8, 8, ++id);
    PutPicture(work_ + folder + longest, 8, 8, ++id);
  }
  fs::permissions(testing::PathOf(work_ + "/read-only.png"), fs::perms::owner_write,
                  fs::perm_options::remove);
#ifndef _WIN32
  ASSERT_EQ(mkfifo((work_ + "/fifo.png").c_str(), 0600), 0);
  fs::create_symlink("..", work_ + "/子 目录 😀/loop");
#endif
  Snapshot all = Take(work_);
  EXPECT_EQ(testing::RunScripted(command(), work_), Expected(command(), {kCompletedText}));
  // Once more, with the longest name arriving where it is taken already.
  if (!testing::Exists(work_ + "/" + longest)) PutPicture(work_ + "/" + longest, 8, 8, ++id);
  for (const auto& [path, value] : Take(work_)) all["later/" + path] = value;
  EXPECT_EQ(testing::RunScripted(command(), work_), Expected(command(), {kCompletedText}));
  Snapshot after = Take(work_);
  Totals().bad_inputs += std::size(kOddNames) + 3;
  Audit audit = Check(all, after, Ending::kCompleted);
  EXPECT_TRUE(audit.Clean()) << audit.notes;
#ifndef _WIN32
  EXPECT_EQ(after["fifo.png"], "|fifo");
#endif
}

TEST_P(BadInputTest, AFileNamedLikeATargetFolderStopsTheCommandThereAndLosesNothing) {
  Generate(pristine_, 5, 16);
  const Snapshot original = Take(pristine_);
  CopyTree(pristine_, work_);
  ASSERT_EQ(testing::RunScripted(command(), work_), Expected(command(), {kCompletedText}));
  const Snapshot sorted = Take(work_);
  std::vector<std::string> targets;
  for (const auto& [path, value] : sorted) {
    if (value == "/" && path.find('/') == std::string::npos && !original.contains(path)) {
      targets.push_back(path);
    }
  }
  if (targets.empty()) GTEST_SKIP() << "the " << name() << " command makes no folders";
  targets.resize(std::min<size_t>(targets.size(), Scaled(2, 100)));
  for (const std::string& target : targets) {
    testing::RemoveTree(work_);
    CopyTree(pristine_, work_);
    // Dated like a file bound for that folder, so that it too would go there.
    auto bound = std::find_if(sorted.begin(), sorted.end(), [&](const auto& e) {
      return e.first.starts_with(target + "/") && original.contains(std::string(NameOf(e.first)));
    });
    ASSERT_NE(bound, sorted.end());
    testing::PutFile(work_ + "/" + target, "in the way");
    testing::SetModificationTime(
        work_ + "/" + target,
        testing::ModificationTime(pristine_ + "/" + std::string(NameOf(bound->first))));
    const Snapshot before = Take(work_);
    // It stops there: naming the file where making the folder fails, with
    // the path message where the command takes the file for its folder and
    // the move into it finds no such folder.
    Boxes boxes = testing::RunScripted(command(), work_);
    if (boxes != Expected(command(), {kCheckPathText})) {
      EXPECT_TRUE(Stopped(command(), boxes, "已有同名的文件：" + target))
          << target << ::testing::PrintToString(boxes);
    }
    ++Totals().bad_inputs;
    Snapshot after = Take(work_);
    Audit audit = Check(before, after, Ending::kFailed);
    EXPECT_TRUE(audit.Clean()) << target << audit.notes;
    EXPECT_EQ(after[target], before.at(target));
  }
}

TEST_P(BadInputTest, AFileThatVanishesBetweenListingAndMovingIsPassedOver) {
  Generate(work_, 9, 16);
  std::vector<std::string> victims = {"zz vanishing.png", "sub A/zz vanishing.png"};
  for (const std::string& victim : victims) PutPicture(work_ + "/" + victim, 8, 8, victim.size());
  Snapshot original = Take(work_);
  for (std::string& victim : victims) {
    original.erase(victim);
    victim = work_ + "/" + victim;
  }
  Vanishing vanishing(victims);
  Boxes boxes = testing::RunScripted(command(), work_, &vanishing);
  EXPECT_EQ(boxes, Expected(command(), {kCompletedText}));
  ++Totals().bad_inputs;
  Audit audit = Check(original, Take(work_), Ending::kCompleted);
  EXPECT_TRUE(audit.Clean()) << audit.notes;
}

INSTANTIATE_TEST_SUITE_P(Commands, BadInputTest, kEveryCommand, CommandName);

}  // namespace
}  // namespace varnelo::torture
