#include "tests/torture/torture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "commands/extension.h"
#include "filesystem/failure.h"
#include "filesystem/file_operations.h"
#include "filesystem/names.h"
#ifdef _WIN32
#include "tests/support/linux_side.h"
#include "tests/support/plain_pictures.h"
#else
#include "tests/support/pictures.h"
#endif
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"

namespace varnelo::torture {
namespace {

namespace fs = std::filesystem;

std::string Checksum(const std::string& path) {
  std::ifstream in(testing::PathOf(path), std::ios::binary);
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  size_t size = 0;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    }
    size += in.gcount();
  }
  char text[48];
  std::snprintf(text, sizeof text, "#%016llx:%zu", static_cast<unsigned long long>(hash), size);
  return text;
}

// `size` bytes that tell `id` apart.
std::string Noise(unsigned id, size_t size) {
  std::mt19937 random(id);
  std::string noise(size, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  return noise;
}

bool IsContent(const std::string& value) { return value[0] == '#' || value.starts_with("-> "); }

std::set<std::string> Contents(const Snapshot& snapshot) {
  std::set<std::string> contents;
  for (const auto& [path, value] : snapshot) {
    if (IsContent(value) && !IsTemporary(path) && path != kListFileName) contents.insert(value);
  }
  return contents;
}

void PrintFigures() {
  const Figures& f = Totals();
  std::printf(
      "torture: %zu commands, %d crashes, %d injected faults, %d bad inputs, %d undos, %d files "
      "lost, %d files damaged, %d stray temporaries\n",
      f.commands.size(), f.crashes, f.faults, f.bad_inputs, f.undos, f.lost, f.damaged, f.strays);
  if (f.crashes > 0) {
    std::printf("torture: %d of the %d kills landed mid-work, %d left a temporary copy\n",
                f.mid_work, f.crashes, f.temporaries_left);
  }
}

}  // namespace

bool LongRun() {
  const char* mode = std::getenv("VARNELO_TORTURE");
  return mode != nullptr && std::string(mode) == "long";
}

bool IsTemporary(const std::string& path) { return IsTemporaryName(NameOf(path)); }

Figures& Totals() {
  static Figures figures;
  return figures;
}

Snapshot Take(const std::string& root) { return testing::Tree(root, Checksum); }

std::string Difference(const Snapshot& expected, const Snapshot& actual) {
  std::string text;
  int shown = 0;
  auto note = [&](const std::string& what, const std::string& path) {
    if (shown++ < 8) text += "\n  " + what + ": " + path;
  };
  for (const auto& [path, value] : expected) {
    auto it = actual.find(path);
    if (it == actual.end()) {
      note("missing", path);
    } else if (it->second != value) {
      note("differs", path);
    }
  }
  for (const auto& [path, value] : actual) {
    if (!expected.contains(path)) note("extra", path);
  }
  return text;
}

bool SameContents(const Snapshot& a, const Snapshot& b) { return Contents(a) == Contents(b); }

Audit Check(const Snapshot& original, const Snapshot& now, Ending ending) {
  Audit audit;
  std::set<std::string> originals = Contents(original);
  std::set<std::string> present;
  for (const auto& [path, value] : now) {
    // A failure may stop the sweep of temporaries from before, never leave its own.
    bool allowed = IsTemporary(path) ? ending == Ending::kKilled ||
                                           (ending == Ending::kFailed && original.contains(path))
                                     : ending != Ending::kCompleted;
    if (IsTemporary(path) || path == kListFileName) {
      if (!allowed) {
        ++audit.strays;
        audit.notes += "\n  left behind: " + path;
      }
    } else if (IsContent(value)) {
      present.insert(value);
      if (!originals.contains(value)) {
        ++audit.damaged;
        audit.notes += "\n  damaged: " + path;
      }
    }
  }
  for (const auto& [path, value] : original) {
    if (IsContent(value) && originals.contains(value) && !present.contains(value)) {
      ++audit.lost;
      audit.notes += "\n  lost: " + path;
      present.insert(value);
    }
  }
  Totals().lost += audit.lost;
  Totals().damaged += audit.damaged;
  Totals().strays += audit.strays;
  return audit;
}

void PutPicture(const std::string& path, int width, int height, unsigned id, size_t padding) {
#ifdef _WIN32
  testing::PutFile(path, testing::PlainPictureFor(path, width, height));
#else
  testing::PutPicture(path, width, height);
#endif
  std::ofstream(testing::PathOf(path), std::ios::binary | std::ios::app) << Noise(id, 16 + padding);
}

namespace {

enum class LinkTo { kFile, kFolder };

// Windows lets only some users make links: where it refuses, the folder has
// none. Wine makes none: there they come from the Linux side, and Wine then
// shows one to a file as the file itself, which Windows never does, so
// those are left out.
void MakeLink(const std::string& target, const std::string& path, [[maybe_unused]] LinkTo kind) {
#ifdef _WIN32
  if (testing::UnderWine()) {
    if (kind == LinkTo::kFolder) {
      testing::RunOnLinuxSide({"ln", "-s", target, testing::LinuxPathOf(path)});
    }
    return;
  }
  std::error_code refused;
  if (kind == LinkTo::kFolder) {
    fs::create_directory_symlink(testing::PathOf(target), testing::PathOf(path), refused);
  } else {
    fs::create_symlink(testing::PathOf(target), testing::PathOf(path), refused);
  }
#else
  fs::create_symlink(target, path);
#endif
}

}  // namespace

void Generate(const std::string& root, unsigned seed, int files) {
  static const char* const kStems[] = {"IMG_",  "img_", "Photo ", "报告 ", "notes",
                                       "-dash", "it's", "Résumé", "a  b",  "x"};
  static const char* const kExtensions[] = {".jpg",  ".JPG", ".png",    ".PNG", ".jpeg", ".bmp",
                                            ".txt",  ".TXT", ".Txt",    ".mp3", ".mkv",  ".pdf",
                                            ".docx", ".exe", ".tar.gz", "",     "."};
  static const char* const kFolders[] = {"",    "",      "",           "",       "",           "",
                                         "jpg", "sub A", "sub A/deep", "子目录", ".hidden sub"};
  std::mt19937 random(seed);
  auto pick = [&](const auto& list) { return std::string(list[random() % std::size(list)]); };
  testing::MakeFolders(root + "/empty");
  std::set<std::string> taken;
  for (int i = 0; i < files * 6 / 5; ++i) {
    std::string folder = i < files ? "" : pick(kFolders);
    std::string name =
        pick(kStems) + std::to_string(random() % (files / 4 + 1)) + pick(kExtensions);
    if (i % 23 == 0) name = "." + name;
    std::string path = root + "/" + (folder.empty() ? "" : folder + "/") + name;
    if (!taken.insert(path).second) continue;
    std::string extension(ExtensionOf(name));
    unsigned id = seed * 100003 + i;
    if (extension == "jpg" || extension == "JPG" || extension == "png" || extension == "jpeg" ||
        extension == "bmp") {
      bool large = random() % 40 == 0 && extension != "bmp";
      PutPicture(path, large ? 1300 + random() % 700 : 1 + random() % 320,
                 large ? 700 + random() % 400 : 1 + random() % 240, id);
    } else {
      int scale = random() % 20;
      size_t size = scale == 0  ? 64 * 1024 + random() % (192 * 1024)
                    : scale < 6 ? random() % 32768
                                : random() % 512;
      testing::PutFile(path, "file " + std::to_string(id) + "\n" + Noise(id, size));
    }
    testing::SetModificationTime(path, -800000000 + static_cast<long>(random() % 3500000000u));
  }
  testing::PutFile(root + "/empty.txt", "");
  MakeLink(taken.begin()->substr(root.size() + 1), root + "/link to a file.txt", LinkTo::kFile);
  MakeLink("nowhere", root + "/dangling.lnk", LinkTo::kFile);
  // Links to folders: one beside them, and one back up that a walk
  // following links would go round in for ever.
  testing::MakeFolders(root + "/sub A");
  MakeLink("sub A", root + "/to sub A", LinkTo::kFolder);
  MakeLink("..", root + "/sub A/up", LinkTo::kFolder);
  // What a crash in the middle of a copy leaves, for the next command to sweep away.
  testing::PutFile(root + "/" + TemporaryName(1), "half");
  testing::PutFile(root + "/sub A/" + TemporaryName(2), "half");
  // The user's own, named like them.
  testing::PutFile(root + "/" + std::string(kTemporaryPrefix) + "notes.txt", "mine");
  testing::PutFile(root + "/sub A/" + std::string(kTemporaryPrefix) + "1-1", "mine too");
}

void GenerateFor(const Command& command, const std::string& root, unsigned seed, int files) {
  Generate(root, seed, files);
  testing::TempFolder trial;
  CopyTree(root, trial / "folder");
  testing::RunScripted(command, trial / "folder");
  const Snapshot original = Take(root);
  std::set<std::string> seeded;
  for (const auto& [path, value] : Take(trial / "folder")) {
    std::string folder(ParentOf(path));
    if (IsContent(value) && !folder.empty() && folder.find('/') == std::string::npos &&
        !original.contains(folder) && seeded.insert(folder).second) {
      testing::PutFile(root + "/" + path, "from an earlier run: " + path);
    }
  }
}

#ifdef _WIN32
namespace {

// To the hundred nanoseconds, a folder's too: the undo is held to them.
void CopyModificationTime(const fs::path& from, const fs::path& to) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  HANDLE target = CreateFileW(to.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  bool copied = target != INVALID_HANDLE_VALUE &&
                GetFileAttributesExW(from.c_str(), GetFileExInfoStandard, &info) &&
                SetFileTime(target, nullptr, nullptr, &info.ftLastWriteTime);
  if (target != INVALID_HANDLE_VALUE) CloseHandle(target);
  if (!copied) throw std::runtime_error("cannot copy the time of " + testing::TextOf(from));
}

// As the Linux side's cp -a: into a folder that may be there already, with
// every time kept and links copied as links.
void CopyEntry(const fs::path& from, const fs::path& to) {
  if (testing::UnderWine() && testing::IsReparsePoint(from)) {
    // A link from the Linux side, which only that side can copy.
    testing::RunOnLinuxSide({"cp", "-a", testing::LinuxPathOf(testing::TextOf(from)),
                             testing::LinuxPathOf(testing::TextOf(to))});
    return;
  }
  const fs::file_status status = fs::symlink_status(from);
  if (fs::is_symlink(status)) {
    fs::copy_symlink(from, to);
    return;
  }
  if (fs::is_directory(status)) {
    fs::create_directory(to);
    for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
      CopyEntry(entry.path(), to / entry.path().filename());
    }
  } else {
    fs::copy_file(from, to);
  }
  CopyModificationTime(from, to);
}

}  // namespace

void CopyTree(const std::string& from, const std::string& to) {
  fs::create_directories(testing::PathOf(to).parent_path());
  CopyEntry(testing::PathOf(from), testing::PathOf(to));
}
#else
void CopyTree(const std::string& from, const std::string& to) {
  std::string source = from + "/.";
  fs::create_directories(fs::path(to).parent_path());
  const char* argv[] = {"cp", "-a", source.c_str(), to.c_str(), nullptr};
  pid_t pid;
  int status;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, const_cast<char**>(argv), environ) != 0 ||
      waitpid(pid, &status, 0) != pid || status != 0) {
    throw std::runtime_error("cannot copy " + from);
  }
}
#endif

Boxes Expected(const Command& command, const std::vector<std::string>& reports) {
  Boxes boxes = {std::string(kConfirmTitle) + "|" + command.prompt};
  for (const std::string& report : reports) boxes.push_back("|" + report);
  return boxes;
}

bool Stopped(const Command& command, const Boxes& boxes, const std::string& reason) {
  if (reason.empty() && boxes == Expected(command, {kCheckPathText})) return true;
  return boxes.size() == 2 && boxes[0] == Expected(command, {})[0] &&
         boxes[1].starts_with("|操作未完成!!\n" + reason);
}

#ifdef _WIN32
// No process can be forked there: the tests that need one are skipped.
std::optional<Boxes> RunInChild(const Command&, const std::string&, const std::function<bool()>&) {
  return std::nullopt;
}
#else
std::optional<Boxes> RunInChild(const Command& command, const std::string& text,
                                const std::function<bool()>& enter) {
  int out[2];
  if (pipe(out) != 0) return std::nullopt;
  pid_t pid = fork();
  if (pid == 0) {
    close(out[0]);
    if (!enter()) _exit(3);
    std::string boxes;
    // Each box ended by a null character: a box's text may hold line breaks.
    for (const std::string& box : testing::RunScripted(command, text)) boxes += box + '\0';
    _exit(write(out[1], boxes.data(), boxes.size()) == static_cast<ssize_t>(boxes.size()) ? 0 : 4);
  }
  close(out[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) output.append(buffer, n);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 3) return std::nullopt;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the command crashed";
  Boxes boxes;
  for (size_t start = 0, end; (end = output.find('\0', start)) != std::string::npos;
       start = end + 1) {
    boxes.push_back(output.substr(start, end - start));
  }
  return boxes;
}
#endif

Outcome AcrossVolumes::Rename(const std::string& from, const std::string& to) {
  if (ParentOf(from) != ParentOf(to)) return Outcome::kOtherVolume;
  return FileSystemWrapper::Rename(from, to);
}

#ifdef _WIN32
// No volume is mounted on the fly there: the tests that need one are skipped.
Tmpfs::Tmpfs(const std::string& path, const std::string&) : path_(path), mounted_(false) {
  testing::MakeFolders(path);
}
Tmpfs::~Tmpfs() = default;
void Tmpfs::ShrinkTo(long) {}
#else
Tmpfs::Tmpfs(const std::string& path, const std::string& options) : path_(path) {
  testing::MakeFolders(path);
  mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

Tmpfs::~Tmpfs() {
  if (mounted_) umount2(path_.c_str(), MNT_DETACH);
}

void Tmpfs::ShrinkTo(long spare) {
  struct statvfs info;
  ASSERT_EQ(statvfs(path_.c_str(), &info), 0);
  long used = static_cast<long>(info.f_blocks - info.f_bfree) * info.f_frsize;
  std::string options = "size=" + std::to_string(used + spare);
  ASSERT_EQ(mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT, options.c_str()), 0);
}
#endif

}  // namespace varnelo::torture

int main(int argc, char** argv) {
  // Thousands of folders are made and removed: in memory, where the machine
  // has it, unless told otherwise. A kill tests the program, not the disk.
#ifndef _WIN32
  if (std::getenv("TMPDIR") == nullptr && access("/dev/shm", W_OK) == 0) {
    setenv("TMPDIR", "/dev/shm", 0);
  }
#endif
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  varnelo::torture::PrintFigures();
  return result;
}
