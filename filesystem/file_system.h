#ifndef VARNELO_FILESYSTEM_FILE_SYSTEM_H_
#define VARNELO_FILESYSTEM_FILE_SYSTEM_H_

#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

// What a name in a folder stands for, seen without following a final link.
enum class EntryKind {
  kFile,        // a regular file, or a link to one, or a dangling link
  kFolder,      // a folder
  kFolderLink,  // a link to a folder: listed, never walked through
  kOther,       // a FIFO, socket or device: no command touches it
};

struct Entry {
  std::string name;
  EntryKind kind;
  bool is_link = false;  // a link, whatever its kind says it leads to

  bool operator==(const Entry&) const = default;
};

struct EntryInfo {
  EntryKind kind;
  bool is_link;
  bool writable;          // the owner may write to it
  struct timespec mtime;  // of the entry itself, not of a link's target
  dev_t device;
  ino_t inode;
};

// The narrow seam between the program and the disk. Every method either does
// what it says or throws a Failure carrying a failure number; none of them
// follows a final link, and none resolves letter case. Tests wrap an instance
// (see FileSystemWrapper) to make any single operation fail.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The file system of this machine. Never deleted.
  static FileSystem* Default();

  // Every entry of `folder` except "." and "..", in no particular order.
  virtual std::vector<Entry> ReadFolder(const std::string& folder) = 0;

  // What stands at `path`, or nothing when no entry has that name.
  virtual std::optional<EntryInfo> Inspect(const std::string& path) = 0;

  // Creates the folder `path`; fails when anything stands there already.
  virtual void MakeFolder(const std::string& path) = 0;

  // Removes the empty folder, or the folder link, at `path`.
  virtual void RemoveFolder(const std::string& path) = 0;

  // Removes the file or link at `path`.
  virtual void DeleteFile(const std::string& path) = 0;

  // Gives the entry `from` the name `to`. With `replace` false it fails with
  // kFileAlreadyExists when `to` exists; with `replace` true it atomically
  // takes the place of the file at `to`. Fails with kCrossDevice when `to`
  // lies on another volume.
  virtual void Rename(const std::string& from, const std::string& to, bool replace) = 0;

  // Makes `to` a second name of the file or link `from`. Fails with
  // kFileAlreadyExists when `to` exists, and with kCrossDevice wherever the
  // volume cannot link (another volume, or one without hard links).
  virtual void Link(const std::string& from, const std::string& to) = 0;

  // Creates `to`, which must not exist, as a copy of the file `from` (of the
  // link itself when `from` is a link), with its permission bits and times.
  // On failure nothing is left at `to`.
  virtual void CopyFile(const std::string& from, const std::string& to) = 0;

  // Creates `path`, or empties it, and writes `data` into it.
  virtual void WriteFile(const std::string& path, std::string_view data) = 0;

  // Up to `limit` bytes from the start of the file `path`, fewer only where
  // the file ends. Fails with kPathFileAccessError for anything but a
  // regular file.
  virtual std::string ReadFile(const std::string& path, size_t limit) = 0;
};

// Forwards every call to another instance, so that a test needs to override
// only the operation it makes fail.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem* target) : target_(target) {}

  std::vector<Entry> ReadFolder(const std::string& folder) override {
    return target_->ReadFolder(folder);
  }
  std::optional<EntryInfo> Inspect(const std::string& path) override {
    return target_->Inspect(path);
  }
  void MakeFolder(const std::string& path) override { target_->MakeFolder(path); }
  void RemoveFolder(const std::string& path) override { target_->RemoveFolder(path); }
  void DeleteFile(const std::string& path) override { target_->DeleteFile(path); }
  void Rename(const std::string& from, const std::string& to, bool replace) override {
    target_->Rename(from, to, replace);
  }
  void Link(const std::string& from, const std::string& to) override { target_->Link(from, to); }
  void CopyFile(const std::string& from, const std::string& to) override {
    target_->CopyFile(from, to);
  }
  void WriteFile(const std::string& path, std::string_view data) override {
    target_->WriteFile(path, data);
  }
  std::string ReadFile(const std::string& path, size_t limit) override {
    return target_->ReadFile(path, limit);
  }

 private:
  FileSystem* target_;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_FILE_SYSTEM_H_
