#ifndef VARNELO_FILESYSTEM_RUN_RECORD_H_
#define VARNELO_FILESYSTEM_RUN_RECORD_H_

#include <cstdint>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "filesystem/file_system.h"

namespace varnelo {

// What tells a file where a run put it from any other: the same file, and
// not written to since.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  struct timespec mtime = {};

  static FileIdentity Of(const EntryInfo& info) {
    return {info.device, info.inode, info.size, info.mtime};
  }
  bool Matches(const EntryInfo& info) const {
    return info.kind == EntryKind::kFile && info.device == device && info.inode == inode &&
           info.size == size && info.mtime.tv_sec == mtime.tv_sec &&
           info.mtime.tv_nsec == mtime.tv_nsec;
  }
};

// One change a run made, as it stood when it succeeded. Its paths are told
// by the record that holds it (see RunRecord::PathOf): a run names a few
// folders thousands of times, so each is kept once, and a change keeps
// only its names.
struct Change {
  enum class Kind : uint8_t {
    kFilePlaced,     // a file moved from its old path to its path
    kFolderMade,     // the folder at its path made
    kFolderRemoved,  // the folder at its path removed (those below it come before it)
    kFileWritten,    // a file of the run's own (the list file) written at its path
  };
  Kind kind;
  bool settled = false;     // nothing is left to undo of it
  uint32_t folder = 0;      // of its path, by place in the record's folders
  uint32_t old_folder = 0;  // of its old path: kFilePlaced only
  std::string name;
  std::string old_name;
  FileIdentity identity;  // of the file at its path: kFilePlaced, kFileWritten
};

// Every change of one run that succeeded, in the order made, whether the run
// completed or not; and the modification times of the folders it changed, as
// they were before it changed them first.
class RunRecord {
 public:
  std::string folder;  // the run's folder
  // A change a file: grown in blocks, as doubling a whole array of them holds
  // the old and the new at once, which made the peak of a large run.
  std::deque<Change> changes;
  std::vector<std::pair<std::string, struct timespec>> folder_times;
  // Files placed past the most a record kept for a preview holds: counted,
  // not kept (see RecordingFileSystem).
  int placed_untold = 0;
  int stayed = 0;  // files an undo has left where they were, so far
  bool undone = false;

  // Appends the change `kind` at `path` (from `old_path`, for a file placed).
  Change& Add(Change::Kind kind, std::string_view path, std::string_view old_path = {},
              const FileIdentity& identity = {});
  std::string PathOf(const Change& change) const;
  std::string OldPathOf(const Change& change) const;
  const std::string& OldFolderOf(const Change& change) const { return folders_[change.old_folder]; }
  bool HasChanges() const;

 private:
  uint32_t FolderOf(std::string_view path);

  std::vector<std::string> folders_;                     // every folder a change names, once
  std::map<std::string, uint32_t, std::less<>> places_;  // the place of each in folders_
};

// What tells apart the files a run has placed, looked at just after each
// move by looks taken ahead, so that the run waits on none of them. A look
// is settled before the run changes its path again (the file is still the
// one placed there), and every look left when this object goes. One that
// finds nothing, as where the file was moved away meanwhile by another
// program, leaves the file told apart by nothing: an undo leaves it be.
class LaterIdentities {
 public:
  LaterIdentities(FileSystem* fs, RunRecord& record, bool wanted);
  ~LaterIdentities();
  LaterIdentities(const LaterIdentities&) = delete;
  LaterIdentities& operator=(const LaterIdentities&) = delete;

  // Whether the looks are taken ahead; if not, nothing is ever asked of this.
  bool Ahead() const { return looks_ && looks_->Ahead(); }
  // Looks at `path`, where the run placed the file of change number `change`.
  // REQUIRES: Ahead(), and nothing asked for at `path` is still unsettled.
  void Ask(const std::string& path, size_t change);
  // Settles the look at `path`, if one is waiting: what tells apart the file
  // placed there, and there still.
  std::optional<FileIdentity> Settle(std::string_view path);

 private:
  struct Asked {
    std::string path;
    size_t change;
    bool settled = false;
  };
  std::optional<FileIdentity> SettleAt(size_t place);

  RunRecord& record_;
  std::unique_ptr<FileSystem::Looks> looks_;
  std::deque<Asked> asked_;  // by place, from first_ on; at most some hundreds
  size_t first_ = 0;
  std::unordered_map<std::string_view, size_t> waiting_;  // path -> place, of those unsettled
};

// Records into `record` each change that succeeds through it. What the
// record needs to know of a file is looked up before the change, or where
// looks are taken ahead, just after a rename (see LaterIdentities): a failure
// of a look before is one of the change itself, a look after that finds
// nothing leaves the file untold, and nothing changed goes unrecorded.
class RecordingFileSystem : public FileSystemWrapper {
 public:
  // Without `playable`, the changes are recorded without what only a
  // playback needs (what tells the files apart, the folders' times before),
  // at no cost: for a record that is never played back. Such a record may
  // keep only the first `most_placed` files placed and count the rest, as a
  // preview tells no more: a large run would else hold every path twice.
  RecordingFileSystem(FileSystem* target, RunRecord& record, bool playable = true,
                      size_t most_placed = SIZE_MAX)
      : FileSystemWrapper(target),
        record_(record),
        playable_(playable),
        most_placed_(playable ? SIZE_MAX : most_placed),
        later_(target, record, playable) {}

  std::unique_ptr<Anchor> WorkBelow(const std::string& folder) override;
  std::optional<EntryInfo> Inspect(const std::string& path) override;
  void MakeFolder(const std::string& path) override;
  void RemoveFolder(const std::string& path) override;
  void DeleteFile(const std::string& path) override;
  Outcome Rename(const std::string& from, const std::string& to) override;
  void ReplaceFile(const std::string& from, const std::string& to) override;
  Outcome CopyFile(const std::string& from, const std::string& to) override;
  Outcome WriteFile(const std::string& path, std::string_view data) override;
  // A read changes nothing to record: the target's may be taken ahead.
  std::unique_ptr<Reads> MakeReads(size_t limit) override { return target()->MakeReads(limit); }

 private:
  // Comes before every change to `path`: notes the time of the folder
  // holding it before its first change, and forgets the last look.
  void Touch(std::string_view path);
  void TouchFolder(std::string_view folder);
  std::optional<FileIdentity> KnownIdentityOf(const std::string& path);
  FileIdentity IdentityOf(const std::string& path);
  // Whether the change was kept in the record (else only counted).
  bool Placed(const std::string& path, const std::string& old_path, const FileIdentity& identity);

  RunRecord& record_;
  bool playable_;
  size_t most_placed_;
  size_t placed_ = 0;
  std::set<std::string, std::less<>> touched_;
  // A whole copy on its way: its temporary name, or once named its place,
  // with its source, which is placed when the source goes.
  std::map<std::string, std::string> copying_;                          // temporary -> source
  std::map<std::string, std::pair<std::string, FileIdentity>> copied_;  // source -> place
  std::map<std::string, size_t> written_;  // a file of the run's own -> its change
  // The last entry looked at, until the next change: a run looks at a file
  // (its time, its size) just before it moves it, and the record then needs
  // no second look to tell the file apart.
  std::optional<std::pair<std::string, EntryInfo>> looked_;
  LaterIdentities later_;  // last: settles its looks into the record while the rest stands
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_RUN_RECORD_H_
