#ifndef VARNELO_FILESYSTEM_RESOLVER_H_
#define VARNELO_FILESYSTEM_RESOLVER_H_

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "filesystem/file_system.h"

namespace varnelo {

// The names of one folder as a command has learnt them, found without regard
// to letter case.
class NameIndex {
 public:
  void Add(const Entry& entry);
  void Remove(std::string_view name);
  // The entry of exactly this name if there is one, else a case variant.
  const Entry* Find(std::string_view name) const;
  // Where the search for a free numbered variant of `name` may start.
  int& NextNumber(std::string_view name) { return next_number_[FoldKey(name)]; }

 private:
  static std::string FoldKey(std::string_view name);
  std::unordered_map<std::string, std::vector<Entry>> by_key_;
  std::unordered_map<std::string, int> next_number_;
};

// A path as it stands on the disk after letter case has been resolved.
struct ResolvedPath {
  std::string path;               // normalized; the exact spelling on disk where found
  std::optional<EntryInfo> info;  // nothing when no entry answers to the path
};

// Finds paths the way the commands expect: the exact name first and, only
// when it is missing, a case variant in the parent folder. What it learns of
// a folder's names is kept until Forget(), so a command pays one listing per
// folder, however many files it places there; the callers report their own
// changes (Added, Removed) to keep it true.
class Resolver {
 public:
  explicit Resolver(FileSystem* fs) : fs_(fs) {}

  // Forgets every name learnt and sets the folder below which no link is
  // followed; an empty `boundary` follows links everywhere.
  void Start(const std::string& boundary);

  ResolvedPath Resolve(std::string_view path);
  // The folder at `path`, or nothing when there is none or it is reached
  // through a link below the boundary.
  std::optional<std::string> Folder(std::string_view path);

  NameIndex& IndexOf(const std::string& folder);
  void Added(const std::string& folder, const Entry& entry);
  void Removed(const std::string& path);
  void FolderRemoved(const std::string& path);

 private:
  bool IsBelowBoundary(std::string_view path) const;
  bool ReachableWithoutLinks(std::string_view folder);

  ResolvedPath ResolveNormalized(const std::string& path);
  void Changed() { last_.reset(); }

  FileSystem* fs_;
  std::vector<std::string> boundaries_;
  std::unordered_map<std::string, NameIndex> indexes_;
  std::unordered_set<std::string> link_free_;
  // Commands ask for the same folders once per file, and often for one path
  // twice in a row (is it there? then delete it): both are answered from here
  // until something changes.
  std::unordered_map<std::string, std::string> folders_;
  std::optional<std::pair<std::string, ResolvedPath>> last_;
};

// `folder` + "/" + `name`, for a folder that may be "" (the working folder) or "/".
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_RESOLVER_H_
