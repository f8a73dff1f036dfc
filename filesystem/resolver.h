#ifndef VARNELO_FILESYSTEM_RESOLVER_H_
#define VARNELO_FILESYSTEM_RESOLVER_H_

#include <optional>
#include <string>
#include <string_view>

#include "filesystem/file_system.h"
#include "filesystem/folder_cache.h"

namespace varnelo {

// A path as it stands on the disk after letter case has been resolved.
struct ResolvedPath {
  std::string path;               // normalized; the exact spelling on disk where found
  std::optional<EntryKind> kind;  // nothing when no entry answers to the path
  bool is_link = false;
  // The listing of the path's folder, where the run keeps one: every change
  // at the path is told to it. `place` is the entry's in it, where found.
  FolderListing* listing = nullptr;
  std::optional<uint32_t> place;
  bool hidden = false;  // as the volume marks the entry (see Entry)
  bool system = false;
};

// Finds paths the way the commands expect. Below the run's folder every name
// is looked up in its folder's listing (see FolderCache): the exact name
// first and, only when it is missing, a case variant; a name the listing
// does not hold is not there, and no link is followed. The run's folder
// itself, which may be reached through a link, and paths outside it are
// taken as spelt and looked at on the disk.
class Resolver {
 public:
  Resolver(FileSystem* fs, FolderCache& cache, const std::string& folder);

  // Throws kBadFileName for a path whose folder part holds a control
  // character in what was typed (the run's folder, or a path outside it), a
  // name no folder can have where the commands were designed to run; and
  // the Failure of a folder on the way that cannot be read.
  ResolvedPath Resolve(std::string_view path);
  // The folder at `path`, or nothing when there is none or it is reached
  // through a link below the run's folder. Throws as Resolve does, and
  // kBadFileName where `path` itself holds a control character.
  std::optional<std::string> Folder(std::string_view path);
  // Whether `path` names a folder, as Folder would answer, without spelling
  // its path out where its parent is a folder named before.
  bool IsFolder(std::string_view path);
  // The entry at `path` with its name as on the disk, as Resolve finds it;
  // nothing when there is none. Throws as Resolve does.
  std::optional<Entry> EntryAt(std::string_view path);
  // All about the entry that `resolved` found, inspected now where this run
  // has not inspected it yet; nothing when it has gone meanwhile.
  std::optional<EntryInfo> Details(const ResolvedPath& resolved);
  // What this run learnt of the entry so far, without a look at the disk.
  std::optional<EntryInfo> KnownDetails(const ResolvedPath& resolved);

  // The run's folder, normalized.
  const std::string& folder() const { return folder_; }

 private:
  bool IsBelow(std::string_view path) const;
  // A folder below the run's folder that a path named, as it spelt it.
  struct KnownFolder {
    std::string resolved;              // as on the disk
    FolderListing* listing = nullptr;  // read when first needed
  };
  // The folder known by the spelling `asked`; nullptr where it must be
  // resolved the long way.
  KnownFolder* Known(std::string_view asked);
  // The known folder that `path` spells, with or without a separator after it.
  KnownFolder* KnownAsSpelt(std::string_view path);
  FolderListing& ListingOf(KnownFolder& known);
  // The entry at `path` where its parent is a known folder: the listing's
  // own, or nullptr where none is there. Nothing where the path must be
  // resolved the long way.
  std::optional<const Entry*> KnownEntry(std::string_view path);
  ResolvedPath InFolder(const std::string& folder, FolderListing& listing, std::string_view name);
  ResolvedPath OnDisk(std::string path);
  std::optional<EntryInfo> Look(const std::string& path);

  FileSystem* fs_;
  FolderCache& cache_;
  const std::string folder_;
  // The run's folder is asked about with every file placed in it: it is
  // looked at once.
  std::optional<std::optional<EntryInfo>> folder_info_;
  // The folders paths named so far: a command names the same few folders
  // once per file, the one it walks and those it fills. They hold while the
  // cache's generation does, and are let go together when it moves.
  TextMap<KnownFolder> known_;
  uint64_t known_generation_ = 0;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_RESOLVER_H_
