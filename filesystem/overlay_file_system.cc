#include "filesystem/overlay_file_system.h"

#include <cerrno>

#include "filesystem/failure.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

[[noreturn]] void Fail(int error, const std::string& context) {
  throw FailureFromErrno(error, context);
}

struct timespec Now() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

}  // namespace

std::unique_ptr<FileSystem::Anchor> OverlayFileSystem::WorkBelow(const std::string& folder) {
  return disk_->WorkBelow(folder);
}

OverlayFileSystem::Known OverlayFileSystem::Find(std::string_view path) const {
  auto folder = folders_.find(ParentOf(path));
  if (folder == folders_.end()) return {false, nullptr};
  auto name = folder->second.names.find(NameOf(path));
  if (name != folder->second.names.end()) return {true, name->second ? &*name->second : nullptr};
  return {folder->second.complete, nullptr};
}

std::optional<EntryInfo> OverlayFileSystem::Inspect(const std::string& path) {
  Known known = Find(path);
  if (!known.known) return disk_->Inspect(path);
  if (known.node == nullptr) return std::nullopt;
  if (!known.node->detailed) return disk_->Inspect(SourceOf(*known.node, path));
  return known.node->info;
}

bool OverlayFileSystem::Exists(const std::string& path) const {
  Known known = Find(path);
  return known.known ? known.node != nullptr : disk_->Inspect(path).has_value();
}

OverlayFileSystem::Node& OverlayFileSystem::NodeAt(const std::string& path) {
  Known known = Find(path);
  if (known.known) {
    if (known.node == nullptr) Fail(ENOENT, "no entry " + path);
    return const_cast<Node&>(*known.node);
  }
  std::optional<EntryInfo> info = disk_->Inspect(path);
  if (!info) Fail(ENOENT, "no entry " + path);
  return *Set(path, Node{*info, "", ""});
}

std::string OverlayFileSystem::SourceOf(const Node& node, std::string_view path) {
  return node.source.empty() ? std::string(path) : node.source;
}

OverlayFileSystem::Node OverlayFileSystem::Detailed(Node node, std::string_view path) {
  if (node.detailed) return node;
  std::string source = SourceOf(node, path);
  std::optional<EntryInfo> info = disk_->Inspect(source);
  if (!info) Fail(ENOENT, "no entry " + source);
  node.info = *info;
  node.detailed = true;
  return node;
}

EntryInfo OverlayFileSystem::FolderAt(std::string_view path) {
  // Only the kind and the device of a folder are asked for, which a listing tells.
  std::optional<EntryInfo> info;
  if (Known known = Find(path); known.known) {
    if (known.node != nullptr) info = known.node->info;
  } else if (auto told = untouched_folders_.find(path); told != untouched_folders_.end()) {
    info = told->second;
  } else if ((info = disk_->Inspect(std::string(path))) && info->kind == EntryKind::kFolder) {
    untouched_folders_.emplace(std::string(path), *info);
  }
  if (!info || info->kind != EntryKind::kFolder) Fail(ENOENT, "no folder " + std::string(path));
  return *info;
}

OverlayFileSystem::Folder& OverlayFileSystem::FolderNamed(std::string_view path) {
  auto folder = folders_.find(path);
  if (folder == folders_.end()) folder = folders_.emplace(std::string(path), Folder{}).first;
  return folder->second;
}

std::optional<OverlayFileSystem::Node>& OverlayFileSystem::Set(const std::string& path,
                                                               std::optional<Node> node) {
  TextMap<std::optional<Node>>& names = FolderNamed(ParentOf(path)).names;
  if (auto name = names.find(NameOf(path)); name != names.end()) {
    return name->second = std::move(node);
  }
  return names.emplace(std::string(NameOf(path)), std::move(node)).first->second;
}

void OverlayFileSystem::Unset(const std::string& path) {
  Folder& folder = FolderNamed(ParentOf(path));
  // A listed folder tells that a name it lacks is none: the name goes with
  // its node, as a large folder emptied would else keep one for every file.
  if (folder.complete) {
    if (auto name = folder.names.find(NameOf(path)); name != folder.names.end()) {
      folder.names.erase(name);
    }
    return;
  }
  Set(path, std::nullopt);
}

EntryInfo OverlayFileSystem::NewFile(const EntryInfo& folder) {
  return {EntryKind::kFile, false, true, Now(), folder.device, next_inode_--, 1, 0};
}

std::vector<Entry> OverlayFileSystem::ReadFolder(const std::string& folder) {
  EntryInfo info = FolderAt(folder);
  Folder& known = FolderNamed(folder);
  if (!known.complete) {
    std::vector<Entry> listed = disk_->ReadFolder(folder);
    known.names.reserve(listed.size());
    for (const Entry& e : listed) {
      EntryInfo kind = {e.kind, e.is_link, true, {}, info.device, 0, 1, 0};
      known.names.try_emplace(e.name, Node{kind, "", "", false});
    }
    known.complete = true;
  }
  std::vector<Entry> entries;
  for (const auto& [name, node] : known.names) {
    if (node) entries.push_back({name, node->info.kind, node->info.is_link});
  }
  return entries;
}

void OverlayFileSystem::MakeFolder(const std::string& path) {
  EntryInfo parent = FolderAt(ParentOf(path));
  if (Exists(path)) Fail(EEXIST, "make folder " + path);
  Set(path, Node{{EntryKind::kFolder, false, true, Now(), parent.device, next_inode_--, 2, 0}});
  FolderNamed(path) = Folder{.complete = true};
}

void OverlayFileSystem::RemoveFolder(const std::string& path) {
  Node node = NodeAt(path);
  if (node.info.kind == EntryKind::kFolder) {
    if (!ReadFolder(path).empty()) Fail(ENOTEMPTY, "remove folder " + path);
    FolderNamed(path) = Folder{.complete = true};  // nothing stands below it
  } else if (node.info.kind != EntryKind::kFolderLink) {
    Fail(ENOTDIR, "remove folder " + path);
  }
  Unset(path);
}

void OverlayFileSystem::DeleteFile(const std::string& path) {
  if (NodeAt(path).info.kind == EntryKind::kFolder) Fail(EISDIR, "delete " + path);
  Unset(path);
}

Outcome OverlayFileSystem::Rename(const std::string& from, const std::string& to) {
  Node& node = NodeAt(from);
  EntryInfo folder = FolderAt(ParentOf(to));
  if (Exists(to)) return Outcome::kNameTaken;
  if (folder.device != node.info.device) return Outcome::kOtherVolume;
  if (node.info.kind == EntryKind::kFolder) {
    throw Failure(kPathFileAccessError, "the simulation renames no folder: " + from);
  }
  Node moved = std::move(node);
  if (!moved.written && moved.source.empty()) moved.source = from;
  Unset(from);
  Set(to, std::move(moved));
  return Outcome::kDone;
}

void OverlayFileSystem::ReplaceFile(const std::string& from, const std::string& to) {
  Node node = NodeAt(from);
  if (!node.written && node.source.empty()) node.source = from;
  FolderAt(ParentOf(to));
  std::optional<EntryInfo> there = Inspect(to);
  if (node.info.kind != EntryKind::kFile || (there && there->kind != EntryKind::kFile)) {
    Fail(EISDIR, "replace " + to);
  }
  Set(to, std::move(node));
  Unset(from);
}

Outcome OverlayFileSystem::CopyFile(const std::string& from, const std::string& to) {
  Node node = Detailed(NodeAt(from), from);
  EntryInfo folder = FolderAt(ParentOf(to));
  if (node.info.kind != EntryKind::kFile) throw Failure(kPathFileAccessError, "copy " + from);
  if (Exists(to)) return Outcome::kNameTaken;
  EntryInfo copy = NewFile(folder);
  copy.is_link = node.info.is_link;
  copy.mtime = node.info.mtime;
  copy.size = node.info.size;
  Set(to, Node{copy, SourceOf(node, from), std::move(node.data), true, node.written});
  return Outcome::kDone;
}

Outcome OverlayFileSystem::WriteFile(const std::string& path, std::string_view data) {
  EntryInfo folder = FolderAt(ParentOf(path));
  if (Exists(path)) return Outcome::kNameTaken;
  EntryInfo file = NewFile(folder);
  file.size = data.size();
  Set(path, Node{file, "", std::string(data), true, true});
  return Outcome::kDone;
}

std::string OverlayFileSystem::ReadFile(const std::string& path, size_t limit) {
  Known known = Find(path);
  if (!known.known) return disk_->ReadFile(path, limit);
  if (known.node == nullptr) Fail(ENOENT, "read " + path);
  const Node& node = *known.node;
  if (node.info.kind != EntryKind::kFile || node.info.is_link) {
    throw Failure(kPathFileAccessError, "read " + path + ": not a file");
  }
  if (!node.written) return disk_->ReadFile(SourceOf(node, path), limit);
  return node.data.substr(0, limit);
}

void OverlayFileSystem::SyncFolder(const std::string& folder) { FolderAt(folder); }

void OverlayFileSystem::SetModificationTime(const std::string& path, struct timespec mtime) {
  Node node = Detailed(NodeAt(path), path);
  node.info.mtime = mtime;
  Set(path, std::move(node));
}

}  // namespace varnelo
