#include "bench/picture_header.h"

#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace varnelo::bench {
namespace {

// Reads the file in windows, so a header costs one read however far into the
// first window its size lies, and a long metadata block one more.
class Window {
 public:
  explicit Window(int fd) : fd_(fd) {}

  // The `count` bytes at `offset`, or nullptr past the end of the file.
  const uint8_t* At(off_t offset, size_t count) {
    if (offset < start_ || offset + static_cast<off_t>(count) > start_ + length_) {
      ssize_t got = pread(fd_, data_.data(), data_.size(), offset);
      start_ = offset;
      length_ = got < 0 ? 0 : got;
      if (static_cast<size_t>(length_) < count) return nullptr;
    }
    return data_.data() + (offset - start_);
  }

 private:
  int fd_;
  std::array<uint8_t, 16384> data_;
  off_t start_ = 0;
  off_t length_ = 0;
};

unsigned Big16(const uint8_t* p) { return p[0] << 8 | p[1]; }
unsigned long Big32(const uint8_t* p) {
  return static_cast<unsigned long>(Big16(p)) << 16 | Big16(p + 2);
}

bool IsStartOfFrame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<PixelSize> ReadJpeg(Window& window) {
  off_t offset = 2;
  for (;;) {
    const uint8_t* segment = window.At(offset, 9);
    if (segment == nullptr || segment[0] != 0xFF) return std::nullopt;
    if (segment[1] == 0xFF) {  // a fill byte before the marker
      ++offset;
      continue;
    }
    if (IsStartOfFrame(segment[1])) return PixelSize{Big16(segment + 7), Big16(segment + 5)};
    offset += 2 + Big16(segment + 2);
  }
}

}  // namespace

std::optional<PixelSize> ReadPictureHeader(int fd) {
  static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Window window(fd);
  const uint8_t* start = window.At(0, 24);
  if (start == nullptr) return std::nullopt;
  if (std::memcmp(start, kPng, sizeof kPng) == 0 && std::memcmp(start + 12, "IHDR", 4) == 0) {
    return PixelSize{static_cast<long long>(Big32(start + 16)),
                     static_cast<long long>(Big32(start + 20))};
  }
  if (start[0] == 0xFF && start[1] == 0xD8) return ReadJpeg(window);
  return std::nullopt;
}

}  // namespace varnelo::bench
