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

OverlayFileSystem::Node OverlayFileSystem::Node::Of(const EntryInfo& info) {
  return {info.kind,   info.is_link, info.hidden,
          info.system, info.device,  std::make_shared<const EntryInfo>(info)};
}

EntryInfo OverlayFileSystem::Node::Info() const {
  if (details) return *details;
  return {kind, is_link, true, {}, device, 0, 1, 0, hidden, system};
}

std::unique_ptr<FileSystem::Anchor> OverlayFileSystem::WorkBelow(const std::string& folder) {
  return disk_->WorkBelow(folder);
}

void OverlayFileSystem::Folder::List(std::vector<Entry> entries, uint64_t folder_device) {
  // In the order a run walks them: the looks taken ahead are asked for so.
  PutInListingOrder(entries);
  listed = std::move(entries);
  gone.assign(listed.size(), false);
  index.Reserve(listed.size());
  for (uint32_t place = 0; place < listed.size(); ++place) {
    index.Insert(TextHash{}(listed[place].name), place);
  }
  complete = true;
  stands = true;
  device = folder_device;
  // A name changed before the listing stands for what the change left there.
  changed.ForEach([this](std::string_view name, const std::optional<Node>&) { Hide(name); });
}

std::optional<uint32_t> OverlayFileSystem::Folder::PlaceOf(std::string_view name) const {
  if (listed.empty()) return std::nullopt;  // a folder made here: no name to hash
  std::optional<uint32_t> found;
  index.Probe(TextHash{}(name), [&](uint32_t place) {
    if (listed[place].name != name) return false;
    found = place;
    return true;
  });
  return found;
}

void OverlayFileSystem::Folder::Reset(bool standing, uint64_t folder_device) {
  complete = true;
  stands = standing;
  device = folder_device;
  gone.assign(listed.size(), true);
  changed.Clear();
}

bool OverlayFileSystem::Folder::Hide(std::string_view name) {
  std::optional<uint32_t> place = PlaceOf(name);
  if (!place || gone[*place]) return false;
  gone[*place] = true;
  return true;
}

OverlayFileSystem::Known OverlayFileSystem::Find(std::string_view path) {
  return Find(ParentOf(path), NameOf(path));
}

OverlayFileSystem::Known OverlayFileSystem::Find(std::string_view folder_path,
                                                 std::string_view name) {
  Folder* folder = KnownFolder(folder_path);
  if (folder == nullptr) return {false, nullptr, nullptr, 0};
  const Folder& known = *folder;
  // A listed entry that still stands has no change known of it.
  if (std::optional<uint32_t> place = known.PlaceOf(name); place && !known.gone[*place]) {
    return {true, nullptr, &known.listed[*place], known.device, folder};
  }
  if (const std::optional<Node>* changed = known.changed.Find(name)) {
    return {true, *changed ? &**changed : nullptr, nullptr, 0};
  }
  return {known.complete, nullptr, nullptr, 0};
}

std::optional<EntryInfo> OverlayFileSystem::Inspect(const std::string& path) {
  Known known = Find(path);
  if (known.listed != nullptr) return LookAtListed(known, path);
  if (!known.known) return disk_->Inspect(path);
  if (known.node == nullptr) return std::nullopt;
  if (!known.node->details) return disk_->Inspect(SourceOf(*known.node, path));
  return *known.node->details;
}

// The disk is never changed here, so a look taken ahead answers as well as
// one taken now; asked again, it is taken again.
std::optional<EntryInfo> OverlayFileSystem::LookAtListed(const Known& known,
                                                         const std::string& path) {
  Folder& folder = *known.folder;
  const auto place = static_cast<size_t>(known.listed - folder.listed.data());
  if (folder.looked.empty()) LookAhead(folder, ParentOf(path));
  if (!folder.looks || folder.looked[place]) return disk_->Inspect(path);
  folder.looked[place] = true;
  return folder.looks->At(place);
}

// At the first look into a folder: a run that looks at one of its files
// looks at them all, and one that looks at none pays nothing.
void OverlayFileSystem::LookAhead(Folder& folder, std::string_view path) {
  folder.looked.assign(folder.listed.size(), false);
  // Fewer entries cost less than a thread to look at them.
  constexpr size_t kLeastEntries = 1024;
  if (folder.listed.size() < kLeastEntries) return;
  std::unique_ptr<Looks> looks = disk_->MakeLooks();
  if (!looks->Ahead()) return;
  for (const Entry& entry : folder.listed) looks->Add(JoinPath(path, entry.name));
  folder.looks = std::move(looks);
}

bool OverlayFileSystem::Exists(const std::string& path) {
  return Exists(ParentOf(path), NameOf(path), path);
}

bool OverlayFileSystem::Exists(std::string_view folder, std::string_view name,
                               const std::string& path) {
  Known known = Find(folder, name);
  return known.known ? known.exists() : disk_->Inspect(path).has_value();
}

OverlayFileSystem::Node OverlayFileSystem::NodeAt(const std::string& path) {
  return NodeAt(ParentOf(path), NameOf(path), path);
}

OverlayFileSystem::Node OverlayFileSystem::NodeAt(std::string_view folder, std::string_view name,
                                                  const std::string& path) {
  Known known = Find(folder, name);
  if (known.known && !known.exists()) Fail(ENOENT, "no entry " + path);
  if (known.node != nullptr) return *known.node;
  if (const Entry* e = known.listed) {
    return FromDisk({e->kind, e->is_link, e->hidden, e->system, known.device}, folder, e->name);
  }
  std::optional<EntryInfo> info = disk_->Inspect(path);
  if (!info) Fail(ENOENT, "no entry " + path);
  return FromDisk(Node::Of(*info), folder, kept_names_.emplace_back(name));
}

OverlayFileSystem::Node OverlayFileSystem::FromDisk(Node node, std::string_view folder,
                                                    std::string_view name) {
  FolderNamed(folder);
  node.source_folder = recent_[0].first;
  node.source_name = name;
  return node;
}

std::string OverlayFileSystem::SourceOf(const Node& node, std::string_view path) {
  if (node.source_name.empty()) return std::string(path);
  return JoinPath(node.source_folder, node.source_name);
}

OverlayFileSystem::Node OverlayFileSystem::Detailed(Node node, std::string_view path) {
  if (node.details) return node;
  std::string source = SourceOf(node, path);
  std::optional<EntryInfo> info = disk_->Inspect(source);
  if (!info) Fail(ENOENT, "no entry " + source);
  node.details = std::make_shared<const EntryInfo>(*info);
  return node;
}

EntryInfo OverlayFileSystem::FolderAt(std::string_view path) {
  // Only the kind and the device of a folder are asked for. One the
  // simulation has left as the disk listed it is asked of the disk: a
  // listing does not tell that another volume is mounted there.
  if (const Folder* folder = KnownFolder(path); folder != nullptr && folder->stands) {
    return {EntryKind::kFolder, false, true, {}, folder->device, 0, 2, 0};
  }
  std::optional<EntryInfo> info;
  Known known = Find(path);
  if (known.node != nullptr) {
    info = known.node->Info();
  } else if (known.known && known.listed == nullptr) {
    info = std::nullopt;
  } else if (auto told = untouched_folders_.find(path); told != untouched_folders_.end()) {
    info = told->second;
  } else if ((info = disk_->Inspect(std::string(path))) && info->kind == EntryKind::kFolder) {
    untouched_folders_.emplace(std::string(path), *info);
  }
  if (!info || info->kind != EntryKind::kFolder) Fail(ENOENT, "no folder " + std::string(path));
  return *info;
}

OverlayFileSystem::Folder* OverlayFileSystem::KnownFolder(std::string_view path) {
  if (recent_[0].second != nullptr && recent_[0].first == path) return recent_[0].second;
  if (recent_[1].second != nullptr && recent_[1].first == path) {
    std::swap(recent_[0], recent_[1]);
    return recent_[0].second;
  }
  auto folder = folders_.find(path);
  if (folder == folders_.end()) return nullptr;
  recent_ = {{{folder->first, &folder->second}, recent_[0]}};
  return &folder->second;
}

OverlayFileSystem::Folder& OverlayFileSystem::FolderNamed(std::string_view path) {
  if (Folder* known = KnownFolder(path)) return *known;
  auto folder = folders_.emplace(std::string(path), Folder{}).first;
  recent_ = {{{folder->first, &folder->second}, recent_[0]}};
  return folder->second;
}

void OverlayFileSystem::Set(const std::string& path, Node node) {
  Set(FolderNamed(ParentOf(path)), NameOf(path), std::move(node));
}

void OverlayFileSystem::Set(Folder& folder, std::string_view name, Node node) {
  if (folder.complete) folder.Hide(name);
  folder.changed.Put(name, std::move(node));
}

void OverlayFileSystem::Unset(const std::string& path) {
  Unset(FolderNamed(ParentOf(path)), NameOf(path));
}

void OverlayFileSystem::Unset(Folder& folder, std::string_view name) {
  if (folder.Hide(name)) return;
  // A listed folder tells that a name it lacks is none.
  if (folder.complete) {
    folder.changed.Erase(name);
  } else {
    folder.changed.Put(name, std::nullopt);
  }
}

EntryInfo OverlayFileSystem::NewFile(const EntryInfo& folder) {
  return {EntryKind::kFile, false, true, Now(), folder.device, next_inode_--, 1, 0};
}

std::vector<Entry> OverlayFileSystem::ReadFolder(const std::string& folder) {
  EntryInfo info = FolderAt(folder);
  Folder& known = FolderNamed(folder);
  if (!known.complete) known.List(disk_->ReadFolder(folder), info.device);
  std::vector<Entry> entries;
  entries.reserve(known.listed.size());
  for (size_t place = 0; place < known.listed.size(); ++place) {
    if (!known.gone[place]) entries.push_back(known.listed[place]);
  }
  known.changed.ForEach([&](std::string_view name, const std::optional<Node>& node) {
    if (node)
      entries.push_back({std::string(name), node->kind, node->is_link, node->hidden, node->system});
  });
  return entries;
}

void OverlayFileSystem::MakeFolder(const std::string& path) {
  EntryInfo parent = FolderAt(ParentOf(path));
  if (Exists(path)) Fail(EEXIST, "make folder " + path);
  Set(path, Node::Of({EntryKind::kFolder, false, true, Now(), parent.device, next_inode_--, 2, 0}));
  FolderNamed(path).Reset(true, parent.device);
}

void OverlayFileSystem::RemoveFolder(const std::string& path) {
  Node node = NodeAt(path);
  if (node.kind == EntryKind::kFolder) {
    if (!ReadFolder(path).empty()) Fail(ENOTEMPTY, "remove folder " + path);
    FolderNamed(path).Reset(false, 0);  // nothing stands below it
  } else if (node.kind != EntryKind::kFolderLink) {
    Fail(ENOTDIR, "remove folder " + path);
  }
  Unset(path);
}

void OverlayFileSystem::DeleteFile(const std::string& path) {
  if (NodeAt(path).kind == EntryKind::kFolder) Fail(EISDIR, "delete " + path);
  Unset(path);
}

Outcome OverlayFileSystem::Rename(const std::string& from, const std::string& to) {
  const std::string_view from_folder = ParentOf(from), from_name = NameOf(from);
  const std::string_view to_folder = ParentOf(to), to_name = NameOf(to);
  Node node = NodeAt(from_folder, from_name, from);
  EntryInfo folder = FolderAt(to_folder);
  if (Exists(to_folder, to_name, to)) return Outcome::kNameTaken;
  if (folder.device != node.device) return Outcome::kOtherVolume;
  if (node.kind == EntryKind::kFolder) {
    throw Failure(kPathFileAccessError, "the simulation renames no folder: " + from);
  }
  Unset(FolderNamed(from_folder), from_name);
  Set(FolderNamed(to_folder), to_name, std::move(node));
  return Outcome::kDone;
}

void OverlayFileSystem::ReplaceFile(const std::string& from, const std::string& to) {
  Node node = NodeAt(from);
  FolderAt(ParentOf(to));
  std::optional<EntryInfo> there = Inspect(to);
  if (node.kind != EntryKind::kFile || (there && there->kind != EntryKind::kFile)) {
    Fail(EISDIR, "replace " + to);
  }
  Set(to, std::move(node));
  Unset(from);
}

Outcome OverlayFileSystem::CopyFile(const std::string& from, const std::string& to) {
  Node node = Detailed(NodeAt(from), from);
  EntryInfo folder = FolderAt(ParentOf(to));
  if (node.kind != EntryKind::kFile) throw Failure(kPathFileAccessError, "copy " + from);
  if (Exists(to)) return Outcome::kNameTaken;
  EntryInfo copy = NewFile(folder);
  copy.is_link = node.is_link;
  copy.mtime = node.details->mtime;
  copy.size = node.details->size;
  Node made = Node::Of(copy);
  made.data = node.data;
  made.source_folder = node.source_folder;
  made.source_name = node.source_name;
  Set(to, std::move(made));
  return Outcome::kDone;
}

Outcome OverlayFileSystem::WriteFile(const std::string& path, std::string_view data) {
  EntryInfo folder = FolderAt(ParentOf(path));
  if (Exists(path)) return Outcome::kNameTaken;
  EntryInfo file = NewFile(folder);
  file.size = data.size();
  Node written = Node::Of(file);
  written.data = std::make_shared<const std::string>(data);
  Set(path, std::move(written));
  return Outcome::kDone;
}

FileStart OverlayFileSystem::ReadFile(const std::string& path, size_t limit) {
  Known known = Find(path);
  if (!known.known) return disk_->ReadFile(path, limit);
  if (!known.exists()) Fail(ENOENT, "read " + path);
  const Node* node = known.node;
  const EntryKind kind = node ? node->kind : known.listed->kind;
  const bool is_link = node ? node->is_link : known.listed->is_link;
  if (kind != EntryKind::kFile || is_link) {
    throw Failure(kPathFileAccessError, "read " + path + ": not a file");
  }
  if (node == nullptr) return disk_->ReadFile(path, limit);
  if (node->data) return {node->data->substr(0, limit), node->Info()};
  FileStart start = disk_->ReadFile(SourceOf(*node, path), limit);
  // A copy made here is a file of its own, though its bytes lie in its source.
  if (node->details) start.info = *node->details;
  return start;
}

bool OverlayFileSystem::ReadsFromDisk(std::string_view path) {
  Known known = Find(path);
  return !known.known || (known.listed != nullptr && known.listed->kind == EntryKind::kFile &&
                          !known.listed->is_link);
}

// The reads the disk would answer are handed to the disk's own, so that
// they may be taken ahead; a path the simulation changed meanwhile is read
// here when asked for.
class OverlayFileSystem::OverlayReads : public Reads {
 public:
  OverlayReads(OverlayFileSystem* overlay, size_t limit)
      : overlay_(overlay), disk_reads_(overlay->disk_->MakeReads(limit)), limit_(limit) {}

  void Add(std::string path) override {
    std::optional<size_t> disk_place;
    if (overlay_->ReadsFromDisk(path)) {
      disk_place = disk_added_++;
      disk_reads_->Add(std::move(path));
    }
    disk_places_.push_back(disk_place);
  }

  FileStart At(size_t place, const std::string& path) override {
    const std::optional<size_t> disk_place = disk_places_[place];
    if (disk_place && overlay_->ReadsFromDisk(path)) return disk_reads_->At(*disk_place, path);
    return overlay_->ReadFile(path, limit_);
  }

 private:
  OverlayFileSystem* overlay_;
  std::unique_ptr<Reads> disk_reads_;
  size_t limit_;
  std::vector<std::optional<size_t>> disk_places_;  // by place
  size_t disk_added_ = 0;
};

std::unique_ptr<FileSystem::Reads> OverlayFileSystem::MakeReads(size_t limit) {
  return std::make_unique<OverlayReads>(this, limit);
}

void OverlayFileSystem::SyncFolder(const std::string& folder) { FolderAt(folder); }

void OverlayFileSystem::SetModificationTime(const std::string& path, struct timespec mtime) {
  Node node = Detailed(NodeAt(path), path);
  EntryInfo info = *node.details;
  info.mtime = mtime;
  node.details = std::make_shared<const EntryInfo>(info);
  Set(path, std::move(node));
}

}  // namespace varnelo
