#ifndef VARNELO_FILESYSTEM_FOLDER_CACHE_H_
#define VARNELO_FILESYSTEM_FOLDER_CACHE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "filesystem/file_system.h"
#include "filesystem/place_table.h"

namespace varnelo {

// Hashes text however it is held, so that a look-up needs no copy of its key.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

// One name of a folder as a run knows it.
struct CachedEntry {
  static constexpr uint32_t kNotInspected = UINT32_MAX;
  Entry entry;
  std::string key;                // the name folded (see FoldCase)
  uint32_t info = kNotInspected;  // where the listing keeps its details
  bool gone = false;              // removed by the run
};

// The entries of one folder: read once, then kept true by the changes the
// run makes, so that a run pays one listing per folder however often it
// reads or changes it. Names are found without regard to letter case. Each
// entry keeps its place for the life of the listing, so a place found once
// serves every later step on that entry without a second look-up.
class FolderListing {
 public:
  explicit FolderListing(std::vector<Entry> entries);

  // The entries still there, in listing order: by folded name first, then
  // byte by byte. It holds until the listing's next change.
  class Range {
   public:
    class Iterator {
     public:
      Iterator(const FolderListing* listing, const uint32_t* at) : listing_(listing), at_(at) {}
      const CachedEntry& operator*() const { return listing_->entries_[*at_]; }
      Iterator& operator++() {
        ++at_;
        return *this;
      }
      bool operator!=(const Iterator& other) const { return at_ != other.at_; }

     private:
      const FolderListing* listing_;
      const uint32_t* at_;
    };
    explicit Range(const FolderListing* listing) : listing_(listing) {}
    Iterator begin() const { return {listing_, listing_->order_.data()}; }
    Iterator end() const { return {listing_, listing_->order_.data() + listing_->order_.size()}; }

   private:
    const FolderListing* listing_;
  };
  Range Entries();
  // At least the number of entries still there: a bound to reserve for.
  size_t size() const { return order_.size() + added_.size(); }

  // The place of the entry of exactly this name if there is one, else of a
  // case variant; nothing when no entry folds alike.
  std::optional<uint32_t> Find(std::string_view name) const;
  CachedEntry& At(uint32_t place) { return entries_[place]; }
  // The place of an entry that Entries() answered.
  uint32_t PlaceOf(const CachedEntry& entry) const {
    return static_cast<uint32_t>(&entry - entries_.data());
  }

  // What this run learnt of the entry at `place` by inspecting it, if it did.
  std::optional<EntryInfo> InfoAt(uint32_t place) const;
  // REQUIRES: the entry at `place` has no details yet.
  void SetInfo(uint32_t place, const EntryInfo& info);

  // REQUIRES: no entry bears exactly this name; `key`, where given, is the
  // name folded (an entry moved in keeps the key it had). Answers its place.
  uint32_t Add(Entry entry, const std::optional<EntryInfo>& info = std::nullopt,
               std::optional<std::string> key = std::nullopt);
  void Remove(uint32_t place);

  // Where the search for a free numbered variant of `name` may start: no
  // number below it was free when it was set.
  int NextNumber(std::string_view name) const;
  void SetNextNumber(std::string_view name, int number);

 private:
  // Puts the entry at `place` in the index under its folded name.
  void Index(uint32_t place);

  std::vector<CachedEntry> entries_;  // by place, which never changes
  // Most entries are never inspected: their details are kept apart, so a
  // large listing stays small.
  std::vector<EntryInfo> infos_;
  std::vector<uint32_t> order_;  // the places in listing order, as last put in order
  std::vector<uint32_t> added_;  // places added since
  bool removed_ = false;         // whether an entry of order_ is gone since
  // Commands walk a folder's files in listing order, which is the order of
  // their places, asking about each file a step or two in a row and about
  // the folders they go to in between: the last file found, and the one
  // after it, are tried first.
  mutable uint32_t last_file_ = 0;
  PlaceTable places_;         // every place, gone ones too, by the hash of its folded name
  TextMap<int> next_number_;  // only names numbered past 1
};

// `entries` in listing order: a listing made of them finds them so.
void PutInListingOrder(std::vector<Entry>& entries);

// The listings of the folders one run has read, by folder path as the
// resolver spells it. It lives as long as the run's file operations.
class FolderCache {
 public:
  explicit FolderCache(FileSystem* fs) : fs_(fs) {}

  // The listing of `folder`, read now where it is not known yet. Throws the
  // Failure of a folder that cannot be read.
  FolderListing& Of(const std::string& folder);
  // The listing of `folder` where it is known, without reading it.
  FolderListing* Known(std::string_view folder);
  // Changes whenever a listing may have been let go or read again, so that
  // whoever holds one knows when to look it up anew.
  uint64_t generation() const { return generation_; }

  // A folder the run has just made: it holds nothing.
  void Made(const std::string& folder);
  // The empty folder `folder` is gone.
  void Forget(std::string_view folder);

 private:
  FileSystem* fs_;
  TextMap<FolderListing> folders_;
  uint64_t generation_ = 0;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_FOLDER_CACHE_H_
