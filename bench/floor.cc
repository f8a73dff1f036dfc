// The yardstick of the benchmarks: the least each job needs, written plainly.
// One listing of the folder, one make-folder per target folder, one rename
// per file (never replacing), plus the one look at a file that the year and
// resolution sorts cannot do without. Flattening renames every file found
// below the folder into it and removes the emptied folders.
//   varnelo-floor extension|type|year|resolution|flatten FOLDER

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench/cases.h"
#include "bench/picture_header.h"

namespace varnelo::bench {
namespace {

struct Listed {
  std::string name;
  unsigned char type;
};

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

std::vector<Listed> List(int folder) {
  int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fd < 0 ? nullptr : fdopendir(fd);
  if (dir == nullptr) Fail("list");
  std::vector<Listed> entries;
  while (struct dirent* d = readdir(dir)) {
    if (d->d_name[0] == '.') continue;  // ".", ".." and hidden names alike
    unsigned char type = d->d_type;
    struct stat info;
    if (type == DT_UNKNOWN && fstatat(folder, d->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
      type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    entries.push_back({d->d_name, type});
  }
  closedir(dir);
  return entries;
}

void Move(int folder, const std::string& from, const std::string& to) {
  if (renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) != 0) {
    Fail("rename " + from);
  }
}

std::optional<std::string> TypeFolder(std::string_view extension) {
  for (const GeneratedExtension& known : kExtensions) {
    if (extension == known.extension && known.type_folder != nullptr) return known.type_folder;
  }
  return std::nullopt;
}

std::optional<std::string> YearFolder(int folder, const std::string& name) {
  struct stat info;
  if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) Fail("inspect " + name);
  struct tm local;
  localtime_r(&info.st_mtim.tv_sec, &local);
  return std::to_string(local.tm_year + 1900) + "年";
}

std::optional<std::string> ResolutionFolder(int folder, const std::string& name) {
  std::string_view extension = ExtensionOfName(name);
  if (extension != "jpg" && extension != "png") return std::nullopt;
  int fd = openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("open " + name);
  std::optional<PixelSize> size = ReadPictureHeader(fd);
  close(fd);
  if (!size) return std::nullopt;
  return "class-" + std::to_string(ResolutionClass(size->width, size->height));
}

std::optional<std::string> TargetFolder(const std::string& mode, int folder,
                                        const std::string& name) {
  if (mode == "extension") {
    std::string_view extension = ExtensionOfName(name);
    if (extension.empty()) return std::nullopt;
    return std::string(extension);
  }
  if (mode == "type") return TypeFolder(ExtensionOfName(name));
  if (mode == "year") return YearFolder(folder, name);
  if (mode == "resolution") return ResolutionFolder(folder, name);
  throw std::invalid_argument("unknown mode " + mode);
}

void Sort(const std::string& mode, int folder) {
  std::unordered_set<std::string> made;
  for (const Listed& entry : List(folder)) {
    if (entry.type != DT_REG) continue;
    std::optional<std::string> target = TargetFolder(mode, folder, entry.name);
    if (!target) continue;
    if (made.insert(*target).second && mkdirat(folder, target->c_str(), 0777) != 0 &&
        errno != EEXIST) {
      Fail("make folder " + *target);
    }
    Move(folder, entry.name, *target + "/" + entry.name);
  }
}

// Gathers the files and folders below `relative` (a folder of `root`), each
// folder before what it holds.
void Walk(int root, const std::string& relative, std::vector<std::string>& files,
          std::vector<std::string>& folders) {
  int fd = openat(root, relative.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("open " + relative);
  for (const Listed& entry : List(fd)) {
    std::string path = relative + "/" + entry.name;
    if (entry.type == DT_DIR) {
      folders.push_back(path);
      Walk(root, path, files, folders);
    } else if (entry.type == DT_REG) {
      files.push_back(path);
    }
  }
  close(fd);
}

void Flatten(int root) {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  Walk(root, ".", files, folders);
  for (const std::string& file : files) {
    if (std::count(file.begin(), file.end(), '/') > 1) {
      Move(root, file, file.substr(file.rfind('/') + 1));
    }
  }
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    if (unlinkat(root, folder->c_str(), AT_REMOVEDIR) != 0) Fail("remove " + *folder);
  }
}

int Main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: varnelo-floor extension|type|year|resolution|flatten FOLDER\n");
    return 2;
  }
  std::string mode = argv[1];
  try {
    int folder = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) Fail(argv[2]);
    if (mode == "flatten") {
      Flatten(folder);
    } else {
      Sort(mode, folder);
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "varnelo-floor: %s\n", failure.what());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace varnelo::bench

int main(int argc, char** argv) { return varnelo::bench::Main(argc, argv); }
