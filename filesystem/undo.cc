#include "filesystem/undo.h"

#include <memory>
#include <set>
#include <unordered_set>

#include "filesystem/failure.h"
#include "filesystem/file_operations.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

bool IsFolder(const std::optional<EntryInfo>& info) {
  return info && info->kind == EntryKind::kFolder;
}

class Playback {
 public:
  Playback(RunRecord& record, FileSystem* fs)
      : record_(record), fs_(fs), operations_(fs, record.folder) {}

  void Run(const UndoProgress& progress) {
    operations_.SweepLeftovers();
    const int total = static_cast<int>(record_.changes.size());
    for (int i = total; i-- > 0;) {
      const Change& change = record_.changes[i];
      if (!change.settled && change.kind == Change::Kind::kFilePlaced) {
        looks_->Add(record_.PathOf(change));
      }
    }
    for (int i = total; i-- > 0;) {
      Change& change = record_.changes[i];
      if (change.settled) continue;
      const std::string path = record_.PathOf(change);
      if (progress) progress(total - 1 - i, total, path);
      Revert(change, path);
      change.settled = true;
    }
    for (const auto& [folder, time] : record_.folder_times) {
      if (IsFolderThere(folder)) fs_->SetModificationTime(folder, time);
    }
    record_.undone = true;
  }

 private:
  void Revert(const Change& change, const std::string& path) {
    switch (change.kind) {
      case Change::Kind::kFilePlaced:
        return PutBack(change, path);
      case Change::Kind::kFolderMade:
        return RemoveIfEmpty(path);
      case Change::Kind::kFolderRemoved:
        return MakeAgain(path);
      case Change::Kind::kFileWritten:
        if (IsUnchanged(change, path)) operations_.DeleteFile(path);
        return;
    }
  }

  bool IsUnchanged(const Change& change, const std::string& path) {
    std::optional<EntryInfo> there = fs_->Inspect(path);
    return there && change.identity.Matches(*there);
  }

  void PutBack(const Change& change, const std::string& path) {
    const std::string& folder = record_.OldFolderOf(change);
    if (!IsWhereLeft(change, path) || !IsFolderThere(folder)) {
      ++record_.stayed;
      return;
    }
    operations_.MoveInto(path, folder, change.old_name);
    moved_.insert(change.identity.inode);
  }

  // A look taken ahead is trusted only to find the file as the run left it,
  // and only for a file not moved since by this undo: anything else it told
  // may have been changed by this undo since, and is looked at again.
  bool IsWhereLeft(const Change& change, const std::string& path) {
    std::optional<EntryInfo> seen = looks_->At(next_look_++);
    const bool unchanged = seen && change.identity.Matches(*seen);
    if (!looks_->Ahead() || (unchanged && !moved_.contains(change.identity.inode))) {
      return unchanged;
    }
    return IsUnchanged(change, path);
  }

  // Looked at once: thousands of files go back into one folder, and only
  // the undo makes or removes folders meanwhile.
  bool IsFolderThere(const std::string& folder) {
    if (folders_.contains(folder)) return true;
    if (!IsFolder(fs_->Inspect(folder))) return false;
    folders_.insert(folder);
    return true;
  }

  void RemoveIfEmpty(const std::string& folder) {
    if (!IsFolder(fs_->Inspect(folder))) return;
    // "." and ".." are all an empty folder answers.
    if (operations_.DirEntries(folder + kPathSeparator, kHidden | kSystem | kDirectory).size() > 2)
      return;
    operations_.PruneFolder(folder);
    folders_.erase(folder);
  }

  void MakeAgain(const std::string& folder) {
    if (fs_->Inspect(folder)) return;  // made again already, by an undo before or the user
    operations_.MakeFolder(folder);
    folders_.insert(folder);
  }

  RunRecord& record_;
  FileSystem* fs_;
  FileOperations operations_;
  std::set<std::string> folders_;  // known to stand
  // Of every file to put back, in the order put back.
  std::unique_ptr<FileSystem::Looks> looks_ = fs_->MakeLooks();
  size_t next_look_ = 0;
  std::unordered_set<uint64_t> moved_;  // by inode: the files this undo has put back
};

}  // namespace

int Undo(RunRecord& record, FileSystem* fs, const UndoProgress& progress) {
  Playback(record, fs).Run(progress);
  return record.stayed;
}

}  // namespace varnelo
