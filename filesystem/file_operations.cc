#include "filesystem/file_operations.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "filesystem/failure.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

constexpr int kSpecialBits = kHidden | kSystem | kDirectory;

int AttributesOf(std::string_view name, EntryKind kind) {
  int attributes = 0;
  if (kind == EntryKind::kFolder) attributes |= kDirectory;
  if (kind == EntryKind::kFolderLink) attributes |= kDirectory | kLink;
  if (kind == EntryKind::kOther) attributes |= kSystem;
  if (IsHiddenName(name)) attributes |= kHidden;
  return attributes;
}

int AttributesOf(std::string_view name, const EntryInfo& info) {
  int attributes = AttributesOf(name, info.kind);
  if (info.is_link) attributes |= kLink;
  if (!info.writable) attributes |= kReadOnly;
  return attributes;
}

bool MatchesMask(int attributes, int mask) { return (attributes & kSpecialBits & ~mask) == 0; }

std::vector<std::string> FoldedNames(const std::vector<Entry>& entries) {
  std::vector<std::string> keys;
  keys.reserve(entries.size());
  for (const Entry& e : entries) keys.push_back(FoldCase(e.name));
  return keys;
}

// The positions of the entries that `keep` accepts, in the order a listing
// shows them: by the folded names in `keys` first, then byte by byte.
template <typename Keep>
std::vector<size_t> ListingOrder(const std::vector<Entry>& entries,
                                 const std::vector<std::string>& keys, Keep keep) {
  std::vector<size_t> order;
  order.reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (keep(entries[i])) order.push_back(i);
  }
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    int folded = keys[a].compare(keys[b]);
    return folded != 0 ? folded < 0 : entries[a].name < entries[b].name;
  });
  return order;
}

}  // namespace

void RefuseControlCharacters(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash != std::string::npos && HasControlCharacter(std::string_view(path).substr(0, slash))) {
    throw Failure(kBadFileName, "bad file name");
  }
}

std::vector<File> Folder::Files() const { return operations_->Files(path_); }

std::string FileOperations::ExistingFolder(const std::string& path) {
  std::optional<std::string> folder = resolver_.Folder(path.empty() ? "." : path);
  if (!folder) throw Failure(kPathNotFound, "no folder " + path);
  return *folder;
}

std::string FileOperations::Dir(const std::string& path, int mask) {
  RefuseControlCharacters(path);
  listing_.clear();
  position_ = 0;
  pending_folder_.clear();
  if (path.empty()) return "";
  if (path.back() == '/') {
    std::optional<std::string> folder = resolver_.Folder(path);
    if (!folder) return "";
    if (mask & kDirectory) {
      // Every folder answers "." first; the listing itself is read only if asked for.
      pending_folder_ = *folder;
      pending_mask_ = mask;
      return ".";
    }
    FillListing(*folder, mask);
    return DirNext();
  }
  ResolvedPath entry = resolver_.Resolve(path);
  if (!entry.kind || entry.kind == EntryKind::kOther) return "";
  std::string name(NameOf(entry.path));
  return MatchesMask(AttributesOf(name, *entry.kind), mask) ? name : "";
}

std::string FileOperations::DirNext() {
  if (!pending_folder_.empty()) {
    FillListing(std::exchange(pending_folder_, {}), pending_mask_);
    position_ = 1;
  }
  return position_ < listing_.size() ? listing_[position_++] : "";
}

void FileOperations::FillListing(const std::string& folder, int mask) {
  listing_.clear();
  position_ = 0;
  const std::vector<Entry>* entries = nullptr;
  try {
    entries = &Listed(folder);
  } catch (const Failure&) {
    return;  // a folder that cannot be read lists as empty
  }
  if (mask & kDirectory) listing_ = {".", ".."};
  for (const Entry& e : *entries) {
    if (e.kind != EntryKind::kOther && MatchesMask(AttributesOf(e.name, e.kind), mask)) {
      listing_.push_back(e.name);
    }
  }
}

const std::vector<Entry>& FileOperations::Listed(const std::string& folder) {
  auto known = listings_.find(folder);
  if (known != listings_.end() && known->second.mark == resolver_.Mark(folder)) {
    return known->second.entries;
  }
  std::vector<Entry> entries = fs_->ReadFolder(folder);
  std::vector<std::string> keys = FoldedNames(entries);
  std::vector<size_t> order = ListingOrder(entries, keys, [](const Entry&) { return true; });
  std::vector<Entry> sorted;
  std::vector<std::string> sorted_keys;
  sorted.reserve(order.size());
  sorted_keys.reserve(order.size());
  for (size_t i : order) {
    sorted.push_back(std::move(entries[i]));
    sorted_keys.push_back(std::move(keys[i]));
  }
  // What was just read is the freshest word on the folder's names; learnt in
  // the order the commands then walk them, neighbours lie side by side.
  resolver_.Learn(folder, sorted, std::move(sorted_keys));
  Listing& listing = listings_[folder];
  listing = {resolver_.Mark(folder), std::move(sorted)};
  return listing.entries;
}

int FileOperations::GetAttr(const std::string& path) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  std::optional<EntryInfo> info = resolver_.Details(entry);
  if (!info) throw Failure(kFileNotFound, "no entry " + path);
  return AttributesOf(NameOf(entry.path), *info);
}

int FileOperations::GetKindAttr(const std::string& path) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  if (!entry.kind) throw Failure(kFileNotFound, "no entry " + path);
  return AttributesOf(NameOf(entry.path), *entry.kind);
}

void FileOperations::MakeFolder(const std::string& path) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  if (entry.kind) throw Failure(kPathFileAccessError, "already there: " + path);
  std::string parent = ExistingFolder(std::string(ParentOf(entry.path)));
  std::string name(NameOf(entry.path));
  fs_->MakeFolder(JoinPath(parent, name));
  resolver_.Added(parent, {name, EntryKind::kFolder});
}

void FileOperations::DeleteFile(const std::string& path) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  if (entry.kind != EntryKind::kFile) throw Failure(kFileNotFound, "no file " + path);
  try {
    fs_->DeleteFile(entry.path);
  } catch (const Failure& failure) {
    RefuseIfGone(entry, failure);
    throw;
  }
  resolver_.Removed(entry.path);
}

void FileOperations::RefuseIfGone(const ResolvedPath& entry, const Failure& failure) {
  if (failure.number() != kPathNotFound || entry.inspected || fs_->Inspect(entry.path)) return;
  resolver_.Removed(entry.path);
  throw Failure(kFileNotFound, "no file " + entry.path);
}

void FileOperations::DeleteFileQuietly(const std::string& path) noexcept {
  try {
    DeleteFile(path);
  } catch (...) {
    // The caller has nothing to do about it.
  }
}

void FileOperations::WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  std::string parent = ExistingFolder(std::string(ParentOf(entry.path)));
  if (entry.kind && entry.kind != EntryKind::kFile) {
    throw Failure(kPathFileAccessError, "not a file: " + path);
  }
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\r\n");
  std::string name(NameOf(entry.path));
  // Written whole beside its place, then named: an interruption leaves no
  // file or the whole one, never an empty one that a later run cannot tell
  // from a user's.
  std::string temporary = TemporaryIn(parent);
  std::string target = JoinPath(parent, name);
  try {
    fs_->WriteFile(temporary, text);
    fs_->Rename(temporary, target, true);
  } catch (const Failure& failure) {
    DiscardTemporary(temporary);
    if (failure.number() != kCrossDevice) throw;
    fs_->WriteFile(target, text);  // a volume that cannot rename: written where it stands
  }
  resolver_.Added(parent, {name, EntryKind::kFile});
}

bool FileOperations::Holds(const std::string& path, std::string_view text) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  std::optional<EntryInfo> info = resolver_.Details(entry);
  if (!info || info->kind != EntryKind::kFile || info->is_link) return false;
  return fs_->ReadFile(entry.path, text.size() + 1) == text;
}

Folder FileOperations::GetFolder(const std::string& path) {
  if (path.empty() || HasControlCharacter(path)) throw Failure(kPathNotFound, "no folder");
  return Folder(this, ExistingFolder(path));
}

std::vector<File> FileOperations::Files(const std::string& folder) {
  if (folder == files_memo_.folder && resolver_.FilesMark(folder) == files_memo_.mark) {
    return files_memo_.files;
  }
  std::vector<File> answer;
  for (const Entry& e : Listed(folder)) {
    if (e.kind != EntryKind::kFile) continue;
    int attributes = AttributesOf(e.name, e.kind);
    if (e.is_link) attributes |= kLink;
    answer.push_back({JoinPath(folder, e.name), attributes});
  }
  files_memo_ = {folder, resolver_.FilesMark(folder), answer};
  return answer;
}

std::string FileOperations::GetBaseName(std::string_view path) {
  std::string_view name = NameOf(path);
  return std::string(name.substr(0, name.rfind('.')));
}

File FileOperations::GetFile(const std::string& path) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  std::optional<EntryInfo> info = resolver_.Details(entry);
  if (!info || info->kind != EntryKind::kFile) throw Failure(kFileNotFound, "no file " + path);
  return {entry.path, AttributesOf(NameOf(entry.path), *info), info->mtime};
}

std::string FileOperations::ReadStart(const std::string& path, size_t limit) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  if (entry.kind != EntryKind::kFile) throw Failure(kFileNotFound, "no file " + path);
  try {
    return fs_->ReadFile(entry.path, limit);
  } catch (const Failure& failure) {
    RefuseIfGone(entry, failure);
    throw;
  }
}

void FileOperations::DeleteFolder(const std::string& path) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  if (!entry.kind || entry.kind == EntryKind::kFile || entry.kind == EntryKind::kOther) {
    throw Failure(kPathNotFound, "no folder " + path);
  }
  struct Forget {
    Resolver& resolver;
    const std::string& path;
    ~Forget() { resolver.FolderRemoved(path); }
  } forget{resolver_, entry.path};
  if (entry.kind == EntryKind::kFolderLink) {
    fs_->RemoveFolder(entry.path);
    return;
  }
  RemoveTree(entry.path);
}

void FileOperations::RemoveTree(const std::string& folder) {
  for (const Entry& e : fs_->ReadFolder(folder)) {
    std::string path = JoinPath(folder, e.name);
    if (e.kind == EntryKind::kFolder) {
      RemoveTree(path);
    } else if (e.kind == EntryKind::kFolderLink) {
      fs_->RemoveFolder(path);
    } else {
      fs_->DeleteFile(path);
    }
  }
  fs_->RemoveFolder(folder);
}

bool FileOperations::PruneFolder(const std::string& path,
                                 const std::function<bool(const std::string& file)>& remove) {
  RefuseControlCharacters(path);
  ResolvedPath entry = resolver_.Resolve(path);
  if (entry.kind != EntryKind::kFolder) throw Failure(kPathNotFound, "no folder " + path);
  bool gone = PruneTree(entry.path, path, remove);
  if (gone) resolver_.FolderRemoved(entry.path);
  return gone;
}

bool FileOperations::PruneTree(const std::string& folder, const std::string& spelt,
                               const std::function<bool(const std::string& file)>& remove) {
  bool emptied = true;
  // The folders removed below are forgotten here only if this one stays;
  // else the caller forgets them with it, at once, for forgetting costs a
  // look at all that is remembered.
  std::vector<std::string> removed;
  struct Forget {
    Resolver& resolver;
    std::vector<std::string>& folders;
    ~Forget() {
      for (const std::string& folder : folders) resolver.FolderRemoved(folder);
    }
  } forget{resolver_, removed};
  // A copy: deleting files below changes what is known of this folder.
  const std::vector<Entry> entries = Listed(folder);
  for (const Entry& e : entries) {
    std::string path = JoinPath(folder, e.name);
    bool gone = false;
    if (e.kind == EntryKind::kFolder && !IsHiddenName(e.name)) {
      gone = PruneTree(path, JoinPath(spelt, e.name), remove);
      if (gone) removed.push_back(path);
    } else if (e.kind == EntryKind::kFile && remove(JoinPath(spelt, e.name))) {
      fs_->DeleteFile(path);
      resolver_.Removed(path);
      gone = true;
    }
    emptied = emptied && gone;
  }
  if (!emptied) return false;
  fs_->RemoveFolder(folder);
  removed.clear();
  return true;
}

}  // namespace varnelo
