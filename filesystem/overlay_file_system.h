#ifndef VARNELO_FILESYSTEM_OVERLAY_FILE_SYSTEM_H_
#define VARNELO_FILESYSTEM_OVERLAY_FILE_SYSTEM_H_

#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filesystem/file_system.h"
#include "filesystem/folder_cache.h"
#include "filesystem/name_table.h"
#include "filesystem/place_table.h"

namespace varnelo {

// A file system that reads another one and keeps every change to itself, in
// memory: a command run on it does all it would do to the disk, and the disk
// stays as it is. It answers as the disk would (names taken, another volume
// by the device of the target folder, the failures of a missing entry or a
// folder not empty); a folder is never renamed in it, which no command does.
class OverlayFileSystem : public FileSystem {
 public:
  // REQUIRES: `disk` outlives this object.
  explicit OverlayFileSystem(FileSystem* disk) : disk_(disk) {}

  std::unique_ptr<Anchor> WorkBelow(const std::string& folder) override;
  std::vector<Entry> ReadFolder(const std::string& folder) override;
  std::optional<EntryInfo> Inspect(const std::string& path) override;
  void MakeFolder(const std::string& path) override;
  void RemoveFolder(const std::string& path) override;
  void DeleteFile(const std::string& path) override;
  Outcome Rename(const std::string& from, const std::string& to) override;
  void ReplaceFile(const std::string& from, const std::string& to) override;
  Outcome CopyFile(const std::string& from, const std::string& to) override;
  Outcome WriteFile(const std::string& path, std::string_view data) override;
  FileStart ReadFile(const std::string& path, size_t limit) override;
  std::unique_ptr<Reads> MakeReads(size_t limit) override;
  void SyncFolder(const std::string& folder) override;
  void SetModificationTime(const std::string& path, struct timespec mtime) override;

 private:
  // An entry as the simulation has it: its bytes are `data` where it was
  // written here, else those of the disk's entry in `source_folder` named
  // `source_name` (where empty: the one at the path where it stands). A run
  // moves thousands of entries, so a node holds no path of its own: the
  // source's folder is a key of folders_ and its name one of a listing or
  // of kept_names_, all of which stay where they are.
  struct Node {
    EntryKind kind;
    bool is_link = false;
    bool hidden = false;
    bool system = false;
    uint64_t device = 0;
    std::shared_ptr<const EntryInfo> details;  // all of them, where known
    std::shared_ptr<const std::string> data;   // shared by the copies of a written file
    std::string_view source_folder;
    std::string_view source_name;

    static Node Of(const EntryInfo& info);
    EntryInfo Info() const;  // what is known of it: where not all, the kind and the device
  };
  // What the simulation knows of one folder: the disk's entries, where it
  // has listed the folder (or made it here: then none), and the names it
  // changed, each with what stands there now or nothing. A listed entry
  // that a change has taken away or stood in for is marked gone; the rest
  // stand as the disk has them, so a large folder costs its listing and
  // what the simulation changed in it, not a node an entry.
  struct Folder {
    bool complete = false;
    bool stands = false;  // the folder itself: listed or made, and not removed since
    uint64_t device = 0;  // of the folder itself, where it stands
    std::vector<Entry> listed;
    std::vector<bool> gone;  // by place in `listed`
    // The disk's looks at the listed entries, taken ahead for a large
    // folder, each answered once: a run looks at every file it moves.
    std::unique_ptr<Looks> looks;
    std::vector<bool> looked;  // by place in `listed`
    PlaceTable index;          // places in `listed` by the hash of the name
    NameTable<std::optional<Node>> changed;

    void List(std::vector<Entry> entries, uint64_t folder_device);
    // Nothing stands in the folder from now on. The listing stays, as the
    // nodes moved out of it name their sources by it.
    void Reset(bool standing, uint64_t folder_device);
    std::optional<uint32_t> PlaceOf(std::string_view name) const;
    // The name no longer stands for the disk's entry of that name; answers
    // whether it did until now (then no change is known of it).
    bool Hide(std::string_view name);
  };
  // What the simulation knows of a path: nothing (the disk answers), or
  // that an entry stands there or none does. An entry stands either as a
  // node of the simulation's or as the disk listed it, unchanged.
  struct Known {
    bool known;
    const Node* node;
    const Entry* listed;
    uint64_t device;           // of a listed entry
    Folder* folder = nullptr;  // holding a listed entry
    bool exists() const { return node != nullptr || listed != nullptr; }
  };

  class OverlayReads;

  Known Find(std::string_view path);
  // Whether reading `path` is the disk's own read of it: a file the
  // simulation has not changed.
  bool ReadsFromDisk(std::string_view path);
  // The disk's answer for `known`, a listed entry unchanged here, at `path`.
  std::optional<EntryInfo> LookAtListed(const Known& known, const std::string& path);
  void LookAhead(Folder& folder, std::string_view path);
  // What is known of the entry `name` of the folder `path`, asked about
  // the entry at `path`: a move asks about its two ends at every step, and
  // each path is taken apart once.
  Known Find(std::string_view folder, std::string_view name);
  bool Exists(const std::string& path);
  bool Exists(std::string_view folder, std::string_view name, const std::string& path);
  // The entry at `path`; a failure where there is none.
  Node NodeAt(const std::string& path);
  Node NodeAt(std::string_view folder, std::string_view name, const std::string& path);
  // The disk's path of the bytes of `node`, found at `path`.
  static std::string SourceOf(const Node& node, std::string_view path);
  // `node`, found on the disk at `path`, told where its bytes lie.
  Node FromDisk(Node node, std::string_view folder, std::string_view name);
  // `node` with all its details, looked up on the disk where not known yet.
  Node Detailed(Node node, std::string_view path);
  EntryInfo FolderAt(std::string_view path);
  // What the simulation knows of the folder `path`, if anything.
  Folder* KnownFolder(std::string_view path);
  Folder& FolderNamed(std::string_view path);
  // `node` stands at `path` from now on.
  void Set(const std::string& path, Node node);
  void Set(Folder& folder, std::string_view name, Node node);
  // No entry stands at `path` from now on.
  void Unset(const std::string& path);
  void Unset(Folder& folder, std::string_view name);
  EntryInfo NewFile(const EntryInfo& folder);

  FileSystem* disk_;
  TextMap<Folder> folders_;  // never erased from, so a folder stays where it is
  // The folders found last, newest first: a run moves file after file from
  // one folder into another, asking about both at every move.
  std::array<std::pair<std::string_view, Folder*>, 2> recent_{};
  // Folders the simulation has not touched, as the disk told them: the run's
  // folder is asked about at every move into it.
  TextMap<EntryInfo> untouched_folders_;
  // The names of the disk's entries found outside any listing, for the
  // nodes that came from them.
  std::deque<std::string> kept_names_;
  uint64_t next_inode_ = ~uint64_t{0};  // counted down, clear of the disk's
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_OVERLAY_FILE_SYSTEM_H_
