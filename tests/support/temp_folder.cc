#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include "filesystem/win32.h"
#include "tests/support/linux_side.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "filesystem/names.h"

namespace varnelo::testing {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& path) {
  return fs::path(std::u8string(path.begin(), path.end()));
}

std::string TextOf(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

#ifdef _WIN32
TempFolder::TempFolder() {
  std::mt19937_64 random{std::random_device{}()};
  for (;;) {
    fs::path candidate = fs::temp_directory_path() / ("varnelo-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path_ = TextOf(candidate);
      return;
    }
  }
}
#else
TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/varnelo-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}
#endif

#ifdef _WIN32
namespace {

bool HoldsReparsePoints(const fs::path& folder) {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (IsReparsePoint(it->path())) return true;
  }
  return false;
}

}  // namespace

// The standard library would walk through a link to a folder, and Wine
// removes none that Linux made.
void RemoveTree(const std::string& path) {
  if (UnderWine() && HoldsReparsePoints(PathOf(path))) {
    RunOnLinuxSide({"rm", "-rf", LinuxPathOf(path)});
  } else {
    fs::remove_all(PathOf(path));
  }
}
#else
void RemoveTree(const std::string& path) { fs::remove_all(path); }
#endif

TempFolder::~TempFolder() {
  try {
    RemoveTree(path_);
  } catch (const std::exception&) {  // left in the temporary folder
  }
}

std::string TempFolder::operator/(const std::string& relative) const {
  return path_ + kPathSeparator + NativePath(relative);
}

std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathSeparator);
  return path;
}

void MakeFolders(const std::string& path) { fs::create_directories(PathOf(path)); }

void PutFile(const std::string& path, const std::string& content) {
  fs::create_directories(PathOf(path).parent_path());
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void MakeHardLink(const std::string& path, const std::string& link) {
  fs::create_hard_link(PathOf(path), PathOf(link));
}

#ifdef _WIN32
unsigned long long FileIdentity(const std::string& path) {
  HANDLE file =
      CreateFileW(PathOf(path).c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("no " + path);
  BY_HANDLE_FILE_INFORMATION info;
  bool known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!known) throw std::runtime_error("no identity for " + path);
  return (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(PathOf(path), error));
}

// In the system's own terms: the C library's calls take no time before 1970.
constexpr long long kTicksPerSecond = 10000000;    // of 100 ns
constexpr long long kSecondsTo1970 = 11644473600;  // from 1601

void SetModificationTime(const std::string& path, std::time_t time) {
  unsigned long long ticks = (time + kSecondsTo1970) * kTicksPerSecond;
  FILETIME at = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  HANDLE file = CreateFileW(PathOf(path).c_str(), FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  bool set = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &at);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!set) throw std::runtime_error("cannot set the time of " + path);
}

std::time_t ModificationTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(PathOf(path).c_str(), GetFileExInfoStandard, &info)) {
    throw std::runtime_error("no " + path);
  }
  const FILETIME& at = info.ftLastWriteTime;
  long long ticks = (static_cast<long long>(at.dwHighDateTime) << 32) | at.dwLowDateTime;
  return ticks / kTicksPerSecond - kSecondsTo1970;
}
#else
unsigned long long FileIdentity(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) throw std::runtime_error("no " + path);
  return info.st_ino;
}

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

void SetModificationTime(const std::string& path, std::time_t time) {
  struct timespec times[2] = {{time, 0}, {time, 0}};
  if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    throw std::runtime_error("cannot set the time of " + path);
  }
}

std::time_t ModificationTime(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) throw std::runtime_error("no " + path);
  return info.st_mtime;
}
#endif

std::map<std::string, std::string> Tree(const std::string& root,
                                        std::string (*file_value)(const std::string& path)) {
  std::map<std::string, std::string> tree;
#ifdef _WIN32
  // Windows cannot read where a link leads, and Wine shows only the Linux
  // links to folders, as reparse points that open as the folder they lead
  // to: such a link is told by where that folder lies in the tree, and not
  // walked through.
  std::map<unsigned long long, std::string> folders = {{FileIdentity(root), ""}};
  std::map<std::string, unsigned long long> links;
#endif
  for (auto it = fs::recursive_directory_iterator(PathOf(root));
       it != fs::recursive_directory_iterator(); ++it) {
    // Keys name sub-folders with "/" on every system, as the tests spell them.
    std::u8string key = it->path().lexically_relative(PathOf(root)).generic_u8string();
    std::string relative(key.begin(), key.end());
    fs::file_status status = it->symlink_status();
#ifdef _WIN32
    if (IsReparsePoint(it->path())) {
      links[relative] = FileIdentity(TextOf(it->path()));
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_directory()) folders[FileIdentity(TextOf(it->path()))] = relative;
#endif
    if (fs::is_symlink(status)) {
      tree[relative] = "-> " + TextOf(fs::read_symlink(it->path()));
    } else if (fs::is_directory(status)) {
      tree[relative] = "/";
    } else if (fs::is_regular_file(status)) {
      tree[relative] = file_value(TextOf(it->path()));
    } else {
      tree[relative] = "|fifo";
    }
  }
#ifdef _WIN32
  for (const auto& [relative, identity] : links) {
    auto folder = folders.find(identity);
    if (folder == folders.end()) {
      tree[relative] = "-> elsewhere";
      continue;
    }
    // As a link names it: from the folder that holds the link.
    const fs::path base = PathOf("tree/" + relative).parent_path();
    const fs::path to = PathOf(folder->second.empty() ? "tree" : "tree/" + folder->second);
    std::u8string target = to.lexically_relative(base).generic_u8string();
    tree[relative] = "-> " + std::string(target.begin(), target.end());
  }
#endif
  return tree;
}

}  // namespace varnelo::testing
