#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "filesystem/failure.h"
#include "filesystem/file_system.h"
#include "filesystem/taken_ahead.h"

namespace varnelo {
namespace {

[[noreturn]] void Fail(const std::string& context) { throw FailureFromErrno(errno, context); }

// A path as the kernel walks it: from a folder held open, or from the
// working folder.
struct Where {
  int folder;
  const char* path;
};

EntryKind KindOf(Where where, mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::kFile;
  if (S_ISDIR(mode)) return EntryKind::kFolder;
  if (!S_ISLNK(mode)) return EntryKind::kOther;
  struct stat target;
  if (fstatat(where.folder, where.path, &target, 0) == 0 && S_ISDIR(target.st_mode)) {
    return EntryKind::kFolderLink;
  }
  return EntryKind::kFile;
}

// Links, and volumes that do not tell an entry's type in the listing, cost
// a look at the entry; anything else is told by the listing alone.
Entry EntryOf(int folder, const char* name, unsigned char type) {
  switch (type) {
    case DT_REG:
      return {name, EntryKind::kFile};
    case DT_DIR:
      return {name, EntryKind::kFolder};
    case DT_LNK:
      return {name, KindOf({folder, name}, S_IFLNK), true};
    case DT_UNKNOWN: {
      struct stat info;
      if (fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return {name, EntryKind::kOther};
      return {name, KindOf({folder, name}, info.st_mode), S_ISLNK(info.st_mode)};
    }
    default:
      return {name, EntryKind::kOther};
  }
}

// What a look at the entry `where` told, as the commands know entries.
EntryInfo InfoOf(Where where, const struct stat& info) {
  return {KindOf(where, info.st_mode),
          S_ISLNK(info.st_mode),
          (info.st_mode & S_IWUSR) != 0,
          info.st_mtim,
          info.st_dev,
          info.st_ino,
          info.st_nlink,
          static_cast<uint64_t>(info.st_size)};
}

std::optional<EntryInfo> LookAt(Where where, const std::string& path) {
  struct stat info;
  if (fstatat(where.folder, where.path, &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    Fail("inspect " + path);
  }
  return InfoOf(where, info);
}

// The part of `path` below the folder `prefix` (ending in a separator), or
// nullptr.
const char* Below(const std::string& prefix, const std::string& path) {
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return nullptr;
  return path.c_str() + prefix.size();
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
std::string ReadLinkText(Where link, size_t hint) {
  for (size_t size = hint + 1;; size *= 2) {
    std::string text(size, '\0');
    ssize_t length = readlinkat(link.folder, link.path, text.data(), text.size());
    if (length < 0) Fail(std::string("read link ") + link.path);
    if (static_cast<size_t>(length) < size) {
      text.resize(length);
      return text;
    }
  }
}

// The outcome for a target that could not be created: the name is taken,
// or the failure is thrown.
Outcome NotCreated(const std::string& context) { return OutcomeFromErrno(errno, context); }

Outcome CopyLink(Where from, Where to, const struct stat& info) {
  std::string target = ReadLinkText(from, info.st_size);
  if (symlinkat(target.c_str(), to.folder, to.path) != 0) {
    return NotCreated(std::string("make link ") + to.path);
  }
  struct timespec times[2] = {info.st_atim, info.st_mtim};
  if (utimensat(to.folder, to.path, times, AT_SYMLINK_NOFOLLOW) != 0) {
    int error = errno;
    unlinkat(to.folder, to.path, 0);
    throw FailureFromErrno(error, std::string("set times of ") + to.path);
  }
  return Outcome::kDone;
}

Outcome CopyData(Where from, Where to, const struct stat& info) {
  FileDescriptor source(openat(from.folder, from.path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (source.get() < 0) Fail(std::string("open ") + from.path);
  FileDescriptor target(openat(to.folder, to.path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (target.get() < 0) return NotCreated(std::string("create ") + to.path);
  try {
    if (!CopyWithKernel(source.get(), target.get())) {
      if (lseek(source.get(), 0, SEEK_SET) < 0 || ftruncate(target.get(), 0) != 0 ||
          lseek(target.get(), 0, SEEK_SET) < 0) {
        Fail(std::string("rewind ") + from.path);
      }
    }
    CopyWithBuffer(source.get(), target.get(), std::string("copy ") + from.path);
    struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (fchmod(target.get(), info.st_mode & 07777) != 0 || futimens(target.get(), times) != 0 ||
        fdatasync(target.get()) != 0 || close(target.Release()) != 0) {
      Fail(std::string("finish ") + to.path);
    }
  } catch (...) {
    unlinkat(to.folder, to.path, 0);
    throw;
  }
  return Outcome::kDone;
}

// At most `limit` bytes of the open file `fd`, which fstat said holds
// `told`. The size told is a hint: the buffer is made to fit it, one byte
// over so that a longer file shows at once, and grows where the file is
// longer still. A read that ends short of the buffer at the size told is
// taken as the end, which spares the read that would only say so.
std::string ReadUpTo(int fd, size_t limit, size_t told, const std::string& path) {
  std::string data(std::min(limit, told + 1), '\0');
  size_t got = 0;
  for (;;) {
    if (got == data.size()) {
      if (got == limit) break;
      data.resize(std::min(limit, 2 * got));
    }
    ssize_t n = read(fd, data.data() + got, data.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("read " + path);
    if (n == 0) break;
    got += n;
    if (got == told && got < data.size()) break;
  }
  data.resize(got);
  return data;
}

FileStart ReadAt(Where where, const std::string& path, size_t limit) {
  // Not blocking, so a FIFO that took a file's place cannot hang the
  // command, and refused before a byte of it or of a device is read.
  FileDescriptor file(
      openat(where.folder, where.path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) Fail("read " + path);
  struct stat info;
  if (fstat(file.get(), &info) != 0) Fail("read " + path);
  if (!S_ISREG(info.st_mode)) {
    throw Failure(kPathFileAccessError, "read " + path + ": not a file");
  }
  return {ReadUpTo(file.get(), limit, info.st_size > 0 ? info.st_size : 0, path),
          InfoOf(where, info)};
}

// For volumes that cannot refuse to replace by themselves: a second name,
// then the first one dropped. Where the volume has no second names either,
// a look then a rename is the best it allows.
Outcome RenameByLink(Where from, Where to) {
  const std::string context = std::string("rename ") + from.path;
  if (linkat(from.folder, from.path, to.folder, to.path, 0) == 0) {
    if (unlinkat(from.folder, from.path, 0) != 0) Fail(context);
    return Outcome::kDone;
  }
  if (errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP) return NotCreated(context);
  struct stat info;
  if (fstatat(to.folder, to.path, &info, AT_SYMLINK_NOFOLLOW) == 0) return Outcome::kNameTaken;
  if (renameat(from.folder, from.path, to.folder, to.path) != 0) return NotCreated(context);
  return Outcome::kDone;
}

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<Anchor> WorkBelow(const std::string& folder) override {
    int fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;  // nothing to hold: paths are walked from the root
    return std::make_unique<Held>(this, folder, fd);
  }

  std::vector<Entry> ReadFolder(const std::string& folder) override {
    Where where = At(folder);
    int fd = openat(where.folder, where.path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(fd < 0 ? nullptr : fdopendir(fd), closedir);
    if (!dir) {
      if (fd >= 0) close(fd);
      Fail("list " + folder);
    }
    std::vector<Entry> entries;
    // errno is cleared before every readdir: telling a link's kind calls
    // stat, which leaves ENOENT behind for a dangling link.
    for (errno = 0; struct dirent* d = readdir(dir.get()); errno = 0) {
      std::string_view name = d->d_name;
      if (name == "." || name == "..") continue;
      entries.push_back(EntryOf(dirfd(dir.get()), d->d_name, d->d_type));
    }
    if (errno != 0) Fail("list " + folder);
    return entries;
  }

  std::optional<EntryInfo> Inspect(const std::string& path) override {
    return LookAt(At(path), path);
  }

  // Walked from the folders held at the first look, as Inspect walks them,
  // each opened again for the looks alone: the thread looking ahead may
  // outlive the holding.
  std::unique_ptr<Looks> MakeLooks() override {
    return std::make_unique<LooksAhead>([this] {
      return [held = std::make_shared<const HeldAgain>(held_)](const std::string& path) {
        return LookAt(held->At(path), path);
      };
    });
  }

  void MakeFolder(const std::string& path) override {
    Where where = At(path);
    if (mkdirat(where.folder, where.path, 0777) != 0) Fail("make folder " + path);
  }

  void RemoveFolder(const std::string& path) override {
    // Removed as a folder first: a link to one refuses that, and goes as a link.
    Where where = At(path);
    if (unlinkat(where.folder, where.path, AT_REMOVEDIR) == 0) return;
    struct stat info;
    if (errno == ENOTDIR && fstatat(where.folder, where.path, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(info.st_mode) && unlinkat(where.folder, where.path, 0) == 0) {
      return;
    }
    Fail("remove folder " + path);
  }

  void DeleteFile(const std::string& path) override {
    Where where = At(path);
    if (unlinkat(where.folder, where.path, 0) != 0) Fail("delete " + path);
  }

  Outcome Rename(const std::string& from, const std::string& to) override {
    Where source = At(from), target = At(to);
    if (renameat2(source.folder, source.path, target.folder, target.path, RENAME_NOREPLACE) == 0) {
      return Outcome::kDone;
    }
    if (errno == EINVAL || errno == ENOSYS) return RenameByLink(source, target);
    return NotCreated("rename " + from);
  }

  void ReplaceFile(const std::string& from, const std::string& to) override {
    Where source = At(from), target = At(to);
    if (renameat(source.folder, source.path, target.folder, target.path) != 0) {
      Fail("rename " + from);
    }
  }

  Outcome CopyFile(const std::string& from, const std::string& to) override {
    Where source = At(from), target = At(to);
    struct stat info;
    if (fstatat(source.folder, source.path, &info, AT_SYMLINK_NOFOLLOW) != 0) Fail("copy " + from);
    if (S_ISLNK(info.st_mode)) return CopyLink(source, target, info);
    if (S_ISREG(info.st_mode)) return CopyData(source, target, info);
    throw Failure(kPathFileAccessError, "copy " + from + ": not a file");
  }

  Outcome WriteFile(const std::string& path, std::string_view data) override {
    Where where = At(path);
    FileDescriptor file(openat(where.folder, where.path,
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
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
    Where where = At(folder);
    FileDescriptor file(openat(where.folder, where.path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (file.get() < 0 || fsync(file.get()) != 0) Fail("sync " + folder);
  }

  void SetModificationTime(const std::string& path, struct timespec mtime) override {
    Where where = At(path);
    struct timespec times[2] = {{0, UTIME_OMIT}, mtime};
    if (utimensat(where.folder, where.path, times, AT_SYMLINK_NOFOLLOW) != 0) {
      Fail("set the time of " + path);
    }
  }

  FileStart ReadFile(const std::string& path, size_t limit) override {
    return ReadAt(At(path), path, limit);
  }

  std::unique_ptr<Reads> MakeReads(size_t limit) override {
    // Each start waiting holds up to `limit` bytes; a few hundred keep ahead.
    constexpr size_t kMostAhead = 128;
    return std::make_unique<ReadsAhead>(
        [this, limit] {
          return [held = std::make_shared<const HeldAgain>(held_), limit](const std::string& path) {
            return ReadAt(held->At(path), path, limit);
          };
        },
        kMostAhead);
  }

 private:
  // A folder held open for as long as a command works below it. Paths below
  // it are walked from it: the same entries, with no look-up of every folder
  // from the root on the way.
  class Held : public Anchor {
   public:
    Held(PosixFileSystem* fs, const std::string& folder, int fd)
        : fs_(fs), prefix_(folder.ends_with('/') ? folder : folder + "/"), fd_(fd) {
      fs_->held_.push_back(this);
    }
    ~Held() override {
      std::erase(fs_->held_, this);
      close(fd_);
    }
    const std::string& prefix() const { return prefix_; }
    int fd() const { return fd_; }

   private:
    PosixFileSystem* fs_;
    std::string prefix_;
    int fd_;
  };

  // The folders held at one moment, each opened again, for as long as this
  // object lasts.
  class HeldAgain {
   public:
    explicit HeldAgain(const std::vector<const Held*>& held) {
      for (const Held* folder : held) {
        int fd = fcntl(folder->fd(), F_DUPFD_CLOEXEC, 0);
        if (fd >= 0) folders_.emplace_back(folder->prefix(), fd);  // else walked from the root
      }
    }
    ~HeldAgain() {
      for (const auto& [prefix, fd] : folders_) close(fd);
    }
    HeldAgain(const HeldAgain&) = delete;
    HeldAgain& operator=(const HeldAgain&) = delete;
    Where At(const std::string& path) const {
      for (const auto& [prefix, fd] : folders_) {
        if (const char* below = Below(prefix, path)) return {fd, below};
      }
      return {AT_FDCWD, path.c_str()};
    }

   private:
    std::vector<std::pair<std::string, int>> folders_;
  };

  Where At(const std::string& path) const {
    for (const Held* held : held_) {
      if (const char* below = Below(held->prefix(), path)) return {held->fd(), below};
    }
    return {AT_FDCWD, path.c_str()};
  }

  std::vector<const Held*> held_;  // the folders held now, in no order
};

}  // namespace

FileSystem* FileSystem::Default() {
  static PosixFileSystem* instance = new PosixFileSystem;
  return instance;
}

}  // namespace varnelo
