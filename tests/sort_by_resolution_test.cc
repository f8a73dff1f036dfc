#include "commands/sort_by_resolution.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "filesystem/names.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/pictures.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

using testing::PutFile;
using testing::PutPicture;
using testing::TempFolder;
using namespace std::chrono_literals;
using Boxes = std::vector<std::string>;
using Paths = std::vector<std::string>;

const std::string kConfirmBox = "请选择|确认按照片像素分类？";
const std::string kDoneBox = "|操作已完成!!";
const std::string kPathBox = "|请确认路径是否正确!!";

// The box of a run that stops, with the lines after its first.
Boxes Stopped(const std::string& lines) { return {kConfirmBox, "|操作未完成!!\n" + lines}; }

// Every file starts as a picture of `width` x `height`, whatever it holds.
class FixedSizeFileSystem : public FileSystemWrapper {
 public:
  FixedSizeFileSystem(int width, int height)
      : FileSystemWrapper(FileSystem::Default()), header_(testing::JpegHeader(width, height)) {}
  FileStart ReadFile(const std::string& path, size_t limit) override {
    FileStart start = FileSystemWrapper::ReadFile(path, 0);
    start.bytes = header_.substr(0, limit);
    return start;
  }

 private:
  std::string header_;
};

class SortByResolutionTest : public ::testing::Test {
 protected:
  Boxes Run(const std::string& folder, FileSystem* fs = FileSystem::Default()) {
    return testing::RunScripted(kSortByResolution, folder, fs);
  }
  // Every path below the folder, folders ending in "/".
  Paths Contents() {
    Paths paths;
    for (const auto& [path, content] : testing::Tree(root_.path())) {
      paths.push_back(content == "/" ? path + "/" : path);
    }
    return paths;
  }

  TempFolder root_;
};

TEST(ResolutionClassTest, EveryBoundBelongsToTheLowerClass) {
  const std::pair<int32_t, std::string_view> bounds[] = {
      {0, "320p图片及以下"},    {721600, "320p图片及以下"},     {721601, "720p图片"},
      {1400000, "720p图片"},    {1400001, "1080p图片"},         {2400000, "1080p图片"},
      {2400001, "320万像素"},   {3586400, "320万像素"},         {3586401, "1440p图片"},
      {38000000, "3600万像素"}, {38000001, "4100万像素及以上"}, {2147483647, "4100万像素及以上"},
  };
  for (const auto& [count, folder] : bounds) EXPECT_EQ(ResolutionClassOf(count), folder) << count;
}

TEST_F(SortByResolutionTest, PicturesLandInTheirClassesAndASecondRunMovesNothing) {
  struct Sample {
    const char* name;
    int width, height;
    const char* folder;
  };
  const Sample samples[] = {
      {"a.bmp", 640, 480, "320p图片及以下"}, {"b.JPG", 1280, 720, "720p图片"},
      {"c.png", 1920, 1080, "1080p图片"},    {"d.jpeg", 2560, 1440, "1440p图片"},
      {"f.JPEG", 4000, 3000, "1300万像素"},  {"h.GIF", 30, 20, "320p图片及以下"},
  // The Windows build's tests write no TIFF, and their PNG is stored whole:
  // 48 MB here, past the most of a file offered to Wine's decoder.
#ifndef _WIN32
      {"e.TIF", 2400, 1494, "1440p图片"},    {"g.png", 8000, 6000, "4100万像素及以上"},
#endif
  };
  Paths sorted = {"notes.txt", "320p图片及以下/i.ICO"};
  for (const Sample& sample : samples) {
    PutPicture(root_ / sample.name, sample.width, sample.height);
    sorted.push_back(std::string(sample.folder) + "/");
    sorted.push_back(std::string(sample.folder) + "/" + sample.name);
  }
  testing::PutIcon(root_ / "i.ICO", {48, 16});
  PutFile(root_ / "notes.txt");
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

  EXPECT_EQ(Run(root_.path()), (Boxes{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents(), sorted);
  EXPECT_EQ(Run(root_.path() + "/"), (Boxes{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents(), sorted);
}

TEST_F(SortByResolutionTest, OnlyTheThirteenExtensionsCountAsPictures) {
  const std::string album = root_ / "album.png";
  for (const char* name : {"photo.PNG", "photo.Jpg", "photo.jpe", "photo.tiff", "photo.webp"}) {
    PutPicture(album + "/" + name, 10, 10, "png");
  }
  PutPicture(album + "/photo", 10, 10, "png");
  PutPicture(album + "/real.jpg", 10, 10);  // photo.jpg would be photo.Jpg on Windows
  EXPECT_EQ(Run(album), (Boxes{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents(),
            (Paths{"album.png/", "album.png/320p图片及以下/", "album.png/320p图片及以下/real.jpg",
                   "album.png/photo", "album.png/photo.Jpg", "album.png/photo.PNG",
                   "album.png/photo.jpe", "album.png/photo.tiff", "album.png/photo.webp"}));
}

TEST_F(SortByResolutionTest, HiddenAndLinkedPicturesStayAndNothingIsReplaced) {
  PutPicture(root_ / ".hidden.png", 10, 10);
  PutPicture(root_ / "a.png", 10, 10);
  PutPicture(root_ / "b.gif", 10, 10);
  PutFile(root_ / "320p图片及以下/b.gif", "kept");
  Paths expected = {".hidden.png", "320p图片及以下/", "320p图片及以下/a.png",
                    "320p图片及以下/b (2).gif", "320p图片及以下/b.gif"};
#ifndef _WIN32  // the Windows build's links are made from the Linux side, by links_test.sh
  ASSERT_EQ(symlink("a.png", (root_ / "link.png").c_str()), 0);
  expected.push_back("link.png");
#endif
  EXPECT_EQ(Run(root_.path()), (Boxes{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents(), expected);
  EXPECT_EQ(testing::ReadFile(root_ / "320p图片及以下/b.gif"), "kept");
}

TEST_F(SortByResolutionTest, AnUnreadablePictureEndsTheCommandThere) {
  PutPicture(root_ / "a.png", 10, 10);
  PutFile(root_ / "b.jpg", "damaged");
  PutPicture(root_ / "c.png", 10, 10);
  EXPECT_EQ(Run(root_.path()), Stopped("无法读取图片：b.jpg\n已移动 1 个文件。"));
  EXPECT_EQ(Contents(), (Paths{"320p图片及以下/", "320p图片及以下/a.png", "b.jpg", "c.png"}));

  testing::FaultyFileSystem faulty;
  faulty.FailAt(testing::Operation::kReadFile, 1, kPermissionDenied);
  EXPECT_EQ(Run(root_.path(), &faulty), Stopped("没有权限修改其中的文件或文件夹。"));
  EXPECT_EQ(Contents().size(), 4u);
}

// Wine's decoders want the whole picture, and one this large is 2 GB.
#ifndef _WIN32
TEST_F(SortByResolutionTest, APixelCountBeyond32BitsEndsTheCommandThere) {
  PutFile(root_ / "a.png");
  PutFile(root_ / "b.jpg");
  FixedSizeFileSystem largest(46336, 46336);  // 46340 x 46340 still fits
  EXPECT_EQ(Run(root_.path(), &largest), (Boxes{kConfirmBox, kDoneBox}));
  EXPECT_EQ(Contents(),
            (Paths{"4100万像素及以上/", "4100万像素及以上/a.png", "4100万像素及以上/b.jpg"}));

  PutFile(root_ / "c.png");
  PutFile(root_ / "d.jpg");
  FixedSizeFileSystem too_large(46337, 46337);
  EXPECT_EQ(Run(root_.path(), &too_large), Stopped("无法读取图片：c.png"));
  ASSERT_TRUE(std::filesystem::remove(testing::PathOf(root_ / "c.png")));
  EXPECT_EQ(Run(root_.path(), &too_large), Stopped("无法读取图片：d.jpg"));
  EXPECT_EQ(Contents().size(), 4u);
}
#endif

TEST_F(SortByResolutionTest, AFileBearingAClassNameStopsTheFirstPictureOfThatClass) {
  PutFile(root_ / "320p图片及以下", "plain file");
  PutPicture(root_ / "a.png", 10, 10);
  EXPECT_EQ(Run(root_.path()), (Boxes{kConfirmBox, kPathBox}));
  EXPECT_EQ(Contents(), (Paths{"320p图片及以下", "a.png"}));
  EXPECT_EQ(Run(root_ / "missing"), (Boxes{kConfirmBox, kPathBox}));
}

// Counts the looks at each file, by name, while the preview is worked out,
// and the reads of each once it has been.
class RunReads : public FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  std::optional<EntryInfo> Inspect(const std::string& path) override {
    if (!counting) ++preview_looks[std::string(NameOf(path))];
    return FileSystemWrapper::Inspect(path);
  }
  FileStart ReadFile(const std::string& path, size_t limit) override {
    if (counting) ++reads[std::string(NameOf(path))];
    return FileSystemWrapper::ReadFile(path, limit);
  }
  bool counting = false;
  std::map<std::string, int> preview_looks;
  std::map<std::string, int> reads;
};

// Works out the preview, then does `meanwhile` before it answers OK.
class PreviewingHost : public testing::ScriptedHost {
 public:
  PreviewingHost(const std::string& folder, std::function<void()> meanwhile)
      : ScriptedHost(folder), meanwhile_(std::move(meanwhile)) {}
  bool ConfirmRun(const std::string& prompt, const std::string& title,
                  const std::function<std::optional<Preview>()>& preview) override {
    EXPECT_TRUE(preview().has_value());
    meanwhile_();
    return Confirm(prompt, title);
  }

 private:
  std::function<void()> meanwhile_;
};

TEST_F(SortByResolutionTest, TheRunTakesTheSizesItsPreviewReadOfPicturesUnchangedSince) {
  PutPicture(root_ / "same.png", 640, 480);
  PutPicture(root_ / "changed.png", 640, 480);
  RunReads disk(FileSystem::Default());
  PreviewingHost host(root_.path(), [&] {
    PutPicture(root_ / "changed.png", 4000, 3000);
    // Told apart by its time even where the clock has not moved on since.
    auto path = testing::PathOf(root_ / "changed.png");
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + 1h);
    disk.counting = true;
  });
  RunCommand(kSortByResolution, host, &disk);
  EXPECT_EQ(host.boxes.back(), kDoneBox);
  // The reading itself tells which file was read: no look of its own.
  EXPECT_EQ(disk.preview_looks["same.png"], 0);
  EXPECT_EQ(disk.reads["same.png"], 0);
  EXPECT_GT(disk.reads["changed.png"], 0);
  EXPECT_EQ(Contents(), (Paths{"1300万像素/", "1300万像素/changed.png", "320p图片及以下/",
                               "320p图片及以下/same.png"}));
}

// Qt's image plugins; the Windows build's driver has its own tests.
#ifndef _WIN32
TEST_F(SortByResolutionTest, TheDriverSortsWithTheImagePlugins) {
  PutPicture(root_ / "a.jpg", 1280, 720);
  PutPicture(root_ / "b.tif", 640, 480);
  FILE* pipe =
      popen((std::string(VARNELO_DRIVE) + " resolution '" + root_.path() + "'").c_str(), "r");
  char output[256] = {};
  output[fread(output, 1, sizeof output - 1, pipe)] = '\0';
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_STREQ(output,
               "box\t请选择\t确认按照片像素分类？\npreview\t将移动 2 个文件，新建 2 个文件夹。\n"
               "box\t\t操作已完成!!\n");
  EXPECT_EQ(Contents(),
            (Paths{"320p图片及以下/", "320p图片及以下/b.tif", "720p图片/", "720p图片/a.jpg"}));
}
#endif

}  // namespace
}  // namespace varnelo
