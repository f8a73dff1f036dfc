#ifndef VARNELO_FILESYSTEM_PLACE_TABLE_H_
#define VARNELO_FILESYSTEM_PLACE_TABLE_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnelo {

// The places of a folder's entries (their numbers in an array kept
// elsewhere) by the hash of a name, in a flat table probed in order: a large
// folder is looked up once per file, and a table of nodes costs a wait on
// memory at every step. A place stays in the table once put in; whoever
// looks one up passes over the entries it no longer wants.
class PlaceTable {
 public:
  // Room for `count` places in all without growing.
  void Reserve(size_t count) {
    size_t capacity = std::max<size_t>(16, slots_.size());
    while (capacity < 2 * count) capacity *= 2;
    if (capacity > slots_.size()) Rehash(capacity);
  }

  void Insert(uint64_t hash, uint32_t place) {
    if (2 * (used_ + 1) > slots_.size()) Rehash(std::max<size_t>(16, 2 * slots_.size()));
    Put({static_cast<uint32_t>(hash), place});
    ++used_;
  }

  // Calls `visit(place)` for each place put in under a hash like `hash`
  // (most others are passed over unread), until it answers true.
  template <typename Visit>
  void Probe(uint64_t hash, Visit visit) const {
    if (slots_.empty()) return;
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask; slots_[at].place != kFree; at = (at + 1) & mask) {
      if (slots_[at].hash == static_cast<uint32_t>(hash) && visit(slots_[at].place)) return;
    }
  }

 private:
  struct Slot {
    uint32_t hash;  // the low bits of the name's hash: all a table in memory can use
    uint32_t place;
  };
  static constexpr uint32_t kFree = UINT32_MAX;

  // REQUIRES: a free slot.
  void Put(Slot slot) {
    const size_t mask = slots_.size() - 1;
    size_t at = slot.hash & mask;
    while (slots_[at].place != kFree) at = (at + 1) & mask;
    slots_[at] = slot;
  }

  void Rehash(size_t capacity) {
    std::vector<Slot> old(capacity, {0, kFree});
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.place != kFree) Put(slot);
    }
  }

  std::vector<Slot> slots_;  // a power of two of them, at most half in use
  size_t used_ = 0;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_PLACE_TABLE_H_
