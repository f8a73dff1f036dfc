#include <unistd.h>

#include <algorithm>

#include "filesystem/failure.h"
#include "filesystem/file_operations.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

void RefuseControlCharactersIn(const std::string& folder) {
  if (HasControlCharacter(folder)) throw Failure(kBadFileName, "bad file name");
}

bool SameIdentity(const EntryInfo& a, const EntryInfo& b) {
  return a.device == b.device && a.inode == b.inode;
}

}  // namespace

void FileOperations::BeginCommand(const std::string& folder) {
  listing_.clear();
  position_ = 0;
  pending_folder_.clear();
  files_memo_ = {};
  listings_.clear();
  resolver_.Start(folder);
  if (!folder.empty() && !HasControlCharacter(folder)) SweepTemporaries(NormalizePath(folder), 1);
}

void FileOperations::SweepTemporaries(const std::string& folder, int depth) {
  std::vector<Entry> entries;
  try {
    entries = fs_->ReadFolder(folder);
  } catch (const Failure&) {
    return;  // nothing to sweep where nothing can be read
  }
  for (const Entry& e : entries) {
    std::string path = JoinPath(folder, e.name);
    if (e.kind == EntryKind::kFile && e.name.starts_with(kTemporaryPrefix)) {
      try {
        fs_->DeleteFile(path);
      } catch (const Failure&) {
        // Left for a later command; it is hidden and harms nothing meanwhile.
      }
    } else if (e.kind == EntryKind::kFolder && depth > 0 && !IsHiddenName(e.name)) {
      SweepTemporaries(path, depth - 1);
    }
  }
}

std::string FileOperations::FreeName(const std::string& folder, const std::string& name) {
  RefuseControlCharactersIn(folder);
  RefuseControlCharacters(name);
  NameIndex& index = resolver_.IndexOf(ExistingFolder(folder));
  for (int n = index.NextNumber(name);; ++n) {
    std::string candidate = NumberedName(name, n);
    if (!index.Find(candidate)) {
      index.SetNextNumber(name, n);
      return candidate;
    }
  }
}

std::string FileOperations::MoveInto(const std::string& source, const std::string& folder,
                                     const std::string& name) {
  return Place(source, folder, name, Placing::kMove);
}

std::string FileOperations::CopyInto(const std::string& source, const std::string& folder,
                                     const std::string& name) {
  return Place(source, folder, name, Placing::kCopy);
}

bool FileOperations::IsSameEntry(const std::string& a, const std::string& b) {
  if (a == b) return true;
  if (NameOf(a) != NameOf(b)) return false;
  auto folder_of = [](const std::string& path) { return JoinPath(ParentOf(path), "."); };
  std::optional<EntryInfo> parent_a = fs_->Inspect(folder_of(a));
  std::optional<EntryInfo> parent_b = fs_->Inspect(folder_of(b));
  return parent_a && parent_b && SameIdentity(*parent_a, *parent_b);
}

std::string FileOperations::Place(const std::string& source, const std::string& folder,
                                  const std::string& name, Placing placing) {
  RefuseControlCharacters(source);
  RefuseControlCharacters(name);
  ResolvedPath from = resolver_.Resolve(source);
  if (from.kind != EntryKind::kFile) {
    throw Failure(kFileNotFound, "no file " + source);
  }
  RefuseControlCharactersIn(folder);
  std::string target_folder = ExistingFolder(folder);
  NameIndex& index = resolver_.IndexOf(target_folder);
  for (int n = index.NextNumber(name);; ++n) {
    std::string candidate = NumberedName(name, n);
    std::string target = JoinPath(target_folder, candidate);
    if (const Entry* taken = index.Find(candidate)) {
      std::string existing = JoinPath(target_folder, taken->name);
      if (IsSameEntry(existing, from.path)) return existing;
      std::optional<EntryInfo> there = fs_->Inspect(existing);
      std::optional<EntryInfo> source_info = resolver_.Details(from);
      if (there && source_info && there->kind == EntryKind::kFile &&
          SameIdentity(*there, *source_info)) {
        // An interrupted run left this very file here under its new name already.
        if (placing == Placing::kMove) DeleteFile(from.path);
        return existing;
      }
      continue;
    }
    // The new name, a link or the old name moved, stands for the very same file.
    std::optional<EntryInfo> carried = from.inspected;
    try {
      if (placing == Placing::kMove) {
        fs_->Rename(from.path, target, false);
      } else {
        fs_->Link(from.path, target);
      }
    } catch (const Failure& failure) {
      if (failure.number() == kFileAlreadyExists) {
        resolver_.Added(target_folder,
                        {candidate, EntryKind::kFile});  // someone else took the name meanwhile
        continue;
      }
      RefuseIfGone(from, failure);
      if (failure.number() != kCrossDevice) throw;
      if (!PlaceAcross(from.path, target)) {
        resolver_.Added(target_folder, {candidate, EntryKind::kFile});
        continue;
      }
      carried.reset();  // a whole copy is a file of its own
      if (placing == Placing::kMove) fs_->DeleteFile(from.path);
    }
    index.SetNextNumber(name, n);
    resolver_.Added(target_folder, {candidate, EntryKind::kFile}, carried);
    if (placing == Placing::kMove) resolver_.Removed(from.path);
    return target;
  }
}

std::string FileOperations::TemporaryIn(std::string_view folder) {
  return JoinPath(folder, std::string(kTemporaryPrefix) + std::to_string(getpid()) + "-" +
                              std::to_string(++temporaries_made_));
}

void FileOperations::DiscardTemporary(const std::string& temporary) noexcept {
  try {
    fs_->DeleteFile(temporary);
  } catch (const Failure&) {
    // Never made, or the next command sweeps it away.
  }
}

bool FileOperations::PlaceAcross(const std::string& source, const std::string& target) {
  std::string temporary = TemporaryIn(ParentOf(target));
  fs_->CopyFile(source, temporary);
  try {
    fs_->Rename(temporary, target, false);
  } catch (const Failure& failure) {
    DiscardTemporary(temporary);
    if (failure.number() == kFileAlreadyExists) return false;
    throw;
  }
  return true;
}

}  // namespace varnelo
