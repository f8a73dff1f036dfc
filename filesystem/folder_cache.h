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
  Entry entry;
  std::string key;                // the name folded (see FoldCase)
  std::optional<EntryInfo> info;  // where the entry was inspected this run
  bool gone = false;              // removed since the listing was last put in order
};

// The entries of one folder: read once, then kept true by the changes the
// run makes, so that a run pays one listing per folder however often it
// reads or changes it. Names are found without regard to letter case.
// Pointers and references into it hold until its next change.
class FolderListing {
 public:
  explicit FolderListing(std::vector<Entry> entries);

  // Every entry in listing order: by folded name first, then byte by byte.
  const std::vector<CachedEntry>& Entries();
  // The entry of exactly this name if there is one, else a case variant.
  CachedEntry* Find(std::string_view name);
  // The entry of exactly this name, or nullptr.
  CachedEntry* FindExact(std::string_view name);

  // REQUIRES: no entry bears exactly this name.
  void Add(Entry entry, const std::optional<EntryInfo>& info = std::nullopt);
  void Remove(std::string_view name);

  // Where the search for a free numbered variant of `name` may start: no
  // number below it was free when it was set.
  int NextNumber(std::string_view name) const;
  void SetNextNumber(std::string_view name, int number);

 private:
  // The places in entries_ of the names that fold alike: nearly always one,
  // so the others cost nothing.
  struct Places {
    uint32_t first;
    std::vector<uint32_t> more;
  };
  template <typename Choose>
  CachedEntry* FindBy(std::string_view name, Choose choose);
  void Index(uint32_t place);
  // Drops the entries gone and puts those added in their places.
  void PutInOrder();

  std::vector<CachedEntry> entries_;
  size_t ordered_ = 0;  // entries_ before this are in listing order, the rest added since
  size_t gone_ = 0;
  TextMap<Places> by_key_;
  TextMap<int> next_number_;  // only names numbered past 1
};

// The listings of the folders one run has read, by folder path as the
// resolver spells it. It lives as long as the run's file operations.
class FolderCache {
 public:
  explicit FolderCache(FileSystem* fs) : fs_(fs) {}

  // The listing of `folder`, read now where it is not known or was marked
  // stale. Throws the Failure of a folder that cannot be read.
  FolderListing& Of(const std::string& folder);
  // The listing of `folder` where it is known, without reading it.
  FolderListing* Known(std::string_view folder);

  // A folder the run has just made: it holds nothing.
  void Made(const std::string& folder);
  // `folder` may have changed in a way the run could not follow: it is read
  // again at its next use.
  void MarkStale(std::string_view folder);
  // The empty folder `folder` is gone.
  void Forget(std::string_view folder);
  // The folder `folder` is gone, and with it all below it.
  void ForgetTree(std::string_view folder);

 private:
  struct Held {
    FolderListing listing;
    bool stale = false;
  };
  FileSystem* fs_;
  TextMap<Held> folders_;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_FOLDER_CACHE_H_
