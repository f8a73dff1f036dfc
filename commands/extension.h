#ifndef VARNELO_COMMANDS_EXTENSION_H_
#define VARNELO_COMMANDS_EXTENSION_H_

#include <string_view>

namespace varnelo {

// The extension of a file, by the one rule all sorts share: the text after
// the last "." of the full path, letter case kept; the whole path when the
// path holds no ".".
inline std::string_view ExtensionOf(std::string_view path) {
  size_t dot = path.rfind('.');
  return dot == std::string_view::npos ? path : path.substr(dot + 1);
}

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_EXTENSION_H_
