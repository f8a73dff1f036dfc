#include "filesystem/folder_cache.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "filesystem/names.h"

namespace varnelo {
namespace {

// The eight bytes of `text` from `start` as one number that sorts as they do.
uint64_t Prefix(std::string_view text, size_t start) {
  uint64_t prefix = 0;
  for (size_t i = start; i < start + 8; ++i) {
    prefix = (prefix << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
  }
  return prefix;
}

// What a place is sorted by, held side by side so that sorting a large
// folder compares without a detour through its entries, and most
// comparisons end at the folded key's first 16 bytes: names a folder holds
// many of, as "IMG_20240101_..." or "file-00001", mostly differ only past
// their first eight.
struct SortKey {
  SortKey(std::string_view key, std::string_view name, uint32_t place)
      : first(Prefix(key, 0)), second(Prefix(key, 8)), key(key), name(name), place(place) {}
  uint64_t first;
  uint64_t second;
  std::string_view key;
  std::string_view name;
  uint32_t place;

  bool operator<(const SortKey& other) const {
    if (first != other.first) return first < other.first;
    if (second != other.second) return second < other.second;
    int folded = key.compare(other.key);
    return folded != 0 ? folded < 0 : name < other.name;
  }
};

// `places` in listing order.
void PutPlacesInListingOrder(const std::vector<CachedEntry>& entries,
                             std::vector<uint32_t>& places) {
  std::vector<SortKey> keys;
  keys.reserve(places.size());
  for (uint32_t place : places)
    keys.emplace_back(entries[place].key, entries[place].entry.name, place);
  std::sort(keys.begin(), keys.end());
  for (size_t i = 0; i < keys.size(); ++i) places[i] = keys[i].place;
}

// The places of `entries`, whose folded names are `keys`, in listing order.
// A listing the overlay has put in order already costs one pass.
std::vector<SortKey> InListingOrder(const std::vector<Entry>& entries,
                                    const std::vector<std::string>& keys) {
  std::vector<SortKey> sorted;
  sorted.reserve(entries.size());
  for (uint32_t i = 0; i < entries.size(); ++i) sorted.emplace_back(keys[i], entries[i].name, i);
  if (!std::is_sorted(sorted.begin(), sorted.end())) std::sort(sorted.begin(), sorted.end());
  return sorted;
}

std::vector<std::string> FoldedNames(const std::vector<Entry>& entries) {
  std::vector<std::string> keys;
  keys.reserve(entries.size());
  for (const Entry& entry : entries) keys.push_back(FoldCase(entry.name));
  return keys;
}

}  // namespace

void PutInListingOrder(std::vector<Entry>& entries) {
  std::vector<std::string> keys = FoldedNames(entries);
  std::vector<SortKey> sorted = InListingOrder(entries, keys);
  std::vector<Entry> ordered;
  ordered.reserve(entries.size());
  for (const SortKey& key : sorted) ordered.push_back(std::move(entries[key.place]));
  entries = std::move(ordered);
}

FolderListing::FolderListing(std::vector<Entry> entries) {
  std::vector<std::string> keys = FoldedNames(entries);
  std::vector<SortKey> sort_keys = InListingOrder(entries, keys);
  // Kept in the order the commands walk them, the entries and their index
  // lie side by side in memory as they are asked for.
  // Room to spare for the folders a sort makes in a large folder: the first
  // of them would else copy every entry, holding the old array and the new
  // at once. A small folder copies little, and a tree holds thousands.
  entries_.reserve(entries.size() + entries.size() / 8);
  order_.reserve(entries.size());
  places_.Reserve(entries.size());
  for (const SortKey& sorted : sort_keys) {
    auto place = static_cast<uint32_t>(entries_.size());
    entries_.push_back({std::move(entries[sorted.place]), std::move(keys[sorted.place])});
    order_.push_back(place);
    Index(place);
  }
}

void FolderListing::Index(uint32_t place) { places_.Insert(BytesHash(entries_[place].key), place); }

FolderListing::Range FolderListing::Entries() {
  auto is_gone = [&](uint32_t place) { return entries_[place].gone; };
  auto in_order = [&](uint32_t a, uint32_t b) {
    return SortKey{entries_[a].key, entries_[a].entry.name, a} <
           SortKey{entries_[b].key, entries_[b].entry.name, b};
  };
  if (removed_) std::erase_if(order_, is_gone);
  if (!added_.empty()) {
    std::erase_if(added_, is_gone);
    PutPlacesInListingOrder(entries_, added_);
    size_t kept = order_.size();
    order_.insert(order_.end(), added_.begin(), added_.end());
    std::inplace_merge(order_.begin(), order_.begin() + kept, order_.end(), in_order);
    added_.clear();
  }
  removed_ = false;
  return Range(this);
}

std::optional<uint32_t> FolderListing::Find(std::string_view name) const {
  for (uint32_t guess : {last_file_, last_file_ + 1}) {
    if (guess >= entries_.size()) break;
    const CachedEntry& e = entries_[guess];
    if (!e.gone && e.entry.name == name) return last_file_ = guess;
  }
  std::optional<std::string> key;  // made only to tell a case variant from a clash of hashes
  std::optional<uint32_t> exact;
  std::optional<uint32_t> variant;
  places_.Probe(FoldedHash(name), [&](uint32_t place) {
    const CachedEntry& e = entries_[place];
    if (e.gone) return false;
    if (e.entry.name == name) {
      exact = place;
      return true;
    }
    if (!key) key = FoldCase(name);
    if (e.key == *key && (!variant || place < *variant)) variant = place;
    return false;
  });
  if (!exact) return variant;
  if (entries_[*exact].entry.kind == EntryKind::kFile) last_file_ = *exact;
  return exact;
}

std::optional<EntryInfo> FolderListing::InfoAt(uint32_t place) const {
  uint32_t info = entries_[place].info;
  if (info == CachedEntry::kNotInspected) return std::nullopt;
  return infos_[info];
}

void FolderListing::SetInfo(uint32_t place, const EntryInfo& info) {
  // Room for every entry at once rather than by doubling: room reserved
  // costs nothing until written, and a command that inspects one entry of
  // a folder mostly inspects them all.
  if (infos_.size() == infos_.capacity()) {
    infos_.reserve(std::max(2 * infos_.capacity(), entries_.capacity()));
  }
  entries_[place].info = static_cast<uint32_t>(infos_.size());
  infos_.push_back(info);
}

uint32_t FolderListing::Add(Entry entry, const std::optional<EntryInfo>& info,
                            std::optional<std::string> key) {
  if (!key) key = FoldCase(entry.name);
  auto place = static_cast<uint32_t>(entries_.size());
  entries_.push_back({std::move(entry), std::move(*key)});
  if (info) SetInfo(place, *info);
  Index(place);
  added_.push_back(place);
  return place;
}

void FolderListing::Remove(uint32_t place) {
  entries_[place].gone = true;
  removed_ = true;
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
  if (it == folders_.end()) it = folders_.emplace(folder, fs_->ReadFolder(folder)).first;
  return it->second;
}

FolderListing* FolderCache::Known(std::string_view folder) {
  auto it = folders_.find(folder);
  return it == folders_.end() ? nullptr : &it->second;
}

void FolderCache::Made(const std::string& folder) {
  ++generation_;
  folders_.insert_or_assign(folder, FolderListing({}));
}

void FolderCache::Forget(std::string_view folder) {
  ++generation_;
  auto it = folders_.find(folder);
  if (it != folders_.end()) folders_.erase(it);
}

}  // namespace varnelo
