#include "tests/support/temp_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace varnelo::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/varnelo-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void MakeFolders(const std::string& path) { fs::create_directories(path); }

void PutFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
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

std::map<std::string, std::string> Tree(const std::string& root,
                                        std::string (*file_value)(const std::string& path)) {
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    std::string relative = it->path().lexically_relative(root).string();
    fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status)) {
      tree[relative] = "-> " + fs::read_symlink(it->path()).string();
    } else if (fs::is_directory(status)) {
      tree[relative] = "/";
    } else if (fs::is_regular_file(status)) {
      tree[relative] = file_value(it->path().string());
    } else {
      tree[relative] = "|fifo";
    }
  }
  return tree;
}

}  // namespace varnelo::testing
