#include "filesystem/failure.h"
#include "filesystem/file_operations.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

constexpr size_t kTokenDigits = 16;
constexpr size_t kCheckDigits = 8;

std::string Hex(uint64_t value, size_t digits) {
  std::string text(digits, '0');
  for (size_t i = digits; i-- > 0; value >>= 4) text[i] = "0123456789abcdef"[value & 15];
  return text;
}

// Check digits of a token: drawn from a hash of its digits.
std::string CheckDigits(std::string_view token) {
  return Hex(BytesHash(token) >> 32, kCheckDigits);
}

bool IsSameFile(const EntryInfo& a, const EntryInfo& b) {
  return a.kind == EntryKind::kFile && b.kind == EntryKind::kFile && a.device == b.device &&
         a.inode == b.inode;
}

}  // namespace

std::string TemporaryName(uint64_t token) {
  std::string digits = Hex(token, kTokenDigits);
  return std::string(kTemporaryPrefix) + digits + "-" + CheckDigits(digits);
}

bool IsTemporaryName(std::string_view name) {
  if (!name.starts_with(kTemporaryPrefix) ||
      name.size() != kTemporaryPrefix.size() + kTokenDigits + 1 + kCheckDigits) {
    return false;
  }
  std::string_view digits = name.substr(kTemporaryPrefix.size(), kTokenDigits);
  return name[kTemporaryPrefix.size() + kTokenDigits] == '-' &&
         digits.find_first_not_of("0123456789abcdef") == std::string_view::npos &&
         name.substr(name.size() - kCheckDigits) == CheckDigits(digits);
}

void FileOperations::SweepLeftovers() { SweepFolder(resolver_.folder(), 1); }

void FileOperations::SweepFolder(const std::string& folder, int depth) {
  FolderListing* listing;
  try {
    listing = &cache_.Of(folder);
  } catch (const Failure&) {
    return;  // nothing to sweep where nothing can be read
  }
  std::vector<uint32_t> temporaries;
  std::vector<std::string> sub_folders;
  for (const CachedEntry& e : listing->Entries()) {
    if (e.entry.kind == EntryKind::kFile && IsTemporaryName(e.entry.name)) {
      temporaries.push_back(listing->PlaceOf(e));
    } else if (e.entry.kind == EntryKind::kFolder && !IsHiddenEntry(e.entry)) {
      sub_folders.push_back(e.entry.name);
    }
  }
  for (uint32_t place : temporaries) {
    try {
      fs_->DeleteFile(JoinPath(folder, listing->At(place).entry.name));
      listing->Remove(place);
    } catch (const Failure&) {
      // Left for a later command; it is hidden and harms nothing meanwhile.
    }
  }
  if (depth == 0) return;
  for (const std::string& name : sub_folders) SweepFolder(JoinPath(folder, name), depth - 1);
}

std::string FileOperations::FreeName(const std::string& folder, const std::string& name) {
  FolderListing& listing = cache_.Of(ExistingFolder(folder));
  for (int n = listing.NextNumber(name);; ++n) {
    std::string candidate = NumberedName(name, n);
    if (!listing.Find(candidate)) {
      listing.SetNextNumber(name, n);
      return candidate;
    }
  }
}

std::string FileOperations::MoveInto(const std::string& source, const std::string& folder,
                                     const std::string& name) {
  ResolvedPath from = resolver_.Resolve(source);
  if (from.kind != EntryKind::kFile) {
    throw Failure(kFileNotFound, "no file " + source, source);
  }
  const std::string target_folder = ExistingFolder(folder);
  FolderListing& listing = cache_.Of(target_folder);
  for (int n = listing.NextNumber(name);; ++n) {
    std::string candidate = NumberedName(name, n);
    if (std::optional<uint32_t> taken = listing.Find(candidate)) {
      std::string existing = JoinPath(target_folder, listing.At(*taken).entry.name);
      if (std::optional<std::string> kept = AlreadyPlaced(from, existing)) return *kept;
      continue;
    }
    std::string target = JoinPath(target_folder, candidate);
    if (Move(from, target, listing) == Outcome::kNameTaken) {
      // Taken meanwhile, perhaps by this very file: learnt, and looked at again.
      std::optional<EntryInfo> there = fs_->Inspect(target);
      listing.Add({candidate, there ? there->kind : EntryKind::kFile, there && there->is_link},
                  there);
      --n;
      continue;
    }
    listing.SetNextNumber(name, n);
    ++moved_;
    return target;
  }
}

std::optional<std::string> FileOperations::AlreadyPlaced(const ResolvedPath& source,
                                                         const std::string& existing) {
  if (existing == source.path) return source.path;
  std::optional<EntryInfo> there = fs_->Inspect(existing);
  std::optional<EntryInfo> here = resolver_.Details(source);
  if (!there || !here || !IsSameFile(*there, *here)) return std::nullopt;
  // One name reached by two paths (a folder mounted inside itself): the file
  // is where it is going already.
  if (here->names < 2) return source.path;
  // Two names of one file, as an interrupted run may leave them: the new one
  // stays, so the file lies in one place again.
  DeleteFile(source.path);
  return existing;
}

void FileOperations::DeleteSecondName(const std::string& path, const std::string& other) {
  ResolvedPath name = resolver_.Resolve(path);
  std::optional<EntryInfo> here = resolver_.Details(name);
  std::optional<EntryInfo> there = resolver_.Details(resolver_.Resolve(other));
  if (here && there && IsSameFile(*here, *there) && here->names > 1) DeleteFile(name.path);
}

Outcome FileOperations::Move(const ResolvedPath& source, const std::string& target,
                             FolderListing& listing) {
  std::optional<EntryInfo> carried = resolver_.KnownDetails(source);
  Outcome outcome;
  try {
    outcome = fs_->Rename(source.path, target);
    if (outcome == Outcome::kOtherVolume) {
      outcome = MoveAcross(source.path, target);
      carried.reset();  // a whole copy is a file of its own
    }
  } catch (const Failure& failure) {
    RefuseIfGone(source, failure);
    throw;
  }
  if (outcome != Outcome::kDone) return outcome;
  std::string name(NameOf(target));
  std::optional<std::string> key;
  if (source.place) {
    const CachedEntry& left = source.listing->At(*source.place);
    if (left.entry.name == name) key = left.key;  // the same name folds alike
  }
  Forget(source);
  listing.Add({std::move(name), EntryKind::kFile, source.is_link}, carried, std::move(key));
  return Outcome::kDone;
}

Outcome FileOperations::MoveAcross(const std::string& source, const std::string& target) {
  const std::string folder(ParentOf(target));
  std::string temporary;
  for (Outcome copied = Outcome::kNameTaken; copied != Outcome::kDone;) {
    temporary = TemporaryIn(folder);
    copied = fs_->CopyFile(source, temporary);
    if (copied == Outcome::kOtherVolume) throw Failure(kPathFileAccessError, "copy " + source);
  }
  Outcome named;
  try {
    named = fs_->Rename(temporary, target);
  } catch (const Failure&) {
    DiscardTemporary(temporary);
    throw;
  }
  if (named != Outcome::kDone) {
    DiscardTemporary(temporary);
    if (named == Outcome::kOtherVolume) throw Failure(kPathFileAccessError, "name " + target);
    return named;
  }
  try {
    fs_->SyncFolder(folder);
    fs_->DeleteFile(source);
  } catch (const Failure&) {
    DiscardTemporary(target);  // the source stays whole, so its copy goes
    throw;
  }
  return Outcome::kDone;
}

std::string FileOperations::TemporaryIn(std::string_view folder) {
  return JoinPath(folder, TemporaryName(next_temporary_++));
}

void FileOperations::DiscardTemporary(const std::string& temporary) noexcept {
  try {
    fs_->DeleteFile(temporary);
  } catch (const Failure&) {
    // Never made, or the next command sweeps it away.
  }
}

}  // namespace varnelo
