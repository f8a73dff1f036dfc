// Picture sizes through Windows' own decoders, from the head of a file.
#include <gtest/gtest.h>

#include "filesystem/failure.h"
#include "pictures/picture_header.h"
#include "pictures/picture_size.h"
#include "tests/support/plain_pictures.h"
#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

TEST(WicHeaderTest, EveryKindTellsItsSize) {
  const struct {
    const char* kind;
    std::string bytes;
    int width, height;
  } samples[] = {
      {"jpeg", testing::PlainJpeg(33, 17), 33, 17}, {"png", testing::PlainPng(20, 9), 20, 9},
      {"bmp", testing::PlainBmp(7, 5), 7, 5},       {"gif", testing::PlainGif(12, 30), 12, 30},
      {"ico", testing::PlainIco(48), 48, 48},
  };
  for (const auto& sample : samples) {
    HeaderReading reading = ReadHeader(sample.bytes);
    ASSERT_TRUE(reading.size) << sample.kind;
    EXPECT_EQ(reading.size->width, sample.width) << sample.kind;
    EXPECT_EQ(reading.size->height, sample.height) << sample.kind;
  }
}

TEST(WicHeaderTest, WhatIsNoPictureHasNoSizeAndAShortHeadAsksForMore) {
  EXPECT_FALSE(ReadHeader("").size);
  EXPECT_FALSE(ReadHeader("plain text, no picture").size);
  HeaderReading cut = ReadHeader(testing::PlainPng(64, 64).substr(0, 40));
  EXPECT_FALSE(cut.size);
  EXPECT_TRUE(cut.wants_more);
}

TEST(WicHeaderTest, ThePictureSizeIsReadThroughTheFileLayerWhateverTheFilesName) {
  testing::TempFolder root;
  testing::PutFile(root / "named.png", testing::PlainJpeg(40, 30));  // a JPEG by its content
  testing::PutFile(root / "broken.jpg", testing::PlainJpeg(40, 30).substr(0, 30));
  FileOperations fs(FileSystem::Default(), root.path());
  PictureSize size = ReadPictureSize(fs, root / "named.png");
  EXPECT_EQ(size.width, 40);
  EXPECT_EQ(size.height, 30);
  try {
    ReadPictureSize(fs, root / "broken.jpg");
    ADD_FAILURE() << "measured a damaged picture";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), kInvalidPicture);
  }
}

}  // namespace
}  // namespace varnelo
