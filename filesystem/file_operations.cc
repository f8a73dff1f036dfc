#include "filesystem/file_operations.h"

#include <random>
#include <utility>

#include "filesystem/failure.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

constexpr int kSpecialBits = kHidden | kSystem | kDirectory;

// What the volume marks an entry with counts as much as what its name tells.
struct Marks {
  bool hidden;
  bool system;
};

int AttributesOf(std::string_view name, EntryKind kind, bool is_link, Marks marks) {
  int attributes = 0;
  if (kind == EntryKind::kFolder) attributes |= kDirectory;
  if (kind == EntryKind::kFolderLink) attributes |= kDirectory;
  if (kind == EntryKind::kOther || marks.system) attributes |= kSystem;
  if (is_link) attributes |= kLink;
  if (marks.hidden || IsHiddenName(name)) attributes |= kHidden;
  return attributes;
}

int AttributesOf(const Entry& entry) {
  return AttributesOf(entry.name, entry.kind, entry.is_link, {entry.hidden, entry.system});
}

int AttributesOf(std::string_view name, const EntryInfo& info) {
  int attributes = AttributesOf(name, info.kind, info.is_link, {info.hidden, info.system});
  if (!info.writable) attributes |= kReadOnly;
  return attributes;
}

bool MatchesMask(int attributes, int mask) { return (attributes & kSpecialBits & ~mask) == 0; }

bool IsFolderPath(const std::string& path) { return !path.empty() && IsPathSeparator(path.back()); }

}  // namespace

bool IsHiddenEntry(const Entry& entry) { return entry.hidden || IsHiddenName(entry.name); }

std::vector<File> Folder::Files() const { return operations_->Files(path_); }
size_t Folder::FileCount() const { return operations_->FileCount(path_); }

FileOperations::FileOperations(FileSystem* fs, const std::string& folder)
    : fs_(fs),
      anchor_(fs->WorkBelow(NormalizePath(folder))),
      cache_(fs),
      resolver_(fs, cache_, folder),
      next_temporary_(std::random_device{}()) {}

std::string FileOperations::ExistingFolder(const std::string& path) {
  std::optional<std::string> folder = resolver_.Folder(path.empty() ? "." : path);
  if (!folder) throw Failure(kPathNotFound, "no folder " + path);
  return std::move(*folder);
}

void FileOperations::Forget(const ResolvedPath& entry) {
  if (entry.place) entry.listing->Remove(*entry.place);
}

std::string FileOperations::Dir(const std::string& path, int mask) {
  if (IsFolderPath(path)) {
    // Every folder answers "." first, so its listing is not needed for that.
    if (mask & kDirectory) return resolver_.IsFolder(path) ? "." : "";
    std::vector<std::string> entries = DirEntries(path, mask);
    return entries.empty() ? "" : entries.front();
  }
  std::optional<DirEntry> entry = EntryAt(path, mask);
  return entry ? entry->name : "";
}

std::optional<FileOperations::DirEntry> FileOperations::EntryAt(const std::string& path, int mask) {
  std::optional<Entry> entry = resolver_.EntryAt(path);
  if (!entry || entry->kind == EntryKind::kOther) return std::nullopt;
  int attributes = AttributesOf(*entry);
  if (!MatchesMask(attributes, mask)) return std::nullopt;
  return DirEntry{std::move(entry->name), attributes};
}

std::vector<std::string> FileOperations::DirEntries(const std::string& path, int mask) {
  std::vector<std::string> names;
  for (DirEntry& entry : DirEntriesWithKinds(path, mask)) names.push_back(std::move(entry.name));
  return names;
}

std::vector<FileOperations::DirEntry> FileOperations::DirEntriesWithKinds(const std::string& path,
                                                                          int mask) {
  return EntriesBearing(path, mask, 0);
}

std::vector<FileOperations::DirEntry> FileOperations::FolderEntries(const std::string& path,
                                                                    int mask) {
  return EntriesBearing(path, mask, kDirectory);
}

std::vector<FileOperations::DirEntry> FileOperations::EntriesBearing(const std::string& path,
                                                                     int mask, int bits) {
  auto wanted = [&](int attributes) {
    return MatchesMask(attributes, mask) && (attributes & bits) == bits;
  };
  if (path.empty()) return {};
  std::vector<DirEntry> entries;
  if (!IsFolderPath(path)) {
    std::optional<DirEntry> entry = EntryAt(path, mask);
    if (entry && wanted(entry->attributes)) entries.push_back(std::move(*entry));
    return entries;
  }
  std::optional<std::string> folder = resolver_.Folder(path);
  if (!folder) return {};
  if (mask & kDirectory) entries = {{".", kDirectory}, {"..", kDirectory}};
  for (const CachedEntry& e : cache_.Of(*folder).Entries()) {
    const Entry& entry = e.entry;
    int attributes = AttributesOf(entry);
    if (entry.kind != EntryKind::kOther && wanted(attributes)) {
      entries.push_back({entry.name, attributes});
    }
  }
  return entries;
}

int FileOperations::GetAttr(const std::string& path) {
  ResolvedPath entry = resolver_.Resolve(path);
  std::optional<EntryInfo> info = resolver_.Details(entry);
  if (!info) throw Failure(kFileNotFound, "no entry " + path, path);
  return AttributesOf(NameOf(entry.path), *info);
}

void FileOperations::MakeFolder(const std::string& path) {
  ResolvedPath entry = resolver_.Resolve(path);
  if (entry.kind) throw Failure(kPathFileAccessError, "already there: " + path, path);
  std::string parent = ExistingFolder(std::string(ParentOf(entry.path)));
  std::string name(NameOf(entry.path));
  std::string made = JoinPath(parent, name);
  try {
    fs_->MakeFolder(made);
  } catch (const Failure& failure) {
    // Taken meanwhile: the user is told by which name.
    if (failure.number() != kFileAlreadyExists) throw;
    throw failure.About(made);
  }
  if (FolderListing* listing = cache_.Known(parent)) listing->Add({name, EntryKind::kFolder});
  cache_.Made(made);
}

void FileOperations::DeleteFile(const std::string& path) {
  ResolvedPath entry = resolver_.Resolve(path);
  if (entry.kind != EntryKind::kFile) throw Failure(kFileNotFound, "no file " + path, path);
  try {
    fs_->DeleteFile(entry.path);
  } catch (const Failure& failure) {
    RefuseIfGone(entry, failure);
    throw;
  }
  Forget(entry);
}

void FileOperations::RefuseIfGone(const ResolvedPath& entry, const Failure& failure) {
  if (failure.number() != kPathNotFound || fs_->Inspect(entry.path)) return;
  Forget(entry);
  throw Failure(kFileNotFound, "no file " + entry.path, entry.path);
}

void FileOperations::DeleteFileQuietly(const std::string& path) noexcept {
  try {
    DeleteFile(path);
  } catch (...) {
    // The caller has nothing to do about it.
  }
}

void FileOperations::WriteLines(const std::string& path, const std::vector<std::string>& lines) {
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
  std::string temporary;
  for (Outcome written = Outcome::kNameTaken; written != Outcome::kDone;) {
    temporary = TemporaryIn(parent);
    try {
      written = fs_->WriteFile(temporary, text);
    } catch (const Failure&) {
      DiscardTemporary(temporary);
      throw;
    }
  }
  try {
    fs_->ReplaceFile(temporary, JoinPath(parent, name));
  } catch (const Failure&) {
    DiscardTemporary(temporary);
    throw;
  }
  Forget(entry);
  if (FolderListing* listing = cache_.Known(parent)) listing->Add({name, EntryKind::kFile});
}

bool FileOperations::Holds(const std::string& path, std::string_view text) {
  ResolvedPath entry = resolver_.Resolve(path);
  std::optional<EntryInfo> info = resolver_.Details(entry);
  if (!info || info->kind != EntryKind::kFile || info->is_link) return false;
  return fs_->ReadFile(entry.path, text.size() + 1).bytes == text;
}

Folder FileOperations::GetFolder(const std::string& path) {
  // A name that no folder can bear, the empty one among them, names none.
  if (path.empty() || HasControlCharacter(path)) throw Failure(kPathNotFound, "no folder");
  return Folder(this, ExistingFolder(path));
}

std::vector<File> FileOperations::Files(const std::string& folder) {
  std::string path = ExistingFolder(folder);
  FolderListing& listing = cache_.Of(path);
  std::vector<File> files;
  files.reserve(listing.size());
  for (const CachedEntry& e : listing.Entries()) {
    const Entry& entry = e.entry;
    if (entry.kind != EntryKind::kFile) continue;
    files.push_back({JoinPath(path, entry.name), AttributesOf(entry)});
  }
  return files;
}

size_t FileOperations::FileCount(const std::string& folder) {
  size_t count = 0;
  for (const CachedEntry& e : cache_.Of(ExistingFolder(folder)).Entries()) {
    count += e.entry.kind == EntryKind::kFile ? 1 : 0;
  }
  return count;
}

std::string FileOperations::GetBaseName(std::string_view path) {
  std::string_view name = NameOf(path);
  return std::string(name.substr(0, name.rfind('.')));
}

File FileOperations::GetFile(const std::string& path) {
  ResolvedPath entry = resolver_.Resolve(path);
  std::optional<EntryInfo> info = resolver_.Details(entry);
  if (!info || info->kind != EntryKind::kFile)
    throw Failure(kFileNotFound, "no file " + path, path);
  int attributes = AttributesOf(NameOf(entry.path), *info);
  return {std::move(entry.path), attributes, info->mtime};
}

std::string FileOperations::ReadStart(const std::string& path, size_t limit) {
  ResolvedPath entry = resolver_.Resolve(path);
  if (entry.kind != EntryKind::kFile) throw Failure(kFileNotFound, "no file " + path, path);
  try {
    FileStart start = StartOf(entry.path, limit);
    if (reading_ != nullptr && reading_->path == entry.path) reading_->Saw(start.info);
    return std::move(start.bytes);
  } catch (const Failure& failure) {
    RefuseIfGone(entry, failure);
    throw;
  }
}

uint64_t FileOperations::Reading(const std::string& path, const std::function<uint64_t()>& read) {
  // A run without a preview looks at no file for what it does not hold.
  if (keeping_ == nullptr && (using_ == nullptr || using_->empty())) return read();
  ResolvedPath entry = resolver_.Resolve(path);
  if (using_ != nullptr && using_->Holds(entry.path)) {
    std::optional<EntryInfo> info = resolver_.Details(entry);
    if (!info) return read();  // gone: the read tells how
    if (std::optional<uint64_t> kept = using_->Find(entry.path, *info)) return *kept;
  }
  if (keeping_ == nullptr) return read();
  // The reads tell which file they read, with no look at it of its own.
  ReadFrom from{entry.path};
  struct Scope {
    ReadFrom*& reading;
    ReadFrom* outer;
    ~Scope() { reading = outer; }
  } scope{reading_, std::exchange(reading_, &from)};
  uint64_t result = read();
  if (from.first && !from.mixed) keeping_->Keep(entry.path, *from.first, result);
  return result;
}

void FileOperations::WillReadStarts(const std::vector<File>& files,
                                    const std::function<bool(const File&)>& told, size_t limit) {
  if (keeping_ == nullptr) return;
  std::vector<std::string> paths;
  for (const File& file : files) {
    if (told(file)) paths.push_back(file.Path());
  }
  if (paths.empty()) return;
  ahead_.emplace(StartsAhead{fs_->MakeReads(limit), limit, std::move(paths)});
  FeedReads();
}

void FileOperations::FeedReads() {
  constexpr size_t kWindow = 256;
  StartsAhead& ahead = *ahead_;
  for (; ahead.fed < ahead.paths.size() && ahead.fed < ahead.next + kWindow; ++ahead.fed) {
    ahead.reads->Add(ahead.paths[ahead.fed]);
  }
}

FileStart FileOperations::StartOf(const std::string& path, size_t limit) {
  if (!ahead_ || limit != ahead_->limit) return fs_->ReadFile(path, limit);
  StartsAhead& ahead = *ahead_;
  // Those passed over are the files the command found gone or let be.
  size_t place = ahead.next;
  while (place < ahead.fed && ahead.paths[place] != path) ++place;
  if (place == ahead.fed) return fs_->ReadFile(path, limit);
  for (; ahead.next <= place; ++ahead.next) std::string().swap(ahead.paths[ahead.next]);
  FeedReads();
  return ahead.reads->At(place, path);
}

bool FileOperations::PruneFolder(const std::string& path) {
  ResolvedPath entry = resolver_.Resolve(path);
  if (entry.kind != EntryKind::kFolder) throw Failure(kPathNotFound, "no folder " + path);
  bool gone = PruneTree(entry.path);
  if (gone) Forget(entry);
  return gone;
}

bool FileOperations::PruneTree(const std::string& folder) {
  bool emptied = true;
  FolderListing& listing = cache_.Of(folder);
  std::vector<uint32_t> sub_folders;
  for (const CachedEntry& e : listing.Entries()) {
    if (e.entry.kind == EntryKind::kFolder && !IsHiddenEntry(e.entry)) {
      sub_folders.push_back(listing.PlaceOf(e));
    } else {
      emptied = false;
    }
  }
  for (uint32_t place : sub_folders) {
    if (PruneTree(JoinPath(folder, listing.At(place).entry.name))) {
      listing.Remove(place);
    } else {
      emptied = false;
    }
  }
  if (!emptied) return false;
  fs_->RemoveFolder(folder);
  cache_.Forget(folder);
  return true;
}

}  // namespace varnelo
