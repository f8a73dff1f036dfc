#include "filesystem/picture_header.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

using testing::PutFile;
using testing::TempFolder;

std::string Encoded(const QImage& picture, const char* kind, bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, kind);
  writer.setProgressiveScanWrite(progressive);
  EXPECT_TRUE(writer.write(picture)) << kind;
  return bytes.toStdString();
}

// "width x height" as the header reader tells it, or "none".
std::string OurSize(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::optional<PictureSize> size = PictureSizeFromHeader(fd);
  close(fd);
  return size ? std::to_string(size->width) + "x" + std::to_string(size->height) : "none";
}

// The same as Qt's own reader tells it, finding the kind by the content.
std::string QtSize(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  reader.setDecideFormatFromContent(true);
  QSize size = reader.size();
  return size.isValid() && !size.isEmpty()
             ? std::to_string(size.width()) + "x" + std::to_string(size.height())
             : "none";
}

// The header reader must answer exactly as Qt's readers do, for whole
// pictures and for every cut and every damaged byte of their headers.
TEST(PictureHeaderTest, AnswersAsQtsReadersForWholeCutAndDamagedHeaders) {
  QImage rgb(640, 480, QImage::Format_RGB32);
  rgb.fill(Qt::darkCyan);
  QImage gray = rgb.convertToFormat(QImage::Format_Grayscale8);
  QImage mono = rgb.convertToFormat(QImage::Format_Mono);
  QImage deep = rgb.convertToFormat(QImage::Format_RGBA64);
  QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8);
  const std::vector<std::string> pictures = {
      Encoded(rgb, "jpeg"), Encoded(rgb, "jpeg", true), Encoded(gray, "jpeg"),
      Encoded(rgb, "png"),  Encoded(gray, "png"),       Encoded(mono, "png"),
      Encoded(deep, "png"), Encoded(indexed, "png"),
  };
  TempFolder root;
  const std::string path = root / "picture";
  int compared = 0;
  for (const std::string& picture : pictures) {
    std::vector<std::string> variants = {picture};
    size_t header = std::min<size_t>(picture.size(), 700);
    for (size_t length = 0; length < header; length += 3)
      variants.push_back(picture.substr(0, length));
    for (size_t at = 0; at < header; ++at) {
      std::string damaged = picture;
      damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
      variants.push_back(damaged);
    }
    for (const std::string& variant : variants) {
      PutFile(path, variant);
      ASSERT_EQ(OurSize(path), QtSize(path)) << "variant " << compared << " of " << variants.size();
      ++compared;
    }
  }
  EXPECT_GT(compared, 5000);
}

// Text that does not shrink when compressed, as camera data does not.
QString Noise(int length) {
  QString text;
  unsigned state = 12345;
  for (int i = 0; i < length; ++i) {
    state = state * 1103515245 + 12345;
    text += QChar('a' + (state >> 16) % 26);
  }
  return text;
}

TEST(PictureHeaderTest, HeadersLongerThanAFirstReadAreReadFurther) {
  TempFolder root;
  for (int text : {20000, 100000}) {
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::red);
    picture.setText("note", Noise(text));  // lies before the picture data
    PutFile(root / "long.png", Encoded(picture, "png"));
    PutFile(root / "long.jpg", Encoded(picture, "jpeg"));
    EXPECT_EQ(OurSize(root / "long.png"), "300x200") << text;
    EXPECT_EQ(OurSize(root / "long.jpg"), "300x200") << text;
  }
}

}  // namespace
}  // namespace varnelo
