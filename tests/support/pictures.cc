#include "tests/support/pictures.h"

#include <stdexcept>

#ifndef _WIN32
#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#endif

#include "filesystem/names.h"
#include "tests/support/plain_pictures.h"
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

std::string KindOf(const std::string& path) {
  std::string kind = FoldCase(NameOf(path).substr(NameOf(path).rfind('.') + 1));
  if (kind == "jpg") return "jpeg";
  if (kind == "tif") return "tiff";
  return kind;
}

}  // namespace

#ifdef _WIN32
// The Windows build has no Qt: only the kinds written by hand are at hand.
std::string PictureBytes(int width, int height, const std::string& kind) {
  std::string bytes = PlainPictureFor("picture." + kind, width, height);
  if (bytes.empty()) throw std::runtime_error("cannot write a picture as " + kind);
  return bytes;
}
#else
std::string PictureBytes(int width, int height, const std::string& kind) {
  if (kind == "gif") return PlainGif(width, height);  // Qt reads GIF but does not write it
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
#endif

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
  // Each single icon written is a 6-byte header, one 16-byte entry, data.
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
