#ifndef VARNELO_FILESYSTEM_OVERLAY_FILE_SYSTEM_H_
#define VARNELO_FILESYSTEM_OVERLAY_FILE_SYSTEM_H_

#include <optional>
#include <string>

#include "filesystem/file_system.h"
#include "filesystem/folder_cache.h"

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
  std::string ReadFile(const std::string& path, size_t limit) override;
  void SyncFolder(const std::string& folder) override;
  void SetModificationTime(const std::string& path, struct timespec mtime) override;

 private:
  // An entry as the simulation has it: its bytes are `data` where it was
  // written here, else those of the disk's entry `source` (where empty: the
  // one at the path where the simulation found it, which it has not left).
  struct Node {
    EntryInfo info;
    std::string source;
    std::string data;
    bool detailed = true;  // else only the kind and the device of `info` are known
    bool written = false;
  };
  // The entries of one folder that the simulation knows, each as it has it
  // or gone: all of them once the folder is listed (or made here), else
  // only those it changed.
  struct Folder {
    bool complete = false;
    TextMap<std::optional<Node>> names;
  };
  // What the simulation knows of a path: nothing (the disk answers), or
  // that an entry stands there or none does.
  struct Known {
    bool known;
    const Node* node;
  };

  Known Find(std::string_view path) const;
  bool Exists(const std::string& path) const;
  // The entry at `path`, known from now on; a failure where there is none.
  // It holds until the entry is set anew.
  Node& NodeAt(const std::string& path);
  // The disk's path of the bytes of `node`, found at `path`.
  static std::string SourceOf(const Node& node, std::string_view path);
  // `node` with all its details, looked up on the disk where not known yet.
  Node Detailed(Node node, std::string_view path);
  EntryInfo FolderAt(std::string_view path);
  Folder& FolderNamed(std::string_view path);
  std::optional<Node>& Set(const std::string& path, std::optional<Node> node);
  // No entry stands at `path` from now on.
  void Unset(const std::string& path);
  EntryInfo NewFile(const EntryInfo& folder);

  FileSystem* disk_;
  TextMap<Folder> folders_;
  // Folders the simulation has not touched, as the disk told them: the run's
  // folder is asked about at every move into it.
  TextMap<EntryInfo> untouched_folders_;
  uint64_t next_inode_ = ~uint64_t{0};  // counted down, clear of the disk's
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_OVERLAY_FILE_SYSTEM_H_
