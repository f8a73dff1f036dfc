#ifndef VARNELO_COMMANDS_SORT_BY_RESOLUTION_H_
#define VARNELO_COMMANDS_SORT_BY_RESOLUTION_H_

#include <cstdint>
#include <string_view>

namespace varnelo {

// The folder of the resolution class of a picture with `pixel_count` pixels,
// counted as the picture box measures them (its frame included).
std::string_view ResolutionClassOf(int32_t pixel_count);

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_SORT_BY_RESOLUTION_H_
