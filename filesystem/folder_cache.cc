#include "filesystem/folder_cache.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>

#include "filesystem/names.h"

namespace varnelo {
namespace {

constexpr uint32_t kUnplaced = std::numeric_limits<uint32_t>::max();

bool InListingOrder(const CachedEntry& a, const CachedEntry& b) {
  int folded = a.key.compare(b.key);
  return folded != 0 ? folded < 0 : a.entry.name < b.entry.name;
}

}  // namespace

FolderListing::FolderListing(std::vector<Entry> entries) {
  entries_.reserve(entries.size());
  by_key_.reserve(entries.size());
  for (Entry& entry : entries) {
    std::string key = FoldCase(entry.name);
    entries_.push_back({std::move(entry), std::move(key), std::nullopt});
  }
  std::sort(entries_.begin(), entries_.end(), InListingOrder);
  ordered_ = entries_.size();
  for (uint32_t place = 0; place < entries_.size(); ++place) Index(place);
}

void FolderListing::Index(uint32_t place) {
  auto [it, inserted] = by_key_.try_emplace(entries_[place].key, Places{place, {}});
  if (!inserted) it->second.more.push_back(place);
}

const std::vector<CachedEntry>& FolderListing::Entries() {
  if (gone_ > 0 || ordered_ < entries_.size()) PutInOrder();
  return entries_;
}

void FolderListing::PutInOrder() {
  auto is_gone = [](const CachedEntry& e) { return e.gone; };
  auto begin = entries_.begin();
  auto kept_end = std::remove_if(begin, begin + ordered_, is_gone);
  auto added_end = std::remove_if(begin + ordered_, entries_.end(), is_gone);
  auto moved_end =
      kept_end == begin + ordered_ ? added_end : std::move(begin + ordered_, added_end, kept_end);
  size_t kept = kept_end - begin;
  entries_.erase(moved_end, entries_.end());
  std::sort(entries_.begin() + kept, entries_.end(), InListingOrder);
  std::inplace_merge(entries_.begin(), entries_.begin() + kept, entries_.end(), InListingOrder);
  ordered_ = entries_.size();
  gone_ = 0;
  // Every name still here is indexed already: only its places change.
  for (auto& [key, places] : by_key_) {
    places.first = kUnplaced;
    places.more.clear();
  }
  for (uint32_t place = 0; place < entries_.size(); ++place) {
    Places& places = by_key_.find(entries_[place].key)->second;
    if (places.first == kUnplaced) {
      places.first = place;
    } else {
      places.more.push_back(place);
    }
  }
}

template <typename Choose>
CachedEntry* FolderListing::FindBy(std::string_view name, Choose choose) {
  auto it = by_key_.find(FoldCase(name));
  if (it == by_key_.end()) return nullptr;
  const Places& places = it->second;
  if (entries_[places.first].entry.name == name) return &entries_[places.first];
  for (uint32_t place : places.more) {
    if (entries_[place].entry.name == name) return &entries_[place];
  }
  return choose(entries_[places.first]);
}

CachedEntry* FolderListing::Find(std::string_view name) {
  return FindBy(name, [](CachedEntry& variant) { return &variant; });
}

CachedEntry* FolderListing::FindExact(std::string_view name) {
  return FindBy(name, [](CachedEntry&) -> CachedEntry* { return nullptr; });
}

void FolderListing::Add(Entry entry, const std::optional<EntryInfo>& info) {
  std::string key = FoldCase(entry.name);
  entries_.push_back({std::move(entry), std::move(key), info});
  Index(static_cast<uint32_t>(entries_.size() - 1));
}

void FolderListing::Remove(std::string_view name) {
  auto it = by_key_.find(FoldCase(name));
  if (it == by_key_.end()) return;
  Places& places = it->second;
  auto is_named = [&](uint32_t place) { return entries_[place].entry.name == name; };
  if (is_named(places.first)) {
    entries_[places.first].gone = true;
    if (places.more.empty()) {
      by_key_.erase(it);
    } else {
      places.first = places.more.front();
      places.more.erase(places.more.begin());
    }
  } else {
    auto place = std::find_if(places.more.begin(), places.more.end(), is_named);
    if (place == places.more.end()) return;
    entries_[*place].gone = true;
    places.more.erase(place);
  }
  ++gone_;
}

int FolderListing::NextNumber(std::string_view name) const {
  if (next_number_.empty()) return 1;
  auto it = next_number_.find(FoldCase(name));
  return it == next_number_.end() ? 1 : it->second;
}

void FolderListing::SetNextNumber(std::string_view name, int number) {
  if (number > 1) next_number_[FoldCase(name)] = number;
}

FolderListing& FolderCache::Of(const std::string& folder) {
  auto it = folders_.find(folder);
  if (it == folders_.end()) {
    it = folders_.emplace(folder, Held{FolderListing(fs_->ReadFolder(folder))}).first;
  } else if (it->second.stale) {
    it->second = {FolderListing(fs_->ReadFolder(folder))};
  }
  return it->second.listing;
}

FolderListing* FolderCache::Known(std::string_view folder) {
  auto it = folders_.find(folder);
  return it == folders_.end() || it->second.stale ? nullptr : &it->second.listing;
}

void FolderCache::Made(const std::string& folder) {
  folders_.insert_or_assign(folder, Held{FolderListing({})});
}

void FolderCache::MarkStale(std::string_view folder) {
  auto it = folders_.find(folder);
  if (it != folders_.end()) it->second.stale = true;
}

void FolderCache::Forget(std::string_view folder) {
  auto it = folders_.find(folder);
  if (it != folders_.end()) folders_.erase(it);
}

void FolderCache::ForgetTree(std::string_view folder) {
  std::erase_if(folders_, [&](const auto& item) {
    std::string_view path = item.first;
    return path.starts_with(folder) &&
           (path.size() == folder.size() || path[folder.size()] == '/' || folder == "/");
  });
}

}  // namespace varnelo
