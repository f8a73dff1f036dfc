#include "filesystem/resolver.h"

#include "filesystem/failure.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

bool IsName(std::string_view name) { return !name.empty() && name != "." && name != ".."; }

// No volume the commands were designed for holds a name with a control
// character; typed text (the drop box's two-line prompt, say) does. A path
// into such a folder is no valid name.
void RefuseControlCharacters(std::string_view folder) {
  if (HasControlCharacter(folder)) throw Failure(kBadFileName, "bad file name");
}

}  // namespace

Resolver::Resolver(FileSystem* fs, FolderCache& cache, const std::string& folder)
    : fs_(fs), cache_(cache), folder_(NormalizePath(folder)) {}

bool Resolver::IsBelow(std::string_view path) const {
  if (folder_.empty() || path.size() <= folder_.size() || !path.starts_with(folder_)) return false;
  return folder_ == "/" || path[folder_.size()] == '/';
}

ResolvedPath Resolver::Resolve(std::string_view raw) {
  std::string path = NormalizePath(raw);
  RefuseControlCharacters(ParentOf(path));
  if (!IsBelow(path)) return OnDisk(std::move(path));
  std::string folder = folder_;
  std::string_view rest = std::string_view(path).substr(folder_ == "/" ? 1 : folder_.size() + 1);
  for (;;) {
    size_t slash = rest.find('/');
    std::string_view name = rest.substr(0, slash);
    FolderListing& listing = cache_.Of(folder);
    const CachedEntry* found = IsName(name) ? listing.Find(name) : nullptr;
    if (slash == std::string_view::npos) {
      if (!found) return {JoinPath(folder, name), std::nullopt, false, &listing};
      const Entry& entry = found->entry;
      return {JoinPath(folder, entry.name), entry.kind, entry.is_link, &listing};
    }
    if (!found || found->entry.kind != EntryKind::kFolder) return {std::move(path), std::nullopt};
    folder = JoinPath(folder, found->entry.name);
    rest = rest.substr(slash + 1);
  }
}

ResolvedPath Resolver::OnDisk(std::string path) {
  std::optional<EntryInfo> info =
      IsName(NameOf(path)) || path == folder_ ? Look(path) : std::nullopt;
  if (!info) return {std::move(path), std::nullopt};
  return {std::move(path), info->kind, info->is_link};
}

std::optional<EntryInfo> Resolver::Look(const std::string& path) {
  if (path != folder_) return fs_->Inspect(path);
  if (!folder_info_) folder_info_ = fs_->Inspect(path);
  return *folder_info_;
}

std::optional<std::string> Resolver::Folder(std::string_view path) {
  RefuseControlCharacters(path);
  ResolvedPath folder = Resolve(path);
  bool reachable = folder.kind == EntryKind::kFolder ||
                   (folder.kind == EntryKind::kFolderLink && !IsBelow(folder.path));
  if (!reachable) return std::nullopt;
  return std::move(folder.path);
}

std::optional<EntryInfo> Resolver::KnownDetails(const ResolvedPath& resolved) {
  if (!resolved.kind || !resolved.listing) return std::nullopt;
  const CachedEntry* known = resolved.listing->FindExact(NameOf(resolved.path));
  return known ? known->info : std::nullopt;
}

std::optional<EntryInfo> Resolver::Details(const ResolvedPath& resolved) {
  if (!resolved.kind) return std::nullopt;
  if (!resolved.listing) return Look(resolved.path);
  CachedEntry* known = resolved.listing->FindExact(NameOf(resolved.path));
  if (known && known->info) return known->info;
  std::optional<EntryInfo> info = fs_->Inspect(resolved.path);
  if (known && info && info->kind == known->entry.kind) known->info = info;
  return info;
}

}  // namespace varnelo
