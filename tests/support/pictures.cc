#include "tests/support/pictures.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <stdexcept>

#include "filesystem/names.h"
#include "tests/support/temp_folder.h"

namespace varnelo::testing {
namespace {

void Put16(std::string& out, int value) {
  out += static_cast<char>(value & 0xff);
  out += static_cast<char>((value >> 8) & 0xff);
}

void PutBigEndian16(std::string& out, int value) {
  out += static_cast<char>((value >> 8) & 0xff);
  out += static_cast<char>(value & 0xff);
}

// Qt reads GIF but does not write it. Two colours make 3-bit codes, and a
// clear code before every pair of pixels keeps them at 3 bits.
std::string GifBytes(int width, int height) {
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

std::string KindOf(const std::string& path) {
  std::string kind = FoldCase(NameOf(path).substr(NameOf(path).rfind('.') + 1));
  if (kind == "jpg") return "jpeg";
  if (kind == "tif") return "tiff";
  return kind;
}

}  // namespace

std::string PictureBytes(int width, int height, const std::string& kind) {
  if (kind == "gif") return GifBytes(width, height);
  QImage image(width, height, QImage::Format_Grayscale8);
  image.fill(160);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, kind.c_str());
  writer.setCompression(1);  // keeps TIFF small
  if (!writer.write(image)) throw std::runtime_error("cannot write a picture as " + kind);
  return bytes.toStdString();
}

void PutPicture(const std::string& path, int width, int height, const std::string& kind) {
  PutFile(path, PictureBytes(width, height, kind.empty() ? KindOf(path) : kind));
}

std::string JpegHeader(int width, int height) {
  std::string out("\xFF\xD8\xFF\xC0\0\x0B\x08", 7);  // start, frame header of 11 bytes, 8 bits
  PutBigEndian16(out, height);
  PutBigEndian16(out, width);
  out += std::string("\x01\x01\x11\0", 4);  // one component, not subsampled
  return out + std::string("\xFF\xDA\0\x08\x01\x01\0\0\x3F\0", 10);  // its scan
}

void PutIcon(const std::string& path, const std::vector<int>& sizes) {
  // Each single icon Qt writes is a 6-byte header, one 16-byte entry, data.
  std::string header = std::string("\0\0\1\0", 4);
  Put16(header, static_cast<int>(sizes.size()));
  std::string entries;
  std::string data;
  size_t offset = 6 + 16 * sizes.size();
  for (int size : sizes) {
    std::string single = PictureBytes(size, size, "ico");
    std::string entry = single.substr(6, 12);
    Put16(entry, static_cast<int>((offset + data.size()) & 0xffff));
    Put16(entry, static_cast<int>((offset + data.size()) >> 16));
    entries += entry;
    data += single.substr(22);
  }
  PutFile(path, header + entries + data);
}

}  // namespace varnelo::testing
