#include "pictures/picture_header.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <string>
#include <vector>

#include "tests/support/pictures.h"
#include "tests/support/plain_pictures.h"

namespace varnelo {
namespace {

std::string Encoded(const QImage& picture, const char* kind, bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, kind);
  writer.setProgressiveScanWrite(progressive);
  EXPECT_TRUE(writer.write(picture)) << kind;
  return bytes.toStdString();
}

std::string Told(const std::optional<PictureSize>& size) {
  return size ? std::to_string(size->width) + "x" + std::to_string(size->height) : "none";
}

// The size as Qt's own reader tells it from a whole file, finding the kind
// by the content.
std::string QtSize(const std::string& file) {
  QByteArray bytes = QByteArray::fromStdString(file);
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  QSize size = reader.size();
  return Told(size.isValid() && !size.isEmpty()
                  ? std::optional(PictureSize{size.width(), size.height()})
                  : std::nullopt);
}

// `file` and the files made of it by cutting it short and by damaging any
// one byte of its first `header` bytes.
std::vector<std::string> Variants(const std::string& file, size_t header) {
  std::vector<std::string> variants = {file};
  header = std::min(file.size(), header);
  for (size_t length = 0; length < header; length += 3) variants.push_back(file.substr(0, length));
  for (size_t at = 0; at < header; ++at) {
    std::string damaged = file;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    variants.push_back(damaged);
  }
  return variants;
}

// The header readers must answer exactly as Qt's readers do, for whole
// pictures and for every cut and every damaged byte of their headers; and
// the start of any of these files must answer as the whole file does, unless
// it asks for more.
TEST(PictureHeaderTest, AnswersAsQtsReadersForWholeCutAndDamagedHeaders) {
  QImage rgb(640, 480, QImage::Format_RGB32);
  rgb.fill(Qt::darkCyan);
  QImage gray = rgb.convertToFormat(QImage::Format_Grayscale8);
  QImage mono = rgb.convertToFormat(QImage::Format_Mono);
  QImage deep = rgb.convertToFormat(QImage::Format_RGBA64);
  QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8);
  QImage small = gray.scaled(40, 30);
  const std::vector<std::string> pictures = {
      Encoded(rgb, "jpeg"),   Encoded(rgb, "jpeg", true), Encoded(gray, "jpeg"),
      Encoded(rgb, "png"),    Encoded(gray, "png"),       Encoded(mono, "png"),
      Encoded(deep, "png"),   Encoded(indexed, "png"),    Encoded(small, "bmp"),
      Encoded(small, "tiff"), Encoded(small, "ico"),      testing::PictureBytes(40, 30, "gif"),
  };
  int compared = 0;
  for (const std::string& picture : pictures) {
    for (const std::string& variant : Variants(picture, 700)) {
      std::string whole = Told(ReadHeader(variant).size);
      ASSERT_EQ(whole, QtSize(variant)) << "variant " << compared;
      for (size_t length : {2, 10, 40, 100, 300, 1000}) {
        HeaderReading start = ReadHeader(std::string_view(variant).substr(0, length));
        if (!start.wants_more) {
          ASSERT_EQ(Told(start.size), whole) << "variant " << compared << " cut at " << length;
        }
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, 8000);
}

// The pictures the Windows tests use must be whole ones, since Windows'
// decoders read some kinds to the end: Qt decodes every pixel of each here.
TEST(PlainPicturesTest, AreWholePicturesOfTheirSize) {
  const struct {
    const char* kind;
    std::string bytes;
    int width, height;
  } samples[] = {
      {"JPEG", testing::PlainJpeg(33, 17), 33, 17}, {"PNG", testing::PlainPng(20, 9), 20, 9},
      {"BMP", testing::PlainBmp(7, 5), 7, 5},       {"GIF", testing::PlainGif(12, 30), 12, 30},
      {"ICO", testing::PlainIco(48), 48, 48},
  };
  for (const auto& sample : samples) {
    QImage picture;
    ASSERT_TRUE(picture.loadFromData(QByteArray::fromStdString(sample.bytes), sample.kind))
        << sample.kind;
    EXPECT_EQ(picture.width(), sample.width) << sample.kind;
    EXPECT_EQ(picture.height(), sample.height) << sample.kind;
    EXPECT_EQ(Told(ReadHeader(sample.bytes).size),
              std::to_string(sample.width) + "x" + std::to_string(sample.height))
        << sample.kind;
  }
}

}  // namespace
}  // namespace varnelo
