#include "commands/sort_by_resolution.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "commands/checked.h"
#include "commands/commands.h"
#include "commands/extension.h"
#include "filesystem/failure.h"
#include "filesystem/names.h"
#include "pictures/picture_probe.h"

namespace varnelo {
namespace {

// The extensions measured through the picture box; "png" alone goes through
// GetPictureSize. Letter case counts: "Jpg" or "PNG" is no picture here.
constexpr std::string_view kBoxMeasured[] = {"jpeg", "jpg",  "bmp", "tif", "ico", "gif",
                                             "JPG",  "JPEG", "BMP", "TIF", "ICO", "GIF"};

struct ResolutionClass {
  int32_t most;  // the largest pixel count of the class
  std::string_view folder;
};

// Tested in order. Every class holds its upper bound, so the counts 721600,
// 1400000 and 2400000 fall to the lower of their two neighbours.
constexpr ResolutionClass kClasses[] = {
    {721600, "320p图片及以下"}, {1400000, "720p图片"},    {2400000, "1080p图片"},
    {3586400, "320万像素"},     {3886400, "1440p图片"},   {6500000, "500万像素"},
    {10000000, "800万像素"},    {14000000, "1300万像素"}, {19000000, "1700万像素"},
    {22500000, "2100万像素"},   {28000000, "2500万像素"}, {32500000, "3000万像素"},
    {38000000, "3600万像素"},
};
constexpr std::string_view kLargest = "4100万像素及以上";

bool IsPicture(std::string_view extension) {
  return extension == "png" || std::find(std::begin(kBoxMeasured), std::end(kBoxMeasured),
                                         extension) != std::end(kBoxMeasured);
}

// A hidden file is not ours to move, and a link would have to be followed
// to be measured; both stay where they are and the walk goes on.
bool StaysInPlace(const File& file) { return (file.attributes & (kHidden | kSystem | kLink)) != 0; }

int32_t PixelCount(FileOperations& fs, const File& file) {
  if (ExtensionOf(file.Path()) == "png") {
    int32_t width = 0;
    int32_t height = 0;
    GetPictureSize(fs, file.Path(), width, height);
    return ToInt32(int64_t{width} * height);
  }
  BoxSize box = MeasurePicture(fs, file.Path());
  return RoundToInt32(static_cast<double>(box.height) * box.width);
}

// A picture whose pixel count leaves the counts is one the command cannot
// measure, and the user is told which it is.
int32_t MeasuredPixelCount(FileOperations& fs, const File& file) {
  try {
    return PixelCount(fs, file);
  } catch (const Failure& failure) {
    if (failure.number() != kOverflow) throw;
    throw Failure(kInvalidPicture, "too large to count: " + file.Path(), file.Path());
  }
}

bool IsMeasured(const File& file) {
  return IsPicture(ExtensionOf(file.Path())) && !StaysInPlace(file);
}

void SortByResolution(CommandRun& run) {
  FileOperations& fs = run.fs;
  const std::string& lj = run.lj;
  std::vector<File> files = run.folder->Files();
  WillMeasurePictures(fs, files, IsMeasured);
  int done = 0;
  for (const File& file : files) {
    run.Progress(done++, static_cast<int>(files.size()), file.Path());
    if (!IsMeasured(file)) continue;
    // Each picture is measured right before its move, and its class folder
    // made only when the first picture of that class arrives. Asked without
    // a trailing separator, the check also takes a plain file of the folder's name
    // for the folder; the move then fails at that picture, which stays.
    run.UnlessGone(file.Path(), [&] {
      std::string folder =
          lj + kPathSeparator + std::string(ResolutionClassOf(MeasuredPixelCount(fs, file)));
      if (fs.Dir(folder, kDirectory).empty()) fs.MakeFolder(folder);
      fs.MoveInto(file.Path(), folder, std::string(NameOf(file.Path())));
    });
  }
}

}  // namespace

std::string_view ResolutionClassOf(int32_t pixel_count) {
  for (const ResolutionClass& row : kClasses) {
    if (pixel_count <= row.most) return row.folder;
  }
  return kLargest;
}

extern const Command kSortByResolution = {
    .name = "resolution",
    .prompt = "确认按照片像素分类？",
    .reported_number = kPathNotFound,
    .most_files = 0,
    .opens_folder_first = true,
    .operation = &SortByResolution,
};

}  // namespace varnelo
