#ifndef VARNELO_COMMANDS_CHECKED_H_
#define VARNELO_COMMANDS_CHECKED_H_

#include <cstdint>
#include <limits>
#include <vector>

#include "filesystem/failure.h"

namespace varnelo {

// The commands count in 16 bits; a count that leaves that range is a
// failure like any other, so a folder too large is refused before anything moves.
inline int16_t ToInt16(long long value) {
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max()) {
    throw Failure(kOverflow, "16-bit overflow");
  }
  return static_cast<int16_t>(value);
}

inline int32_t ToInt32(long long value) {
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    throw Failure(kOverflow, "32-bit overflow");
  }
  return static_cast<int32_t>(value);
}

// The slot `index` of a list; outside it, failure kSubscriptOutOfRange.
template <typename T>
T& Slot(std::vector<T>& list, long long index) {
  if (index < 0 || index >= static_cast<long long>(list.size())) {
    throw Failure(kSubscriptOutOfRange, "subscript out of range");
  }
  return list[index];
}

// The last index of a list; an empty list has none (failure kSubscriptOutOfRange).
template <typename T>
long long LastIndex(const std::vector<T>& list) {
  if (list.empty()) throw Failure(kSubscriptOutOfRange, "empty list has no last index");
  return static_cast<long long>(list.size()) - 1;
}

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_CHECKED_H_
