#include "filesystem/picture_probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "filesystem/failure.h"
#include "tests/support/pictures.h"
#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

using testing::PictureBytes;
using testing::PutFile;
using testing::PutPicture;
using testing::TempFolder;

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
