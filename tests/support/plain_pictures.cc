#include "tests/support/plain_pictures.h"

#include <cstdint>

#include "filesystem/names.h"

namespace varnelo::testing {
namespace {

constexpr unsigned char kGrey = 160;

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xff);
  out += static_cast<char>((value >> 8) & 0xff);
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xffff);
  Put16(out, value >> 16);
}

void PutBigEndian16(std::string& out, uint32_t value) {
  out += static_cast<char>((value >> 8) & 0xff);
  out += static_cast<char>(value & 0xff);
}

void PutBigEndian32(std::string& out, uint32_t value) {
  PutBigEndian16(out, value >> 16);
  PutBigEndian16(out, value & 0xffff);
}

// A bitmap's header after its file header: 40 bytes, no compression.
void PutBitmapInfo(std::string& out, int width, int height, int bits, uint32_t data_size) {
  Put32(out, 40);
  Put32(out, width);
  Put32(out, height);
  Put16(out, 1);
  Put16(out, bits);
  Put32(out, 0);
  Put32(out, data_size);
  Put32(out, 2835);  // 72 dots per inch
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
}

uint32_t Crc32(std::string_view bytes) {
  uint32_t crc = 0xffffffff;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void PutChunk(std::string& out, const std::string& type, const std::string& data) {
  PutBigEndian32(out, static_cast<uint32_t>(data.size()));
  std::string body = type + data;
  out += body;
  PutBigEndian32(out, Crc32(body));
}

// zlib's format with stored blocks only: no compressor needed.
std::string StoredZlib(const std::string& data) {
  std::string out("\x78\x01", 2);
  size_t at = 0;
  do {
    size_t length = std::min<size_t>(data.size() - at, 65535);
    out += static_cast<char>(at + length == data.size() ? 1 : 0);
    Put16(out, static_cast<uint32_t>(length));
    Put16(out, static_cast<uint32_t>(~length & 0xffff));
    out += data.substr(at, length);
    at += length;
  } while (at < data.size());
  uint32_t a = 1, b = 0;
  for (unsigned char byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBigEndian32(out, (b << 16) | a);
  return out;
}

}  // namespace

std::string PlainBmp(int width, int height) {
  const uint32_t row = (3 * width + 3) / 4 * 4;
  std::string pixels(row * height, static_cast<char>(kGrey));
  std::string out = "BM";
  Put32(out, 54 + static_cast<uint32_t>(pixels.size()));
  Put32(out, 0);
  Put32(out, 54);
  PutBitmapInfo(out, width, height, 24, static_cast<uint32_t>(pixels.size()));
  return out + pixels;
}

std::string PlainPng(int width, int height) {
  std::string header;
  PutBigEndian32(header, width);
  PutBigEndian32(header, height);
  header += std::string("\x08\0\0\0\0", 5);  // 8-bit grey, no interlace
  std::string rows;
  for (int y = 0; y < height; ++y) rows += '\0' + std::string(width, static_cast<char>(kGrey));
  std::string out("\x89PNG\r\n\x1a\n", 8);
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", StoredZlib(rows));
  PutChunk(out, "IEND", "");
  return out;
}

// Two colours make 3-bit codes, and a clear code before every pair of
// pixels keeps them at 3 bits.
std::string PlainGif(int width, int height) {
  std::string out = "GIF89a";
  Put16(out, width);
  Put16(out, height);
  out += std::string("\x80\0\0\xff\0\0\0\0\xff,", 10);
  for (int value : {0, 0, width, height}) Put16(out, value);
  out += std::string("\0\x02", 2);
  std::string codes;
  unsigned bits = 0;
  int held = 0;
  auto put_code = [&](unsigned code) {
    bits |= code << held;
    for (held += 3; held >= 8; held -= 8, bits >>= 8) codes += static_cast<char>(bits & 0xff);
  };
  for (long pixel = 0; pixel < long{width} * height; ++pixel) {
    if (pixel % 2 == 0) put_code(4);
    put_code(0);
  }
  put_code(5);
  if (held > 0) codes += static_cast<char>(bits);
  for (size_t at = 0; at < codes.size(); at += 255) {
    std::string block = codes.substr(at, 255);
    out += static_cast<char>(block.size()) + block;
  }
  return out + std::string("\0;", 2);
}

std::string PlainJpeg(int width, int height) {
  std::string out("\xFF\xD8", 2);
  out += std::string("\xFF\xDB\0\x43\0", 5) + std::string(64, '\x01');  // every step 1
  out += std::string("\xFF\xC0\0\x0B\x08", 5);
  PutBigEndian16(out, height);
  PutBigEndian16(out, width);
  out += std::string("\x01\x01\x11\0", 4);  // one component, not subsampled
  // Tables of one code each, "0": a DC difference of nothing, and the end of
  // a block. Every block is then two 0 bits: level 128, flat.
  const std::string one_code =
      std::string("\x01", 1) + std::string(15, '\0') + std::string(1, '\0');
  out += std::string("\xFF\xC4\0\x14\x00", 5) + one_code;
  out += std::string("\xFF\xC4\0\x14\x10", 5) + one_code;
  out += std::string("\xFF\xDA\0\x08\x01\x01\0\0\x3F\0", 10);
  const long blocks = long{(width + 7) / 8} * ((height + 7) / 8);
  std::string scan((2 * blocks + 7) / 8, '\0');
  if (int spare = static_cast<int>(8 * scan.size() - 2 * blocks); spare > 0) {
    scan.back() = static_cast<char>((1 << spare) - 1);  // padded with 1 bits
  }
  return out + scan + std::string("\xFF\xD9", 2);
}

std::string PlainIco(int size) {
  const uint32_t pixels = 4 * size * size;
  const uint32_t mask = (size + 31) / 32 * 4 * size;
  std::string image;
  PutBitmapInfo(image, size, 2 * size, 32, pixels + mask);
  image += std::string(pixels, static_cast<char>(kGrey));
  image += std::string(mask, '\0');
  std::string out("\0\0\1\0\1\0", 6);
  out += static_cast<char>(size >= 256 ? 0 : size);
  out += static_cast<char>(size >= 256 ? 0 : size);
  out += std::string("\0\0", 2);
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, static_cast<uint32_t>(image.size()));
  Put32(out, 22);
  return out + image;
}

std::string PlainPictureFor(const std::string& name, int width, int height) {
  std::string_view base = NameOf(name);
  std::string kind = FoldCase(base.substr(base.rfind('.') + 1));
  if (kind == "jpg" || kind == "jpeg") return PlainJpeg(width, height);
  if (kind == "png") return PlainPng(width, height);
  if (kind == "bmp") return PlainBmp(width, height);
  if (kind == "gif") return PlainGif(width, height);
  if (kind == "ico") return PlainIco(width);
  return {};
}

}  // namespace varnelo::testing
