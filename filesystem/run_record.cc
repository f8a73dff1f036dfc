#include "filesystem/run_record.h"

#include <algorithm>

#include "filesystem/failure.h"
#include "filesystem/names.h"

namespace varnelo {

Change& RunRecord::Add(Change::Kind kind, std::string_view path, std::string_view old_path,
                       const FileIdentity& identity) {
  Change& change = changes.emplace_back(Change{kind});
  change.folder = FolderOf(ParentOf(path));
  change.name = NameOf(path);
  if (!old_path.empty()) {
    change.old_folder = FolderOf(ParentOf(old_path));
    change.old_name = NameOf(old_path);
  }
  change.identity = identity;
  return change;
}

uint32_t RunRecord::FolderOf(std::string_view path) {
  auto known = places_.find(path);
  if (known != places_.end()) return known->second;
  auto place = static_cast<uint32_t>(folders_.size());
  folders_.emplace_back(path);
  places_.emplace(path, place);
  return place;
}

std::string RunRecord::PathOf(const Change& change) const {
  return JoinPath(folders_[change.folder], change.name);
}

std::string RunRecord::OldPathOf(const Change& change) const {
  return JoinPath(folders_[change.old_folder], change.old_name);
}

bool RunRecord::HasChanges() const {
  return std::any_of(changes.begin(), changes.end(), [](const Change& c) { return !c.settled; });
}

namespace {

// Looks asked for further back than this are settled: by then the thread
// has long taken them, and the record's memory stays bounded.
constexpr size_t kMostWaiting = 512;

}  // namespace

LaterIdentities::LaterIdentities(FileSystem* fs, RunRecord& record, bool wanted)
    : record_(record), looks_(wanted ? fs->MakeLooks() : nullptr) {}

LaterIdentities::~LaterIdentities() {
  for (size_t place = first_; place < first_ + asked_.size(); ++place) {
    try {
      SettleAt(place);
    } catch (const std::exception&) {
      // Told apart by nothing: an undo leaves the file where the run put it.
    }
  }
}

void LaterIdentities::Ask(const std::string& path, size_t change) {
  looks_->Add(path);
  const Asked& asked = asked_.emplace_back(Asked{path, change});
  waiting_.emplace(asked.path, first_ + asked_.size() - 1);
  if (asked_.size() > kMostWaiting) {
    SettleAt(first_);
    asked_.pop_front();
    ++first_;
  }
}

std::optional<FileIdentity> LaterIdentities::Settle(std::string_view path) {
  if (waiting_.empty()) return std::nullopt;
  auto found = waiting_.find(path);
  if (found == waiting_.end()) return std::nullopt;
  return SettleAt(found->second);
}

std::optional<FileIdentity> LaterIdentities::SettleAt(size_t place) {
  Asked& asked = asked_[place - first_];
  if (asked.settled) return std::nullopt;
  asked.settled = true;
  waiting_.erase(asked.path);
  std::optional<EntryInfo> info = looks_->At(place);
  if (!info) return std::nullopt;
  FileIdentity identity = FileIdentity::Of(*info);
  record_.changes[asked.change].identity = identity;
  return identity;
}

std::unique_ptr<FileSystem::Anchor> RecordingFileSystem::WorkBelow(const std::string& folder) {
  if (record_.folder.empty()) record_.folder = folder;
  return FileSystemWrapper::WorkBelow(folder);
}

std::optional<EntryInfo> RecordingFileSystem::Inspect(const std::string& path) {
  std::optional<EntryInfo> info = FileSystemWrapper::Inspect(path);
  if (playable_ && info) {
    looked_.emplace(path, *info);
  } else {
    looked_.reset();
  }
  return info;
}

void RecordingFileSystem::Touch(std::string_view path) {
  looked_.reset();
  later_.Settle(path);
  if (playable_) TouchFolder(ParentOf(path));
}

void RecordingFileSystem::TouchFolder(std::string_view folder) {
  if (!playable_ || touched_.contains(folder)) return;
  const std::string& path = *touched_.emplace(folder).first;
  std::optional<EntryInfo> info = FileSystemWrapper::Inspect(path);
  if (info && info->kind == EntryKind::kFolder) {
    record_.folder_times.emplace_back(path, info->mtime);
  }
}

std::optional<FileIdentity> RecordingFileSystem::KnownIdentityOf(const std::string& path) {
  if (!playable_) return FileIdentity{};
  if (looked_ && looked_->first == path) return FileIdentity::Of(looked_->second);
  return later_.Settle(path);  // placed by this run, and moved on now
}

FileIdentity RecordingFileSystem::IdentityOf(const std::string& path) {
  if (std::optional<FileIdentity> known = KnownIdentityOf(path)) return *known;
  std::optional<EntryInfo> info = FileSystemWrapper::Inspect(path);
  if (!info) throw Failure(kFileNotFound, "no file " + path, path);
  return FileIdentity::Of(*info);
}

bool RecordingFileSystem::Placed(const std::string& path, const std::string& old_path,
                                 const FileIdentity& identity) {
  if (placed_++ >= most_placed_) {
    ++record_.placed_untold;
    return false;
  }
  record_.Add(Change::Kind::kFilePlaced, path, old_path, identity);
  return true;
}

void RecordingFileSystem::MakeFolder(const std::string& path) {
  Touch(path);
  FileSystemWrapper::MakeFolder(path);
  touched_.insert(path);  // its time before the run is none
  record_.Add(Change::Kind::kFolderMade, path);
}

void RecordingFileSystem::RemoveFolder(const std::string& path) {
  Touch(path);
  TouchFolder(path);
  FileSystemWrapper::RemoveFolder(path);
  record_.Add(Change::Kind::kFolderRemoved, path);
}

void RecordingFileSystem::DeleteFile(const std::string& path) {
  Touch(path);
  FileSystemWrapper::DeleteFile(path);
  copying_.erase(path);
  std::erase_if(copied_, [&](const auto& copy) { return copy.second.first == path; });
  if (auto copy = copied_.find(path); copy != copied_.end()) {
    // The source of a whole copy is gone: the copy is the file now.
    auto [place, identity] = copy->second;
    Placed(place, path, identity);
    copied_.erase(copy);
  } else if (auto written = written_.find(path); written != written_.end()) {
    record_.changes[written->second].settled = true;
    written_.erase(written);
  }
}

Outcome RecordingFileSystem::Rename(const std::string& from, const std::string& to) {
  // A rename keeps what tells the file apart: known, or looked at before the
  // rename, or where looks are taken ahead, just after it.
  auto copy = copying_.find(from);
  std::optional<FileIdentity> identity = KnownIdentityOf(from);
  if (!identity && (copy != copying_.end() || !later_.Ahead())) identity = IdentityOf(from);
  Touch(from);
  Touch(to);
  Outcome outcome = FileSystemWrapper::Rename(from, to);
  if (outcome != Outcome::kDone) return outcome;
  if (copy != copying_.end()) {
    copied_[copy->second] = {to, *identity};
    copying_.erase(copy);
  } else if (Placed(to, from, identity.value_or(FileIdentity{})) && !identity) {
    later_.Ask(to, record_.changes.size() - 1);
  }
  return outcome;
}

void RecordingFileSystem::ReplaceFile(const std::string& from, const std::string& to) {
  FileIdentity identity = IdentityOf(from);
  Touch(to);
  FileSystemWrapper::ReplaceFile(from, to);
  written_[to] = record_.changes.size();
  record_.Add(Change::Kind::kFileWritten, to, {}, identity);
}

Outcome RecordingFileSystem::CopyFile(const std::string& from, const std::string& to) {
  Touch(to);
  Outcome outcome = FileSystemWrapper::CopyFile(from, to);
  if (outcome == Outcome::kDone) copying_[to] = from;
  return outcome;
}

Outcome RecordingFileSystem::WriteFile(const std::string& path, std::string_view data) {
  Touch(path);
  return FileSystemWrapper::WriteFile(path, data);
}

}  // namespace varnelo
