#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "filesystem/failure.h"
#include "filesystem/file_system.h"

namespace varnelo {
namespace {

[[noreturn]] void Fail(const std::string& context) { throw FailureFromErrno(errno, context); }

EntryKind KindOf(const std::string& path, mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::kFile;
  if (S_ISDIR(mode)) return EntryKind::kFolder;
  if (!S_ISLNK(mode)) return EntryKind::kOther;
  struct stat target;
  if (stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return EntryKind::kFolderLink;
  return EntryKind::kFile;
}

// Links, and volumes that do not tell an entry's type in the listing, cost
// a look at the entry; anything else is told by the listing alone.
Entry EntryOf(const std::string& prefix, std::string_view name, unsigned char type) {
  switch (type) {
    case DT_REG:
      return {std::string(name), EntryKind::kFile};
    case DT_DIR:
      return {std::string(name), EntryKind::kFolder};
    case DT_LNK:
      return {std::string(name), KindOf(prefix + std::string(name), S_IFLNK), true};
    case DT_UNKNOWN: {
      std::string path = prefix + std::string(name);
      struct stat info;
      if (lstat(path.c_str(), &info) != 0) return {std::string(name), EntryKind::kOther};
      return {std::string(name), KindOf(path, info.st_mode), S_ISLNK(info.st_mode)};
    }
    default:
      return {std::string(name), EntryKind::kOther};
  }
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool CopyWithKernel(int from, int to) {
  for (;;) {
    ssize_t copied = copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (copied == 0) return true;
    if (copied > 0) continue;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return false;
    return true;  // a real failure: let the plain loop meet it and report it
  }
}

void CopyWithBuffer(int from, int to, const std::string& context) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t got = read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail(context);
    if (got == 0) return;
    for (ssize_t put = 0; put < got;) {
      ssize_t n = write(to, buffer.data() + put, got - put);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail(context);
      put += n;
    }
  }
}

// The text of the link at `path`. The size a look reported is only a hint:
// the link may have been made anew since, so the text is read until it fits.
std::string ReadLinkText(const std::string& path, size_t hint) {
  for (size_t size = hint + 1;; size *= 2) {
    std::string text(size, '\0');
    ssize_t length = readlink(path.c_str(), text.data(), text.size());
    if (length < 0) Fail("read link " + path);
    if (static_cast<size_t>(length) < size) {
      text.resize(length);
      return text;
    }
  }
}

// The outcome for a target that could not be created: the name is taken,
// or the failure is thrown.
Outcome NotCreated(const std::string& context) { return OutcomeFromErrno(errno, context); }

Outcome CopyLink(const std::string& from, const std::string& to, const struct stat& info) {
  std::string target = ReadLinkText(from, info.st_size);
  if (symlink(target.c_str(), to.c_str()) != 0) return NotCreated("make link " + to);
  struct timespec times[2] = {info.st_atim, info.st_mtim};
  if (utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    int error = errno;
    unlink(to.c_str());
    throw FailureFromErrno(error, "set times of " + to);
  }
  return Outcome::kDone;
}

Outcome CopyData(const std::string& from, const std::string& to, const struct stat& info) {
  FileDescriptor source(open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (source.get() < 0) Fail("open " + from);
  FileDescriptor target(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (target.get() < 0) return NotCreated("create " + to);
  try {
    if (!CopyWithKernel(source.get(), target.get())) {
      if (lseek(source.get(), 0, SEEK_SET) < 0 || ftruncate(target.get(), 0) != 0 ||
          lseek(target.get(), 0, SEEK_SET) < 0) {
        Fail("rewind " + from);
      }
    }
    CopyWithBuffer(source.get(), target.get(), "copy " + from + " to " + to);
    struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (fchmod(target.get(), info.st_mode & 07777) != 0 || futimens(target.get(), times) != 0 ||
        fdatasync(target.get()) != 0 || close(target.Release()) != 0) {
      Fail("finish " + to);
    }
  } catch (...) {
    unlink(to.c_str());
    throw;
  }
  return Outcome::kDone;
}

// For volumes that cannot refuse to replace by themselves: a second name,
// then the first one dropped. Where the volume has no second names either,
// a look then a rename is the best it allows.
Outcome RenameByLink(const std::string& from, const std::string& to) {
  if (linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) == 0) {
    if (unlink(from.c_str()) != 0) Fail("rename " + from);
    return Outcome::kDone;
  }
  if (errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP) return NotCreated("rename " + from);
  struct stat info;
  if (lstat(to.c_str(), &info) == 0) return Outcome::kNameTaken;
  if (rename(from.c_str(), to.c_str()) != 0) return NotCreated("rename " + from);
  return Outcome::kDone;
}

class PosixFileSystem : public FileSystem {
 public:
  std::vector<Entry> ReadFolder(const std::string& folder) override {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) Fail("list " + folder);
    std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    std::vector<Entry> entries;
    // errno is cleared before every readdir: telling a link's kind calls
    // stat, which leaves ENOENT behind for a dangling link.
    for (errno = 0; struct dirent* d = readdir(dir.get()); errno = 0) {
      std::string_view name = d->d_name;
      if (name == "." || name == "..") continue;
      entries.push_back(EntryOf(prefix, name, d->d_type));
    }
    if (errno != 0) Fail("list " + folder);
    return entries;
  }

  std::optional<EntryInfo> Inspect(const std::string& path) override {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
      Fail("inspect " + path);
    }
    return EntryInfo{KindOf(path, info.st_mode),
                     S_ISLNK(info.st_mode),
                     (info.st_mode & S_IWUSR) != 0,
                     info.st_mtim,
                     info.st_dev,
                     info.st_ino,
                     info.st_nlink,
                     static_cast<uintmax_t>(info.st_size)};
  }

  void MakeFolder(const std::string& path) override {
    if (mkdir(path.c_str(), 0777) != 0) Fail("make folder " + path);
  }

  void RemoveFolder(const std::string& path) override {
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
      if (unlink(path.c_str()) != 0) Fail("remove link " + path);
    } else if (rmdir(path.c_str()) != 0) {
      Fail("remove folder " + path);
    }
  }

  void DeleteFile(const std::string& path) override {
    if (unlink(path.c_str()) != 0) Fail("delete " + path);
  }

  Outcome Rename(const std::string& from, const std::string& to) override {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return Outcome::kDone;
    }
    if (errno == EINVAL || errno == ENOSYS) return RenameByLink(from, to);
    return NotCreated("rename " + from);
  }

  void ReplaceFile(const std::string& from, const std::string& to) override {
    if (rename(from.c_str(), to.c_str()) != 0) Fail("rename " + from);
  }

  Outcome CopyFile(const std::string& from, const std::string& to) override {
    struct stat info;
    if (lstat(from.c_str(), &info) != 0) Fail("copy " + from);
    if (S_ISLNK(info.st_mode)) return CopyLink(from, to, info);
    if (S_ISREG(info.st_mode)) return CopyData(from, to, info);
    throw Failure(kPathFileAccessError, "copy " + from + ": not a file");
  }

  Outcome WriteFile(const std::string& path, std::string_view data) override {
    FileDescriptor file(
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.get() < 0) return NotCreated("write " + path);
    for (size_t put = 0; put < data.size();) {
      ssize_t n = write(file.get(), data.data() + put, data.size() - put);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail("write " + path);
      put += n;
    }
    if (close(file.Release()) != 0) Fail("write " + path);
    return Outcome::kDone;
  }

  void SyncFolder(const std::string& folder) override {
    FileDescriptor file(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (file.get() < 0 || fsync(file.get()) != 0) Fail("sync " + folder);
  }

  std::string ReadFile(const std::string& path, size_t limit) override {
    // Not blocking, so a FIFO that took a file's place cannot hang the
    // command, and refused before a byte of it or of a device is read.
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) Fail("read " + path);
    struct stat info;
    if (fstat(file.get(), &info) != 0) Fail("read " + path);
    if (!S_ISREG(info.st_mode))
      throw Failure(kPathFileAccessError, "read " + path + ": not a file");
    std::string data(limit, '\0');
    size_t got = 0;
    while (got < limit) {
      ssize_t n = read(file.get(), data.data() + got, limit - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail("read " + path);
      if (n == 0) break;
      got += n;
    }
    data.resize(got);
    return data;
  }
};

}  // namespace

FileSystem* FileSystem::Default() {
  static PosixFileSystem* instance = new PosixFileSystem;
  return instance;
}

}  // namespace varnelo
