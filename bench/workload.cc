#include "bench/workload.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "bench/cases.h"

namespace varnelo::bench {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

// The same numbers on every machine and every run.
class Numbers {
 public:
  explicit Numbers(uint64_t seed) : state_(seed) {}
  int Below(int limit) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<int>(state_ % static_cast<uint64_t>(limit));
  }

 private:
  uint64_t state_;
};

std::string Numbered(const char* format, int number) {
  char text[64];
  std::snprintf(text, sizeof text, format, number);
  return text;
}

void WriteFile(const std::string& path, const std::string& data) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("create " + path);
  bool written = write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
  close(fd);
  if (!written) Fail("write " + path);
}

// Noon of a day in one of the years 2005 to 2025, local time, so that no
// time zone moves it into another year.
void SetYear(const std::string& path, Numbers& numbers) {
  struct tm local = {};
  local.tm_year = 2005 + numbers.Below(21) - 1900;
  local.tm_mon = numbers.Below(12);
  local.tm_mday = 1 + numbers.Below(28);
  local.tm_hour = 12;
  local.tm_isdst = -1;
  struct timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) Fail("set time of " + path);
}

// Writes `count` small files named after `format` into `root`; answers their names.
std::vector<std::string> WriteSmallFiles(const std::string& root, int count, const char* format) {
  Numbers numbers(0x5eed + count);
  std::vector<std::string> names;
  constexpr int kExtensionCount = std::size(kExtensions);
  for (int i = 0; i < count; ++i) {
    std::string name = Numbered(format, i);
    int pick = numbers.Below(kExtensionCount * 10 + 5);  // one file in about nineteen has none
    if (pick < kExtensionCount * 10) name += std::string(".") + kExtensions[pick / 10].extension;
    std::string data(1024 + numbers.Below(3073), static_cast<char>('a' + i % 26));
    WriteFile(root + "/" + name, data);
    SetYear(root + "/" + name, numbers);
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace

void MakeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) Fail("make folder " + path);
}

Pattern MakeSmallFiles(const std::string& root, int count) {
  MakeFolder(root);
  Pattern pattern{root, {}, {}};
  for (std::string& name : WriteSmallFiles(root, count, "file-%05d")) {
    pattern.files.push_back({name, name});
  }
  return pattern;
}

Pattern MakeTree(const std::string& root, int count, int leaf_folders) {
  MakeFolder(root);
  Pattern pattern{root, {}, {}};
  int fan = std::max(1, static_cast<int>(std::lround(std::cbrt(leaf_folders))));
  std::vector<std::string> leaves;
  for (int a = 0; a < fan; ++a) {
    std::string first = Numbered("a%02d", a);
    pattern.folders.push_back(first);
    for (int b = 0; b < fan; ++b) {
      std::string second = first + Numbered("/b%02d", b);
      pattern.folders.push_back(second);
      for (int c = 0; c < fan; ++c) {
        leaves.push_back(second + Numbered("/c%02d", c));
        pattern.folders.push_back(leaves.back());
      }
    }
  }
  int i = 0;
  for (std::string& name : WriteSmallFiles(root, count, "tree-%05d")) {
    pattern.files.push_back({name, leaves[i++ % leaves.size()] + "/" + name});
  }
  return pattern;
}

Pattern MakePictures(const std::string& root, int count, int distinct, double smallest,
                     double largest) {
  MakeFolder(root);
  Pattern pattern{root, {}, {}};
  std::vector<std::string> sources;
  for (int i = 0; i < distinct; ++i) {
    double step = distinct > 1 ? static_cast<double>(i) / (distinct - 1) : 0;
    double pixels = smallest * std::pow(largest / smallest, step) * 1e6;
    int width = static_cast<int>(std::sqrt(pixels * 4 / 3));
    QImage picture(width, width * 3 / 4, QImage::Format_RGB888);
    picture.fill(QColor::fromHsv(i * 360 / distinct, 160, 200));
    const char* kind = i % 2 ? "png" : "jpg";
    sources.push_back(Numbered("size-%02d.", i) + kind);
    if (!picture.save(QString::fromStdString(root + "/" + sources.back()), kind, 90)) {
      throw std::runtime_error("cannot write the picture " + sources.back());
    }
  }
  for (int i = 0; i < count; ++i) {
    const std::string& source = sources[i % distinct];
    pattern.files.push_back({source, Numbered("photo-%05d.", i) + source.substr(8)});
  }
  return pattern;
}

Pattern MakeLargeFiles(const std::string& root, int count, long long bytes) {
  MakeFolder(root);
  Pattern pattern{root, {}, {}};
  for (int i = 0; std::ssize(pattern.files) < count; ++i) {
    const GeneratedExtension& extension = kExtensions[i % std::size(kExtensions)];
    if (extension.type_folder == nullptr) continue;  // only files the sort by type moves
    std::string name = Numbered("large-%02d.", i) + extension.extension;
    std::string path = root + "/" + name;
    WriteFile(path, std::string(4096, 'L'));
    if (truncate(path.c_str(), bytes) != 0) Fail("size " + path);
    pattern.files.push_back({name, name});
  }
  return pattern;
}

void Populate(const Pattern& pattern, const std::string& folder, int file_count) {
  MakeFolder(folder);
  for (const std::string& sub : pattern.folders) MakeFolder(folder + "/" + sub);
  for (int i = 0; i < file_count; ++i) {
    const Pattern::Item& file = pattern.files[i];
    std::string source = pattern.root + "/" + file.source;
    if (link(source.c_str(), (folder + "/" + file.target).c_str()) != 0) Fail("link " + source);
  }
}

long RemoveTree(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return 0;
  long files = 0;
  std::vector<std::string> folders;
  while (struct dirent* d = readdir(dir)) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat info;
    bool is_folder =
        d->d_type == DT_DIR ||
        (d->d_type == DT_UNKNOWN &&
         fstatat(dirfd(dir), d->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode));
    if (is_folder) {
      folders.push_back(path + "/" + name);
      continue;
    }
    ++files;
    if (unlinkat(dirfd(dir), name.c_str(), 0) != 0) Fail("remove " + path + "/" + name);
  }
  closedir(dir);
  for (const std::string& folder : folders) files += RemoveTree(folder);
  if (rmdir(path.c_str()) != 0) Fail("remove " + path);
  return files;
}

std::vector<std::pair<unsigned long, unsigned long>> FileIdentities(const std::string& path) {
  std::vector<std::pair<unsigned long, unsigned long>> identities;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return identities;
  while (struct dirent* d = readdir(dir)) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat info;
    if (lstat((path + "/" + name).c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      auto below = FileIdentities(path + "/" + name);
      identities.insert(identities.end(), below.begin(), below.end());
    } else {
      identities.emplace_back(info.st_dev, info.st_ino);
    }
  }
  closedir(dir);
  std::sort(identities.begin(), identities.end());
  return identities;
}

}  // namespace varnelo::bench
