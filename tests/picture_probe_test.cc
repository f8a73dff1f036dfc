#include "pictures/picture_probe.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>

#include "filesystem/failure.h"
#include "filesystem/file_operations.h"
#include "filesystem/kept_readings.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/pictures.h"
#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

using testing::PictureBytes;
using testing::PutFile;
using testing::PutPicture;
using testing::TempFolder;

// A JPEG whose frame header follows `filler` bytes of application data, as
// a camera puts its own data before it.
std::string JpegAfterAppData(size_t filler) {
  std::string segments;
  for (size_t left = filler; left > 0;) {
    size_t part = std::min<size_t>(left, 65533);
    segments += std::string("\xFF\xE2", 2) + static_cast<char>((part + 2) >> 8) +
                static_cast<char>((part + 2) & 0xff) + std::string(part, 'x');
    left -= part;
  }
  return PictureBytes(300, 200, "jpeg").insert(2, segments);
}

std::string Encoded(const QImage& picture, const char* kind, int compression = -1) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, kind);
  writer.setCompression(compression);
  EXPECT_TRUE(writer.write(picture));
  return bytes.toStdString();
}

// A TIFF with its directory after its data, where its writer puts it.
std::string UncompressedTiff(int width, int height) {
  QImage picture(width, height, QImage::Format_Grayscale8);
  picture.fill(99);
  return Encoded(picture, "tiff", 0);
}

// A PNG with `length` bytes of text that hardly compresses before its data.
std::string PngAfterText(int length) {
  QImage picture(300, 200, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QString text;
  unsigned state = 12345;
  for (int i = 0; i < length; ++i) {
    state = state * 1103515245 + 12345;
    text += QChar('a' + (state >> 16) % 26);
  }
  picture.setText("note", text);
  return Encoded(picture, "png");
}

class PictureProbeTest : public ::testing::Test {
 protected:
  // "width x height" as GetPictureSize tells it.
  std::string Measure(const std::string& name) {
    int32_t width = -1;
    int32_t height = -1;
    FileOperations fs(FileSystem::Default(), root_.path());
    EXPECT_EQ(GetPictureSize(fs, root_ / name, width, height), "");
    return std::to_string(width) + "x" + std::to_string(height);
  }
  // The size measured, or the failure, and after how many reads of the file.
  std::string MeasuredInReads(const std::string& name) {
    testing::FaultyFileSystem counting;
    FileOperations fs(&counting, root_.path());
    std::string told;
    try {
      BoxSize box = MeasurePicture(fs, root_ / name);
      told =
          std::to_string(RoundToInt32(box.width)) + "x" + std::to_string(RoundToInt32(box.height));
    } catch (const Failure& failure) {
      told = "failure " + std::to_string(failure.number());
    }
    return told + " in " + std::to_string(counting.Calls(testing::Operation::kReadFile));
  }
  int FailureOf(const std::string& name) {
    try {
      FileOperations fs(FileSystem::Default(), root_.path());
      MeasurePicture(fs, root_ / name);
    } catch (const Failure& failure) {
      return failure.number();
    }
    return 0;
  }

  TempFolder root_;
};

TEST_F(PictureProbeTest, EveryKindMeasuresWithThePictureBoxFrame) {
  struct Sample {
    const char* name;
    int width, height;
    const char* kind;  // "" for the kind the name says
    const char* measured;
  };
  const Sample samples[] = {
      {"a.bmp", 1280, 720, "", "1284x724"}, {"a.jpeg", 640, 480, "", "644x484"},
      {"a.gif", 100, 60, "", "104x64"},     {"a.ico", 32, 32, "", "36x36"},
      {"a.tif", 300, 200, "", "304x204"},   {"a.png", 1, 1, "", "5x5"},
      {"png.jpg", 20, 10, "png", "24x14"},  // the content decides, not the name
  };
  for (const Sample& sample : samples) {
    PutPicture(root_ / sample.name, sample.width, sample.height, sample.kind);
    EXPECT_EQ(Measure(sample.name), sample.measured) << sample.name;
  }
  EXPECT_EQ(Measure("A.PNG"), "5x5") << "names are found whatever their letter case";
}

TEST_F(PictureProbeTest, AnIconIsMeasuredByItsFirstPicture) {
  testing::PutIcon(root_ / "two.ico", {48, 16});
  EXPECT_EQ(Measure("two.ico"), "52x52");
}

TEST_F(PictureProbeTest, ReadsOnlyTheHeaderOfALargePicture) {
  // Cut off after their first kilobyte, these could not be decoded at all.
  PutFile(root_ / "48mp.png", PictureBytes(8000, 6000, "png").substr(0, 1024));
  PutFile(root_ / "48mp.jpg", PictureBytes(8000, 6000, "jpeg").substr(0, 1024));
  EXPECT_EQ(Measure("48mp.png"), "8004x6004");
  EXPECT_EQ(Measure("48mp.jpg"), "8004x6004");
}

// Most headers lie in the first read; one past it is read again at growing
// lengths, until the file ends or up to a bound.
TEST_F(PictureProbeTest, AHeaderBeyondTheFirstReadsIsStillMeasured) {
  PutFile(root_ / "small.jpg", JpegAfterAppData(1000));
  PutFile(root_ / "camera.jpg", JpegAfterAppData(300000));
  PutFile(root_ / "cut.jpg", JpegAfterAppData(300000).substr(0, 100000));
  PutFile(root_ / "far.jpg", JpegAfterAppData(17 << 20));
  PutFile(root_ / "text.png", PngAfterText(200000));
  PutFile(root_ / "late.tif", UncompressedTiff(1000, 1000));
  PutFile(root_ / "noise.gif", std::string(100000, 'x'));
  EXPECT_EQ(MeasuredInReads("small.jpg"), "304x204 in 1");
  EXPECT_EQ(MeasuredInReads("camera.jpg"), "304x204 in 4");
  EXPECT_EQ(MeasuredInReads("cut.jpg"), "failure 481 in 3") << "a short read: the file ended";
  EXPECT_EQ(MeasuredInReads("far.jpg"), "failure 481 in 6") << "read no further than the bound";
  EXPECT_EQ(MeasuredInReads("text.png"), "304x204 in 3");
  EXPECT_EQ(MeasuredInReads("late.tif"), "1004x1004 in 4");
  EXPECT_EQ(MeasuredInReads("noise.gif"), "failure 481 in 1");
}

// Tells every read of a file after the first that another file stood there.
class SwappedBetweenReads : public FileSystemWrapper {
 public:
  explicit SwappedBetweenReads(bool swapping)
      : FileSystemWrapper(FileSystem::Default()), swapping_(swapping) {}
  FileStart ReadFile(const std::string& path, size_t limit) override {
    FileStart start = FileSystemWrapper::ReadFile(path, limit);
    if (swapping_ && reads_[path]++ > 0) ++start.info.inode;
    return start;
  }

 private:
  bool swapping_;
  std::map<std::string, int> reads_;
};

// A preview keeps what it read for the run it confirms, told by the file
// each read opened: a header read in several reads from two files is not kept.
TEST_F(PictureProbeTest, WhatIsReadIsKeptOnlyForTheOneFileThatEveryReadFound) {
  PutFile(root_ / "text.png", PngAfterText(200000));
  PutPicture(root_ / "small.png", 30, 20);
  for (bool swapping : {false, true}) {
    SwappedBetweenReads disk(swapping);
    KeptReadings kept;
    FileOperations fs(&disk, root_.path());
    fs.KeepReadingsIn(&kept);
    int32_t width = 0;
    int32_t height = 0;
    for (const char* name : {"text.png", "small.png"}) {
      EXPECT_EQ(GetPictureSize(fs, root_ / name, width, height), "");
      std::optional<EntryInfo> now = FileSystem::Default()->Inspect(root_ / name);
      EXPECT_EQ(kept.Find(root_ / name, *now).has_value(), !swapping || name[0] == 's') << name;
    }
  }
}

TEST_F(PictureProbeTest, WhatHoldsNoReadableSizeFailsAsAnInvalidPicture) {
  PutFile(root_ / "text.jpg", "not a picture");
  PutFile(root_ / "empty.png", "");
  PutFile(root_ / "cut.png", PictureBytes(10, 10, "png").substr(0, 20));
  EXPECT_EQ(FailureOf("text.jpg"), kInvalidPicture);
  EXPECT_EQ(FailureOf("empty.png"), kInvalidPicture);
  EXPECT_EQ(FailureOf("cut.png"), kInvalidPicture);
  EXPECT_EQ(FailureOf("missing.png"), kFileNotFound);
}

TEST(RoundToInt32Test, RoundsHalvesToEvenAndRefusesWhatDoesNotFit) {
  EXPECT_EQ(RoundToInt32(2.5), 2);
  EXPECT_EQ(RoundToInt32(3.5), 4);
  EXPECT_EQ(RoundToInt32(-2.5), -2);
  EXPECT_EQ(RoundToInt32(929616.49), 929616);
  EXPECT_EQ(RoundToInt32(2147483646.5), 2147483646);
  EXPECT_EQ(RoundToInt32(-2147483648.4), std::numeric_limits<int32_t>::min());
  for (double outside : {2147483647.5, -2147483649.0, std::nan("")}) {
    EXPECT_THROW(RoundToInt32(outside), Failure) << outside;
  }
}

}  // namespace
}  // namespace varnelo
