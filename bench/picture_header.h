#ifndef VARNELO_BENCH_PICTURE_HEADER_H_
#define VARNELO_BENCH_PICTURE_HEADER_H_

#include <optional>

namespace varnelo::bench {

struct PixelSize {
  long long width;
  long long height;
};

// The size a JPEG or PNG file declares in its header, read from the open file
// `fd` without decoding a pixel; nothing for any other file.
std::optional<PixelSize> ReadPictureHeader(int fd);

}  // namespace varnelo::bench

#endif  // VARNELO_BENCH_PICTURE_HEADER_H_
