#ifndef VARNELO_BENCH_CASES_H_
#define VARNELO_BENCH_CASES_H_

#include <string_view>

namespace varnelo::bench {

// The extensions of the generated files, with the folder the sort by type
// gives each (nullptr: the file stays).
struct GeneratedExtension {
  const char* extension;
  const char* type_folder;
};

inline constexpr GeneratedExtension kExtensions[] = {
    {"jpg", "图片"}, {"JPG", "图片"},  {"png", "图片"}, {"mp4", "视频"},  {"mp3", "音频"},
    {"pdf", "文档"}, {"docx", "文档"}, {"txt", "文档"}, {"log", nullptr},
};

// The upper bounds of the resolution classes, by the pixel count of a
// picture with a two-pixel frame on every side, each bound in its class as
// the command has it; above the last, the last class.
inline constexpr long long kClassBounds[] = {
    721600,   1400000,  2400000,  3586400,  3886400,  6500000,  10000000,
    14000000, 19000000, 22500000, 28000000, 32500000, 38000000,
};

inline int ResolutionClass(long long width, long long height) {
  long long count = (width + 4) * (height + 4);
  int index = 0;
  for (long long bound : kClassBounds) {
    if (count <= bound) return index;
    ++index;
  }
  return index;
}

// The text after the last "." of a name; empty when it has none.
inline std::string_view ExtensionOfName(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? std::string_view() : name.substr(dot + 1);
}

}  // namespace varnelo::bench

#endif  // VARNELO_BENCH_CASES_H_
