#include "filesystem/resolver.h"

#include <algorithm>

#include "filesystem/failure.h"
#include "filesystem/names.h"

namespace varnelo {

std::string NameIndex::FoldKey(std::string_view name) { return FoldCase(name); }

void NameIndex::Add(const Entry& entry) {
  std::vector<Entry>& variants = by_key_[FoldKey(entry.name)];
  auto same = std::find_if(variants.begin(), variants.end(),
                           [&](const Entry& e) { return e.name == entry.name; });
  if (same == variants.end()) {
    variants.push_back(entry);
  } else {
    *same = entry;
  }
}

void NameIndex::Remove(std::string_view name) {
  auto it = by_key_.find(FoldKey(name));
  if (it == by_key_.end()) return;
  std::erase_if(it->second, [&](const Entry& e) { return e.name == name; });
  if (it->second.empty()) by_key_.erase(it);
}

const Entry* NameIndex::Find(std::string_view name) const {
  auto it = by_key_.find(FoldKey(name));
  if (it == by_key_.end()) return nullptr;
  for (const Entry& e : it->second) {
    if (e.name == name) return &e;
  }
  return &it->second.front();
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path(folder);
  if (path.back() != '/') path += '/';
  return path.append(name);
}

void Resolver::Start(const std::string& boundary) {
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
    if (link_free_.contains(std::string(f))) break;
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

ResolvedPath Resolver::ResolveNormalized(const std::string& path) {
  if (path.empty()) return {path, std::nullopt};
  if (std::optional<EntryInfo> info = fs_->Inspect(path)) {
    std::string_view parent = ParentOf(path);
    if (!parent.empty() && !ReachableWithoutLinks(parent)) return {path, std::nullopt};
    return {path, info};
  }
  std::string_view name = NameOf(path);
  if (name.empty() || name == "." || name == "..") return {path, std::nullopt};
  std::string_view parent = ParentOf(path);
  std::optional<std::string> folder = Folder(parent.empty() ? std::string_view(".") : parent);
  if (!folder) return {path, std::nullopt};
  std::string base = parent.empty() ? std::string() : *folder;
  const Entry* entry = nullptr;
  try {
    entry = IndexOf(*folder).Find(name);
  } catch (const Failure&) {
    return {JoinPath(base, name), std::nullopt};  // an unreadable folder hides its names
  }
  if (!entry) return {JoinPath(base, name), std::nullopt};
  std::string actual = JoinPath(base, entry->name);
  return {actual, fs_->Inspect(actual)};
}

std::optional<std::string> Resolver::Folder(std::string_view path) {
  std::string key = NormalizePath(path);
  if (auto known = folders_.find(key); known != folders_.end()) return known->second;
  ResolvedPath folder = ResolveNormalized(key);
  if (!folder.info) return std::nullopt;
  bool reachable = folder.info->kind == EntryKind::kFolder ||
                   (folder.info->kind == EntryKind::kFolderLink && !IsBelowBoundary(folder.path));
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

namespace {

// Names without a folder part live in the working folder, which is indexed as ".".
std::string IndexKey(std::string_view folder) {
  return folder.empty() ? std::string(".") : NormalizePath(folder);
}

}  // namespace

void Resolver::Added(const std::string& folder, const Entry& entry) {
  Changed();
  auto it = indexes_.find(IndexKey(folder));
  if (it != indexes_.end()) it->second.Add(entry);
}

void Resolver::Removed(const std::string& path) {
  Changed();
  auto it = indexes_.find(IndexKey(ParentOf(path)));
  if (it != indexes_.end()) it->second.Remove(NameOf(path));
}

void Resolver::FolderRemoved(const std::string& path) {
  Removed(path);
  std::erase_if(indexes_, [&](const auto& item) {
    return item.first == path || item.first.starts_with(path + "/");
  });
  link_free_.clear();
  folders_.clear();
}

}  // namespace varnelo
