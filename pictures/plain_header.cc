#include "pictures/plain_header.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace varnelo {
namespace {

// The head, read big-endian; every read is of bytes Has() vouched for.
class Bytes {
 public:
  explicit Bytes(std::string_view head) : head_(head) {}

  bool Has(size_t at, size_t count) const {
    return at <= head_.size() && count <= head_.size() - at;
  }
  uint8_t At(size_t at) const { return static_cast<uint8_t>(head_[at]); }
  uint32_t Big16(size_t at) const { return uint32_t{At(at)} << 8 | At(at + 1); }
  uint32_t Big32(size_t at) const { return Big16(at) << 16 | Big16(at + 2); }
  std::string_view Span(size_t at, size_t count) const { return head_.substr(at, count); }

 private:
  std::string_view head_;
};

const HeaderReading kWantsMore{std::nullopt, true};

HeaderReading Told(uint32_t width, uint32_t height) {
  return {PictureSize{static_cast<int>(width), static_cast<int>(height)}, false};
}

// JPEG, as libjpeg reads it up to the first scan. Plain here: 8-bit
// samples, sides of at most libjpeg's 65500, at most 4 components with
// distinct ids and sampling factors of 1 to 4, and a first scan that names
// the first of them in order.
constexpr uint32_t kJpegLargestSide = 65500;
constexpr uint32_t kJpegMostComponents = 4;

struct JpegFrame {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t components = 0;
  std::array<uint8_t, kJpegMostComponents> ids{};
};

// A baseline, extended or progressive frame header, its body at `at`.
std::optional<JpegFrame> PlainFrame(const Bytes& bytes, size_t at, uint32_t length) {
  if (length < 8) return std::nullopt;
  JpegFrame frame{bytes.Big16(at + 3), bytes.Big16(at + 1), bytes.At(at + 5)};
  if (bytes.At(at) != 8 || frame.width == 0 || frame.height == 0 ||
      frame.width > kJpegLargestSide || frame.height > kJpegLargestSide || frame.components == 0 ||
      frame.components > kJpegMostComponents || length != 8 + 3 * frame.components) {
    return std::nullopt;
  }
  for (uint32_t i = 0; i < frame.components; ++i) {
    size_t component = at + 6 + 3 * i;
    uint32_t across = bytes.At(component + 1) >> 4;
    uint32_t down = bytes.At(component + 1) & 0x0F;
    if (across < 1 || across > 4 || down < 1 || down > 4) return std::nullopt;
    frame.ids[i] = bytes.At(component);
    if (std::count(frame.ids.begin(), frame.ids.begin() + i, frame.ids[i]) != 0) {
      return std::nullopt;
    }
  }
  return frame;
}

// Huffman tables: each a class and number (0 to 3), 16 code counts and as
// many values, filling the segment exactly.
bool PlainHuffmanTables(const Bytes& bytes, size_t at, int64_t left) {
  while (left > 16) {
    if ((bytes.At(at) & ~0x10) > 3) return false;
    int64_t count = 0;
    for (size_t i = 1; i <= 16; ++i) count += bytes.At(at + i);
    left -= 17;
    if (count > 256 || count > left) return false;
    at += 17 + count;
    left -= count;
  }
  return left == 0;
}

// Quantization tables of 8-bit values, numbered 0 to 3, filling the segment.
bool PlainQuantizationTables(const Bytes& bytes, size_t at, int64_t left) {
  for (; left > 0; at += 65, left -= 65) {
    if (bytes.At(at) > 3) return false;
  }
  return left == 0;
}

bool PlainScan(const Bytes& bytes, size_t at, uint32_t length, const JpegFrame& frame) {
  uint32_t components = length >= 3 ? bytes.At(at) : 0;
  if (components < 1 || components > frame.components || length != 2 * components + 6) {
    return false;
  }
  for (uint32_t i = 0; i < components; ++i) {
    if (bytes.At(at + 1 + 2 * i) != frame.ids[i]) return false;
  }
  return true;
}

// PNG, as libpng reads it up to the first picture data. Plain here: the
// header's fields in their ranges, sides within libpng's default limit, and
// before the data only ancillary chunks of at most libpng's default chunk
// limit and one sound palette.
constexpr uint32_t kPngLargestSide = 1000000;
constexpr uint32_t kPngLargestChunk = 8000000;
constexpr uint64_t kPngLargestLength = 0x7FFFFFFF;
constexpr size_t kPngSignature = 8;

constexpr std::array<uint32_t, 256> kCrcTable = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

// Whether the chunk at `at`, wholly in the head, carries its own checksum.
bool ChecksumHolds(const Bytes& bytes, size_t at, uint32_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = at + 4; i < at + 8 + length; ++i) {
    crc = kCrcTable[(crc ^ bytes.At(i)) & 0xFF] ^ (crc >> 8);
  }
  return (crc ^ 0xFFFFFFFFu) == bytes.Big32(at + 8 + length);
}

bool IsChunkName(std::string_view name) {
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

bool IsCritical(std::string_view name) { return name[0] >= 'A' && name[0] <= 'Z'; }

bool PlainDepth(uint32_t colour, uint32_t depth) {
  switch (colour) {
    case 0:  // grey
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:  // palette
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:  // RGB
    case 4:  // grey and alpha
    case 6:  // RGB and alpha
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

struct PngHeader {
  uint32_t width;
  uint32_t height;
  uint32_t depth;
  uint32_t colour;
  bool interlaced;
};

// The longest first chunk of picture data libpng takes without complaint:
// the bytes of every row, with what it allows each row beside them.
uint64_t LongestPictureData(const PngHeader& header) {
  static constexpr uint32_t kChannels[] = {1, 0, 3, 1, 2, 0, 4};
  uint64_t row = uint64_t{header.width} * kChannels[header.colour] * (header.depth > 8 ? 2 : 1) +
                 1 + (header.interlaced ? 6 : 0);
  return std::min(row * header.height, kPngLargestLength);
}

std::optional<PngHeader> PlainPngHeader(const Bytes& bytes) {
  constexpr size_t at = kPngSignature;
  if (bytes.Big32(at) != 13 || bytes.Span(at + 4, 4) != "IHDR" || !ChecksumHolds(bytes, at, 13)) {
    return std::nullopt;
  }
  PngHeader header{bytes.Big32(at + 8), bytes.Big32(at + 12), bytes.At(at + 16), bytes.At(at + 17),
                   bytes.At(at + 20) == 1};
  bool compressed_and_filtered_plainly = bytes.At(at + 18) == 0 && bytes.At(at + 19) == 0;
  if (header.width < 1 || header.width > kPngLargestSide || header.height < 1 ||
      header.height > kPngLargestSide || !PlainDepth(header.colour, header.depth) ||
      !compressed_and_filtered_plainly || bytes.At(at + 20) > 1) {
    return std::nullopt;
  }
  return header;
}

// A palette as libpng takes it without complaint: the only one, for a
// colour picture, of 1 to 256 entries, its checksum right.
bool PlainPalette(const Bytes& bytes, size_t at, uint32_t length, const PngHeader& header) {
  return (header.colour & 2) != 0 && length > 0 && length % 3 == 0 && length <= 3 * 256 &&
         ChecksumHolds(bytes, at, length);
}

}  // namespace

std::optional<HeaderReading> PlainJpegReading(std::string_view head) {
  Bytes bytes(head);
  std::optional<JpegFrame> frame;
  size_t at = 2;  // past the start of image
  for (;;) {
    if (!bytes.Has(at, 1)) return kWantsMore;
    if (bytes.At(at) != 0xFF) return std::nullopt;
    while (bytes.Has(at + 1, 1) && bytes.At(at + 1) == 0xFF) ++at;  // fill bytes
    if (!bytes.Has(at, 4)) return kWantsMore;
    uint8_t marker = bytes.At(at + 1);
    uint32_t length = bytes.Big16(at + 2);
    if (length < 2) return std::nullopt;
    // Cut short anywhere else, the header ends in the end marker libjpeg
    // makes up past the bytes; in the scan header those bytes may pass.
    if (!bytes.Has(at + 2, length)) {
      if (marker == 0xDA) return std::nullopt;
      return kWantsMore;
    }
    size_t body = at + 4;
    bool plain = false;
    if (marker >= 0xC0 && marker <= 0xC2) {
      if (frame) return std::nullopt;  // a second frame
      frame = PlainFrame(bytes, body, length);
      plain = frame.has_value();
    } else if (marker == 0xC4) {
      plain = PlainHuffmanTables(bytes, body, length - 2);
    } else if (marker == 0xDB) {
      plain = PlainQuantizationTables(bytes, body, length - 2);
    } else if (marker == 0xDD) {
      plain = length == 4;  // the restart interval
    } else if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE) {
      plain = true;  // application data and comments, passed over
    } else if (marker == 0xDA) {
      if (!frame || !PlainScan(bytes, body, length, *frame)) return std::nullopt;
      return Told(frame->width, frame->height);
    }
    if (!plain) return std::nullopt;
    at += 2 + length;
  }
}

std::optional<HeaderReading> PlainPngReading(std::string_view head) {
  Bytes bytes(head);
  if (!bytes.Has(kPngSignature, 25)) return kWantsMore;
  std::optional<PngHeader> header = PlainPngHeader(bytes);
  if (!header) return std::nullopt;
  bool has_palette = false;
  for (size_t at = kPngSignature + 25;;) {
    if (!bytes.Has(at, 8)) return kWantsMore;
    uint32_t length = bytes.Big32(at);
    std::string_view name = bytes.Span(at + 4, 4);
    if (!IsChunkName(name)) return std::nullopt;
    if (name == "IDAT") {
      if (length > LongestPictureData(*header) || (header->colour == 3 && !has_palette)) {
        return std::nullopt;
      }
      return Told(header->width, header->height);
    }
    if (length > kPngLargestChunk) return std::nullopt;
    if (name == "PLTE") {
      if (has_palette) return std::nullopt;
      if (!bytes.Has(at, 12 + size_t{length})) return kWantsMore;
      if (!PlainPalette(bytes, at, length, *header)) return std::nullopt;
      has_palette = true;
    } else if (IsCritical(name)) {
      return std::nullopt;
    }
    at += 12 + size_t{length};
  }
}

}  // namespace varnelo
