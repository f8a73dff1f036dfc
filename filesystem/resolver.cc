#include "filesystem/resolver.h"

#include <algorithm>

#include "filesystem/failure.h"
#include "filesystem/names.h"

namespace varnelo {

namespace {

// Names without a folder part live in the working folder, which is indexed as ".".
std::string_view IndexKey(std::string_view folder) { return folder.empty() ? "." : folder; }

}  // namespace

std::string NameIndex::FoldKey(std::string_view name) { return FoldCase(name); }

void NameIndex::Add(std::string key, const Entry& entry, const std::optional<EntryInfo>& info) {
  KnownEntry known{entry, info};
  auto [it, inserted] = by_key_.try_emplace(std::move(key), Variants{known, {}});
  if (inserted) return;
  Variants& variants = it->second;
  if (variants.first.entry.name == entry.name) {
    variants.first = std::move(known);
    return;
  }
  auto same = std::find_if(variants.more.begin(), variants.more.end(),
                           [&](const KnownEntry& e) { return e.entry.name == entry.name; });
  if (same == variants.more.end()) {
    variants.more.push_back(std::move(known));
  } else {
    *same = std::move(known);
  }
}

void NameIndex::Remove(std::string_view name) {
  auto it = by_key_.find(FoldKey(name));
  if (it == by_key_.end()) return;
  Variants& variants = it->second;
  if (variants.first.entry.name == name) {
    if (variants.more.empty()) {
      by_key_.erase(it);
      return;
    }
    variants.first = std::move(variants.more.front());
    variants.more.erase(variants.more.begin());
    return;
  }
  std::erase_if(variants.more, [&](const KnownEntry& e) { return e.entry.name == name; });
}

const Entry* NameIndex::Find(std::string_view name) const {
  auto it = by_key_.find(FoldKey(name));
  if (it == by_key_.end()) return nullptr;
  const Variants& variants = it->second;
  for (const KnownEntry& e : variants.more) {
    if (e.entry.name == name) return &e.entry;
  }
  return &variants.first.entry;
}

KnownEntry* NameIndex::FindExact(std::string_view name) {
  auto it = by_key_.find(FoldKey(name));
  if (it == by_key_.end()) return nullptr;
  Variants& variants = it->second;
  if (variants.first.entry.name == name) return &variants.first;
  for (KnownEntry& e : variants.more) {
    if (e.entry.name == name) return &e;
  }
  return nullptr;
}

int NameIndex::NextNumber(std::string_view name) const {
  if (next_number_.empty()) return 1;
  auto it = next_number_.find(FoldKey(name));
  return it == next_number_.end() ? 1 : it->second;
}

void NameIndex::SetNextNumber(std::string_view name, int number) {
  if (number > 1) next_number_[FoldKey(name)] = number;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder);
  if (path.back() != '/') path += '/';
  return path.append(name);
}

void Resolver::Start(const std::string& boundary) {
  recent_.reset();
  changes_.clear();
  ++folder_removals_;
  indexes_.clear();
  link_free_.clear();
  folders_.clear();
  Changed();
  boundaries_.clear();
  if (boundary.empty()) return;
  boundaries_.push_back(NormalizePath(boundary));
  if (std::optional<std::string> resolved = Folder(boundary)) boundaries_.push_back(*resolved);
}

bool Resolver::IsBelowBoundary(std::string_view path) const {
  return std::any_of(boundaries_.begin(), boundaries_.end(), [&](const std::string& b) {
    return path.size() > b.size() && path.starts_with(b) && (b == "/" || path[b.size()] == '/');
  });
}

bool Resolver::ReachableWithoutLinks(std::string_view folder) {
  for (std::string_view f = folder; IsBelowBoundary(f); f = ParentOf(f)) {
    if (link_free_.contains(f)) break;
    std::optional<EntryInfo> info = fs_->Inspect(std::string(f));
    if (!info || info->is_link) return false;
  }
  link_free_.insert(std::string(folder));
  return true;
}

ResolvedPath Resolver::Resolve(std::string_view raw) {
  std::string path = NormalizePath(raw);
  if (last_ && last_->first == path) return last_->second;
  ResolvedPath resolved = ResolveNormalized(path);
  last_.emplace(std::move(path), resolved);
  return resolved;
}

std::optional<EntryInfo> Resolver::Details(const ResolvedPath& resolved) {
  if (resolved.inspected || !resolved.kind) return resolved.inspected;
  // Asked more than once about one entry (its attributes, then its time; in
  // each of two searches), the disk is asked once.
  KnownEntry* known = Known(resolved.path);
  if (known && known->info) return known->info;
  bool last = last_ && last_->second.path == resolved.path;
  if (last && last_->second.inspected) return last_->second.inspected;
  std::optional<EntryInfo> info = fs_->Inspect(resolved.path);
  if (known && info && info->kind == known->entry.kind) known->info = info;
  if (last) last_->second.inspected = info;
  return info;
}

KnownEntry* Resolver::Known(std::string_view path) {
  NameIndex* index = KnownIndex(IndexKey(ParentOf(path)));
  return index ? index->FindExact(NameOf(path)) : nullptr;
}

ResolvedPath Resolver::ResolveNormalized(const std::string& path) {
  if (std::optional<ResolvedPath> known = ResolveFromIndex(path)) return std::move(*known);
  return ResolveOnDisk(path);
}

ResolvedPath Resolver::ResolveOnDisk(const std::string& path) {
  if (path.empty()) return {path, std::nullopt, std::nullopt};
  if (std::optional<EntryInfo> info = fs_->Inspect(path)) {
    std::string_view parent = ParentOf(path);
    if (!parent.empty() && !ReachableWithoutLinks(parent))
      return {path, std::nullopt, std::nullopt};
    return {path, info->kind, info};
  }
  std::string_view name = NameOf(path);
  if (name.empty() || name == "." || name == "..") return {path, std::nullopt, std::nullopt};
  std::string_view parent = ParentOf(path);
  std::optional<std::string> folder = Folder(parent.empty() ? std::string_view(".") : parent);
  if (!folder) return {path, std::nullopt, std::nullopt};
  std::string base = parent.empty() ? std::string() : *folder;
  const Entry* entry = nullptr;
  try {
    entry = IndexOf(*folder).Find(name);
  } catch (const Failure&) {
    // An unreadable folder hides its names.
    return {JoinPath(base, name), std::nullopt, std::nullopt};
  }
  if (!entry) return {JoinPath(base, name), std::nullopt, std::nullopt};
  std::string actual = JoinPath(base, entry->name);
  std::optional<EntryInfo> info = fs_->Inspect(actual);
  if (!info) return {actual, std::nullopt, std::nullopt};
  return {actual, info->kind, info};
}

// A name that a folder's known names hold exactly is answered without asking
// the disk: the folder was resolved, links and all, when it was learnt. Any
// other name is looked for on the disk, where it may have come meanwhile.
std::optional<ResolvedPath> Resolver::ResolveFromIndex(const std::string& path) {
  std::string_view name = NameOf(path);
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  std::string_view parent = ParentOf(path);
  const RecentFolder* folder = RecentFolderOf(parent.empty() ? std::string_view(".") : parent);
  if (!folder) return std::nullopt;
  const KnownEntry* known = folder->index->FindExact(name);
  if (!known) return std::nullopt;
  return ResolvedPath{JoinPath(parent.empty() ? std::string_view() : *folder->resolved, name),
                      known->entry.kind, known->info};
}

const Resolver::RecentFolder* Resolver::RecentFolderOf(std::string_view asked) {
  if (recent_ && recent_->asked == asked) return &*recent_;
  auto folder = folders_.find(asked);
  if (folder == folders_.end()) return nullptr;
  auto index = indexes_.find(folder->second);
  if (index == indexes_.end()) return nullptr;
  recent_ = RecentFolder{std::string(asked), &folder->second, &index->second};
  return &*recent_;
}

NameIndex* Resolver::KnownIndex(std::string_view folder) {
  if (recent_ && *recent_->resolved == folder) return recent_->index;
  auto index = indexes_.find(folder);
  return index == indexes_.end() ? nullptr : &index->second;
}

std::optional<std::string> Resolver::Folder(std::string_view path) {
  std::string key = NormalizePath(path);
  if (auto known = folders_.find(key); known != folders_.end()) return known->second;
  ResolvedPath folder = ResolveNormalized(key);
  if (!folder.kind) return std::nullopt;
  bool reachable = folder.kind == EntryKind::kFolder ||
                   (folder.kind == EntryKind::kFolderLink && !IsBelowBoundary(folder.path));
  if (!reachable) return std::nullopt;
  folders_.emplace(std::move(key), folder.path);
  return folder.path;
}

NameIndex& Resolver::IndexOf(const std::string& folder) {
  auto [it, inserted] = indexes_.try_emplace(folder);
  if (inserted) {
    try {
      for (const Entry& entry : fs_->ReadFolder(folder)) it->second.Add(entry);
    } catch (const Failure&) {
      indexes_.erase(it);
      throw;
    }
  }
  return it->second;
}

void Resolver::Learn(const std::string& folder, const std::vector<Entry>& entries,
                     std::vector<std::string> keys) {
  if (indexes_.contains(folder) || Folder(folder) != folder) return;
  NameIndex& index = indexes_[folder];
  index.Reserve(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) index.Add(std::move(keys[i]), entries[i]);
  Changed();
}

void Resolver::Added(const std::string& folder, const Entry& entry,
                     const std::optional<EntryInfo>& info) {
  Changed();
  Changes& changes = changes_[std::string(IndexKey(folder))];
  ++changes.entries;
  if (entry.kind == EntryKind::kFile) ++changes.files;
  if (NameIndex* index = KnownIndex(IndexKey(folder))) index->Add(entry, info);
}

void Resolver::Removed(const std::string& path) {
  Changed();
  Changes& changes = changes_[std::string(IndexKey(ParentOf(path)))];
  ++changes.entries;
  ++changes.files;
  if (NameIndex* index = KnownIndex(IndexKey(ParentOf(path)))) index->Remove(NameOf(path));
}

void Resolver::FolderRemoved(const std::string& path) {
  Removed(path);
  ++folder_removals_;
  recent_.reset();
  const std::string below = path + "/";
  auto gone = [&](std::string_view p) { return p == path || p.starts_with(below); };
  std::erase_if(indexes_, [&](const auto& item) { return gone(item.first); });
  std::erase_if(link_free_, gone);
  std::erase_if(folders_, [&](const auto& item) { return gone(item.first) || gone(item.second); });
}

Resolver::ChangeMark Resolver::Mark(std::string_view folder) const {
  auto changes = changes_.find(IndexKey(folder));
  return {folder_removals_, changes == changes_.end() ? 0 : changes->second.entries};
}

Resolver::ChangeMark Resolver::FilesMark(std::string_view folder) const {
  auto changes = changes_.find(IndexKey(folder));
  return {folder_removals_, changes == changes_.end() ? 0 : changes->second.files};
}

}  // namespace varnelo
