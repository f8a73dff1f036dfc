#ifndef VARNELO_FILESYSTEM_NAME_TABLE_H_
#define VARNELO_FILESYSTEM_NAME_TABLE_H_

#include <deque>
#include <string>
#include <string_view>
#include <utility>

#include "filesystem/folder_cache.h"
#include "filesystem/place_table.h"

namespace varnelo {

// Values by name, kept in the order first put, found through a flat table:
// a run puts thousands of names into one folder, asking for each first, and
// most names asked for are none of them, which the table tells without
// reading a name. A value stays where it is until the table is cleared.
template <typename Value>
class NameTable {
 public:
  // The value put under `name`, or nullptr.
  Value* Find(std::string_view name) {
    Slot* slot = SlotOf(name);
    return slot != nullptr && slot->held ? &slot->value : nullptr;
  }
  const Value* Find(std::string_view name) const {
    return const_cast<NameTable*>(this)->Find(name);
  }

  void Put(std::string_view name, Value value) {
    Slot* slot = SlotOf(name);
    if (slot == nullptr) {
      places_.Insert(TextHash{}(name), static_cast<uint32_t>(slots_.size()));
      slot = &slots_.emplace_back(Slot{std::string(name)});
    }
    slot->value = std::move(value);
    slot->held = true;
  }

  void Erase(std::string_view name) {
    if (Slot* slot = SlotOf(name)) {
      slot->held = false;
      slot->value = Value{};
    }
  }

  void Clear() {
    slots_.clear();
    places_ = PlaceTable();
  }

  // Calls `visit(name, value)` for each name held, in the order first put.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (const Slot& slot : slots_) {
      if (slot.held) visit(std::string_view(slot.name), slot.value);
    }
  }

 private:
  // A name once put keeps its slot, held or not, so that putting it again
  // costs nothing more.
  struct Slot {
    std::string name;
    bool held = false;
    Value value{};
  };

  Slot* SlotOf(std::string_view name) {
    Slot* found = nullptr;
    places_.Probe(TextHash{}(name), [&](uint32_t place) {
      if (slots_[place].name != name) return false;
      found = &slots_[place];
      return true;
    });
    return found;
  }

  std::deque<Slot> slots_;  // a deque: a value found stays where it is as others are put
  PlaceTable places_;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_NAME_TABLE_H_
