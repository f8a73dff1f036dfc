#ifndef VARNELO_FILESYSTEM_FILE_SYSTEM_H_
#define VARNELO_FILESYSTEM_FILE_SYSTEM_H_

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
  // Where the volume keeps these marks with the file itself (Windows); a
  // name beginning with "." hides an entry on every system (see names.h).
  bool hidden = false;
  bool system = false;

  bool operator==(const Entry&) const = default;
};

struct EntryInfo {
  EntryKind kind;
  bool is_link;
  bool writable;          // the owner may write to it
  struct timespec mtime;  // of the entry itself, not of a link's target
  // Together, the file's identity: the volume and the file's number on it.
  uint64_t device;
  uint64_t inode;
  uint64_t names;       // how many names the file has: two paths of one file with
                        // a single name are one name reached twice (a mount)
  uint64_t size = 0;    // in bytes; of a link itself, not of its target
  bool hidden = false;  // as in Entry
  bool system = false;
};

// The first bytes of a file, and the file they were read from as it stood
// when it was opened: what is learnt from the bytes holds for that file.
struct FileStart {
  std::string bytes;
  EntryInfo info;
};

// How a change that a command may meet in the normal course of its work came
// out. Anything else that stops a change is thrown as a Failure.
enum class [[nodiscard]] Outcome{
    kDone,
    kNameTaken,    // an entry stands at the target name already; nothing changed
    kOtherVolume,  // the target lies where this change cannot reach; nothing changed
};

// The narrow seam between the program and the disk. Every method does what
// it says, answers an Outcome, or throws a Failure carrying a failure number
// (see failure.h) for what ends a command. None of them follows a final link
// and none resolves letter case: paths are taken as spelt.
//
// What survives what: a killed process leaves every file whole under its old
// name or its new one, never both and never neither, since a file changes
// place by one rename. A power loss is survived as well as the volume keeps
// renames: a whole copy (the one change that is not a rename) is on the disk,
// and its folder synced, before its source is deleted.
//
// Tests wrap an instance (see FileSystemWrapper) to make any single
// operation fail or answer otherwise.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The file system of this machine. Never deleted.
  static FileSystem* Default();

  // A folder held for a command that works below it (see WorkBelow).
  class Anchor {
   public:
    virtual ~Anchor() = default;
  };
  // Holds `folder` while the answer lives, so that paths below it are walked
  // from it rather than from the root: a command places thousands of files
  // below one folder, and a look-up per folder on the way costs at each.
  // Paths keep their meaning; where the folder is moved meanwhile, they lead
  // into it where it went. Nothing when the folder cannot be held.
  // REQUIRES: the answer is let go before this object.
  virtual std::unique_ptr<Anchor> WorkBelow(const std::string& /*folder*/) { return nullptr; }

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

  // Gives the file, link or folder `from` the name `to`, never replacing what
  // stands there: kNameTaken when an entry has that name (in the letter case
  // the volume compares names in), kOtherVolume when `to` lies on another
  // volume.
  virtual Outcome Rename(const std::string& from, const std::string& to) = 0;

  // Gives the file `from` the name `to`, taking the place of a file there in
  // one step: `to` always names either the old file or the new one.
  virtual void ReplaceFile(const std::string& from, const std::string& to) = 0;

  // Creates `to` as a copy of the file `from` (of the link itself when `from`
  // is a link), with its permission bits and times, on the disk when this
  // returns: kNameTaken when `to` exists. On failure nothing is left at `to`.
  virtual Outcome CopyFile(const std::string& from, const std::string& to) = 0;

  // Creates the file `path` holding `data`: kNameTaken when `path` exists.
  virtual Outcome WriteFile(const std::string& path, std::string_view data) = 0;

  // Up to `limit` bytes from the start of the file `path`, fewer only where
  // the file ends (one growing meanwhile may be read as far as it was when
  // opened), with the file as it was when opened. Fails with
  // kPathFileAccessError for anything but a regular file.
  virtual FileStart ReadFile(const std::string& path, size_t limit) = 0;

  // Makes the names in `folder` as lasting as the files they name, so that a
  // source may be deleted once its whole copy is named.
  virtual void SyncFolder(const std::string& folder) = 0;

  // Sets the modification time of the entry at `path` (of a link itself),
  // so that a folder made again, or changed and changed back, tells the time
  // it told before.
  virtual void SetModificationTime(const std::string& path, struct timespec mtime) = 0;

  // Looks at many paths, given one by one, each answered once by its place
  // (the number of paths given before it), all on the thread that made it.
  // Asked for in about the order given, some skipped, they cost least.
  class Looks {
   public:
    virtual ~Looks() = default;
    virtual void Add(std::string path) = 0;
    // What Inspect answers for the path at `place`, as it stood at some moment
    // between its Add and this call: where looks are taken ahead, a change
    // made meanwhile may be missed, so a caller looks again (Inspect) where
    // the answer would let it change what it has changed itself. Throws what
    // Inspect throws.
    // REQUIRES: `place` was added, and is asked for once.
    virtual std::optional<EntryInfo> At(size_t place) = 0;
    // Whether the looks are taken ahead of their asking, on a thread of
    // their own; else each is taken when asked for, through Inspect.
    virtual bool Ahead() const { return false; }
  };
  // Looks for a caller that knows ahead which paths it will look at, so that
  // the looks may cost it nothing while it changes others. By default each is
  // taken when asked for; this machine's file system takes them ahead.
  // REQUIRES: the answer is let go before this object.
  virtual std::unique_ptr<Looks> MakeLooks();

  // Reads of the start of many files, as ReadFile with one `limit`, given
  // and answered as Looks are. What is answered was the file's start at some
  // moment between its Add and this call, with the details of the file read.
  class Reads {
   public:
    virtual ~Reads() = default;
    virtual void Add(std::string path) = 0;
    // Throws what ReadFile throws.
    // REQUIRES: `place` was added as `path`, and is asked for once.
    virtual FileStart At(size_t place, const std::string& path) = 0;
  };
  // By default each is read when asked for; this machine's file system
  // reads them ahead.
  // REQUIRES: the answer is let go before this object.
  virtual std::unique_ptr<Reads> MakeReads(size_t limit);
};

// Looks taken when asked for, through `fs`'s Inspect, in the caller's thread.
class LooksWhenAsked : public FileSystem::Looks {
 public:
  explicit LooksWhenAsked(FileSystem* fs) : fs_(fs) {}
  void Add(std::string path) override { paths_.push_back(std::move(path)); }
  std::optional<EntryInfo> At(size_t place) override { return fs_->Inspect(paths_[place]); }

 private:
  FileSystem* fs_;
  std::vector<std::string> paths_;
};

inline std::unique_ptr<FileSystem::Looks> FileSystem::MakeLooks() {
  return std::make_unique<LooksWhenAsked>(this);
}

// Reads taken when asked for, through `fs`'s ReadFile, in the caller's thread.
class ReadsWhenAsked : public FileSystem::Reads {
 public:
  ReadsWhenAsked(FileSystem* fs, size_t limit) : fs_(fs), limit_(limit) {}
  void Add(std::string /*path*/) override {}
  FileStart At(size_t /*place*/, const std::string& path) override {
    return fs_->ReadFile(path, limit_);
  }

 private:
  FileSystem* fs_;
  size_t limit_;
};

inline std::unique_ptr<FileSystem::Reads> FileSystem::MakeReads(size_t limit) {
  return std::make_unique<ReadsWhenAsked>(this, limit);
}

// Forwards every call to another instance, so that a test needs to override
// only the operation it changes. Its looks and reads are taken when asked
// for, through its own Inspect and ReadFile, so that one overriding those
// sees them all, in order.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem* target) : target_(target) {}

  std::unique_ptr<Anchor> WorkBelow(const std::string& folder) override {
    return target_->WorkBelow(folder);
  }
  std::vector<Entry> ReadFolder(const std::string& folder) override {
    return target_->ReadFolder(folder);
  }
  std::optional<EntryInfo> Inspect(const std::string& path) override {
    return target_->Inspect(path);
  }
  void MakeFolder(const std::string& path) override { target_->MakeFolder(path); }
  void RemoveFolder(const std::string& path) override { target_->RemoveFolder(path); }
  void DeleteFile(const std::string& path) override { target_->DeleteFile(path); }
  Outcome Rename(const std::string& from, const std::string& to) override {
    return target_->Rename(from, to);
  }
  void ReplaceFile(const std::string& from, const std::string& to) override {
    target_->ReplaceFile(from, to);
  }
  Outcome CopyFile(const std::string& from, const std::string& to) override {
    return target_->CopyFile(from, to);
  }
  Outcome WriteFile(const std::string& path, std::string_view data) override {
    return target_->WriteFile(path, data);
  }
  FileStart ReadFile(const std::string& path, size_t limit) override {
    return target_->ReadFile(path, limit);
  }
  void SyncFolder(const std::string& folder) override { target_->SyncFolder(folder); }
  void SetModificationTime(const std::string& path, struct timespec mtime) override {
    target_->SetModificationTime(path, mtime);
  }

 protected:
  FileSystem* target() const { return target_; }

 private:
  FileSystem* target_;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_FILE_SYSTEM_H_
