#include "pictures/picture_header.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <string>
#include <vector>

#include "pictures/plain_header.h"
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
  // Text and a density add chunks and segments before the picture data: a
  // comment or a text chunk, and the density of the JPEG's first segment.
  QImage annotated = rgb.copy();
  annotated.setText("Title", "x");
  annotated.setDotsPerMeterX(5000);
  const std::vector<std::string> pictures = {
      Encoded(rgb, "jpeg"),      Encoded(rgb, "jpeg", true),
      Encoded(gray, "jpeg"),     Encoded(rgb, "png"),
      Encoded(gray, "png"),      Encoded(mono, "png"),
      Encoded(deep, "png"),      Encoded(indexed, "png"),
      Encoded(small, "bmp"),     Encoded(annotated, "jpeg"),
      Encoded(annotated, "png"), Encoded(small, "tiff"),
      Encoded(small, "ico"),     testing::PictureBytes(40, 30, "gif"),
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

// The headers the common writers write are read without the libraries,
// which cost several times what such a header does.
TEST(PictureHeaderTest, ReadsTheCommonWritersHeadersWithoutTheLibraries) {
  QImage rgb(64, 48, QImage::Format_RGB32);
  rgb.fill(Qt::darkRed);
  rgb.setText("Title", "x");
  for (const auto& [kind, progressive] : {std::pair{"jpeg", false}, {"jpeg", true}}) {
    std::string file = Encoded(rgb, kind, progressive);
    std::optional<HeaderReading> plain = PlainJpegReading(file);
    ASSERT_TRUE(plain) << (progressive ? "progressive" : "baseline");
    EXPECT_EQ(Told(plain->size), "64x48");
  }
  for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_Grayscale8,
                                QImage::Format_Indexed8, QImage::Format_ARGB32}) {
    std::optional<HeaderReading> plain =
        PlainPngReading(Encoded(rgb.convertToFormat(format), "png"));
    ASSERT_TRUE(plain) << format;
    EXPECT_EQ(Told(plain->size), "64x48");
  }
}

// libpng sets aside all a chunk claims before reading it: a bit flipped in
// a length must not make a header cost gigabytes.
TEST(PictureHeaderTest, AChunkClaimingGigabytesCostsNoMoreThanItsBytes) {
  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(Qt::darkRed);
  picture.setText("Title", "x");
  std::string file = Encoded(picture, "png");
  size_t text = file.find("tEXt");
  ASSERT_NE(text, std::string::npos);
  file[text - 4] = 0x7F;
  rusage before;
  getrusage(RUSAGE_SELF, &before);
  HeaderReading reading = ReadHeader(file);
  rusage after;
  getrusage(RUSAGE_SELF, &after);
  EXPECT_FALSE(reading.size);
  EXPECT_TRUE(reading.wants_more);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 << 10);  // in KiB
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
