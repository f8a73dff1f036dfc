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

// A folder's path ending in a separator is asked about once per file: the
// separator is passed over, not copied away.
std::string_view WithoutEndingSeparator(std::string_view path) {
  if (path.size() > RootLength(path) && path.back() == kPathSeparator) path.remove_suffix(1);
  return path;
}

}  // namespace

Resolver::Resolver(FileSystem* fs, FolderCache& cache, const std::string& folder)
    : fs_(fs), cache_(cache), folder_(NormalizePath(folder)) {}

bool Resolver::IsBelow(std::string_view path) const {
  if (folder_.empty() || path.size() <= folder_.size() || !path.starts_with(folder_)) return false;
  return IsPathSeparator(folder_.back()) || path[folder_.size()] == kPathSeparator;
}

Resolver::KnownFolder* Resolver::Known(std::string_view asked) {
  if (known_generation_ != cache_.generation()) {
    known_.clear();
    known_generation_ = cache_.generation();
  }
  auto it = known_.find(asked);
  return it == known_.end() ? nullptr : &it->second;
}

Resolver::KnownFolder* Resolver::KnownAsSpelt(std::string_view path) {
  std::string_view bare = WithoutEndingSeparator(path);
  return IsNormalPath(bare) ? Known(bare) : nullptr;
}

FolderListing& Resolver::ListingOf(KnownFolder& known) {
  if (!known.listing) known.listing = &cache_.Of(known.resolved);
  return *known.listing;
}

ResolvedPath Resolver::Resolve(std::string_view raw) {
  std::string normalized;
  std::string_view path = WithoutEndingSeparator(raw);
  if (!IsNormalPath(path)) path = normalized = NormalizePath(path);
  std::string_view parent = ParentOf(path);
  if (KnownFolder* known = Known(parent))
    return InFolder(known->resolved, ListingOf(*known), NameOf(path));
  // Below the run's folder every name was read from a listing, where a
  // control character is a real one; only typed text is held to the rule.
  bool below = IsBelow(path);
  RefuseControlCharacters(below ? std::string_view(folder_) : parent);
  if (!below) return OnDisk(std::string(path));
  std::string folder = folder_;
  std::string_view rest =
      path.substr(IsPathSeparator(folder_.back()) ? folder_.size() : folder_.size() + 1);
  for (size_t slash; (slash = rest.find(kPathSeparator)) != std::string_view::npos;) {
    std::string_view name = rest.substr(0, slash);
    FolderListing& listing = cache_.Of(folder);
    std::optional<uint32_t> place = IsName(name) ? listing.Find(name) : std::nullopt;
    if (!place || listing.At(*place).entry.kind != EntryKind::kFolder) {
      return {std::string(path), std::nullopt, false, nullptr, std::nullopt};
    }
    folder = JoinPath(folder, listing.At(*place).entry.name);
    rest = rest.substr(slash + 1);
  }
  FolderListing& listing = cache_.Of(folder);
  const KnownFolder& known = known_[std::string(parent)] = {std::move(folder), &listing};
  return InFolder(known.resolved, listing, rest);
}

std::optional<const Entry*> Resolver::KnownEntry(std::string_view raw) {
  std::string_view path = WithoutEndingSeparator(raw);
  if (!IsNormalPath(path)) return std::nullopt;
  KnownFolder* known = Known(ParentOf(path));
  if (!known) return std::nullopt;
  FolderListing& listing = ListingOf(*known);
  std::string_view name = NameOf(path);
  std::optional<uint32_t> place = IsName(name) ? listing.Find(name) : std::nullopt;
  return place ? &listing.At(*place).entry : nullptr;
}

std::optional<Entry> Resolver::EntryAt(std::string_view path) {
  if (std::optional<const Entry*> entry = KnownEntry(path)) {
    return *entry ? std::optional<Entry>(**entry) : std::nullopt;
  }
  ResolvedPath resolved = Resolve(path);
  if (!resolved.kind) return std::nullopt;
  return Entry{std::string(NameOf(resolved.path)), *resolved.kind, resolved.is_link,
               resolved.hidden, resolved.system};
}

bool Resolver::IsFolder(std::string_view path) {
  // Known folders lie below the run's folder, where no link is walked.
  if (KnownAsSpelt(path)) return true;
  if (std::optional<const Entry*> entry = KnownEntry(path)) {
    return *entry && (*entry)->kind == EntryKind::kFolder;
  }
  return Folder(path).has_value();
}

ResolvedPath Resolver::InFolder(const std::string& folder, FolderListing& listing,
                                std::string_view name) {
  std::optional<uint32_t> place = IsName(name) ? listing.Find(name) : std::nullopt;
  if (!place) return {JoinPath(folder, name), std::nullopt, false, &listing, std::nullopt};
  const Entry& entry = listing.At(*place).entry;
  return {JoinPath(folder, entry.name),
          entry.kind,
          entry.is_link,
          &listing,
          place,
          entry.hidden,
          entry.system};
}

ResolvedPath Resolver::OnDisk(std::string path) {
  std::optional<EntryInfo> info =
      IsName(NameOf(path)) || path == folder_ ? Look(path) : std::nullopt;
  if (!info) return {std::move(path), std::nullopt, false, nullptr, std::nullopt};
  return {std::move(path), info->kind,   info->is_link, nullptr,
          std::nullopt,    info->hidden, info->system};
}

std::optional<EntryInfo> Resolver::Look(const std::string& path) {
  if (path != folder_) return fs_->Inspect(path);
  if (!folder_info_) folder_info_ = fs_->Inspect(path);
  return *folder_info_;
}

std::optional<std::string> Resolver::Folder(std::string_view path) {
  if (const KnownFolder* known = KnownAsSpelt(path)) return known->resolved;
  if (!IsBelow(path)) RefuseControlCharacters(path);
  ResolvedPath folder = Resolve(path);
  std::string_view bare = WithoutEndingSeparator(path);
  if (folder.kind == EntryKind::kFolder && IsNormalPath(bare) && IsBelow(bare)) {
    known_.try_emplace(std::string(bare), KnownFolder{folder.path});
  }
  bool reachable = folder.kind == EntryKind::kFolder ||
                   (folder.kind == EntryKind::kFolderLink && !IsBelow(folder.path));
  if (!reachable) return std::nullopt;
  return std::move(folder.path);
}

std::optional<EntryInfo> Resolver::KnownDetails(const ResolvedPath& resolved) {
  if (!resolved.place) return std::nullopt;
  return resolved.listing->InfoAt(*resolved.place);
}

std::optional<EntryInfo> Resolver::Details(const ResolvedPath& resolved) {
  if (!resolved.kind) return std::nullopt;
  if (!resolved.place) return Look(resolved.path);
  if (std::optional<EntryInfo> known = resolved.listing->InfoAt(*resolved.place)) return known;
  std::optional<EntryInfo> info = fs_->Inspect(resolved.path);
  if (info && info->kind == resolved.listing->At(*resolved.place).entry.kind) {
    resolved.listing->SetInfo(*resolved.place, *info);
  }
  return info;
}

}  // namespace varnelo
