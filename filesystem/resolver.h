#ifndef VARNELO_FILESYSTEM_RESOLVER_H_
#define VARNELO_FILESYSTEM_RESOLVER_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "filesystem/file_system.h"

namespace varnelo {

// Hashes text however it is held, so that a look-up needs no copy of its key.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;
using TextSet = std::unordered_set<std::string, TextHash, std::equal_to<>>;

// What a command knows of one name in a folder.
struct KnownEntry {
  Entry entry;
  std::optional<EntryInfo> info;  // where the entry has been inspected
};

// The names of one folder as a command has learnt them, found without regard
// to letter case.
class NameIndex {
 public:
  void Add(const Entry& entry, const std::optional<EntryInfo>& info = std::nullopt) {
    Add(FoldKey(entry.name), entry, info);
  }
  // As Add, with the entry's name already folded (see FoldCase).
  void Add(std::string key, const Entry& entry,
           const std::optional<EntryInfo>& info = std::nullopt);
  void Remove(std::string_view name);
  void Reserve(size_t count) { by_key_.reserve(count); }
  // The entry of exactly this name if there is one, else a case variant.
  const Entry* Find(std::string_view name) const;
  // The entry of exactly this name, or nullptr.
  KnownEntry* FindExact(std::string_view name);
  // Where the search for a free numbered variant of `name` may start.
  int NextNumber(std::string_view name) const;
  void SetNextNumber(std::string_view name, int number);

 private:
  // The names that fold alike: nearly always one, so the rest cost nothing.
  struct Variants {
    KnownEntry first;
    std::vector<KnownEntry> more;
  };
  static std::string FoldKey(std::string_view name);
  TextMap<Variants> by_key_;
  TextMap<int> next_number_;  // only names numbered past 1
};

// A path as it stands on the disk after letter case has been resolved.
struct ResolvedPath {
  std::string path;                    // normalized; the exact spelling on disk where found
  std::optional<EntryKind> kind;       // nothing when no entry answers to the path
  std::optional<EntryInfo> inspected;  // all about the entry, where it has been inspected
};

// Finds paths the way the commands expect: the exact name first and, only
// when it is missing, a case variant in the parent folder. What it learns of
// a folder's names is kept until Start(), so a command pays one listing per
// folder, however many files it places there, and asks the disk no more about
// names it knows; the callers report their own changes (Added, Removed) to
// keep it true.
class Resolver {
 public:
  explicit Resolver(FileSystem* fs) : fs_(fs) {}

  // Forgets every name learnt and sets the folder below which no link is
  // followed; an empty `boundary` follows links everywhere.
  void Start(const std::string& boundary);

  ResolvedPath Resolve(std::string_view path);
  // All about the entry that `resolved` found, inspected now where not known
  // yet; nothing when it has gone meanwhile.
  std::optional<EntryInfo> Details(const ResolvedPath& resolved);
  // The folder at `path`, or nothing when there is none or it is reached
  // through a link below the boundary.
  std::optional<std::string> Folder(std::string_view path);

  NameIndex& IndexOf(const std::string& folder);
  // Takes a listing just read of `folder`, with each name folded (`keys`),
  // as all there is in it, where `folder` is a folder as Folder() answers it
  // and its names are not known yet (what is known was kept true since).
  void Learn(const std::string& folder, const std::vector<Entry>& entries,
             std::vector<std::string> keys);
  // What the callers changed: `folder` and `path` as Folder() and Resolve()
  // answer them.
  void Added(const std::string& folder, const Entry& entry,
             const std::optional<EntryInfo>& info = std::nullopt);
  void Removed(const std::string& path);
  void FolderRemoved(const std::string& path);

  // Marks how the entries (or only the files) of `folder` stand: a list of
  // them read at one mark still holds while the mark is the same, for every
  // change this command makes goes through Added, Removed or FolderRemoved.
  using ChangeMark = std::pair<uint64_t, uint64_t>;
  ChangeMark Mark(std::string_view folder) const;
  ChangeMark FilesMark(std::string_view folder) const;

 private:
  bool IsBelowBoundary(std::string_view path) const;
  bool ReachableWithoutLinks(std::string_view folder);

  // The folder most recently asked about by a path, with its names: commands
  // ask about one folder's entries many times in a row.
  struct RecentFolder {
    std::string asked;            // as paths spell it
    const std::string* resolved;  // as Folder() answers it, in folders_
    NameIndex* index;             // in indexes_
  };

  ResolvedPath ResolveNormalized(const std::string& path);
  ResolvedPath ResolveOnDisk(const std::string& path);
  std::optional<ResolvedPath> ResolveFromIndex(const std::string& path);
  const RecentFolder* RecentFolderOf(std::string_view asked);
  NameIndex* KnownIndex(std::string_view folder);
  KnownEntry* Known(std::string_view path);
  void Changed() { last_.reset(); }

  FileSystem* fs_;
  std::vector<std::string> boundaries_;
  TextMap<NameIndex> indexes_;
  TextSet link_free_;
  // Commands ask for the same folders once per file, and often for one path
  // twice in a row (is it there? then delete it): both are answered from here
  // until something changes.
  TextMap<std::string> folders_;
  std::optional<std::pair<std::string, ResolvedPath>> last_;
  std::optional<RecentFolder> recent_;
  struct Changes {
    uint64_t entries = 0;
    uint64_t files = 0;
  };
  TextMap<Changes> changes_;  // by folder
  uint64_t folder_removals_ = 0;
};

// `folder` + "/" + `name`, for a folder that may be "" (the working folder) or "/".
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_RESOLVER_H_
