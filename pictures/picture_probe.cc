#include "pictures/picture_probe.h"

#include <cmath>
#include <limits>

#include "filesystem/failure.h"
#include "pictures/picture_size.h"

namespace varnelo {

BoxSize MeasurePicture(FileOperations& fs, const std::string& path) {
  PictureSize picture = ReadPictureSize(fs, path);
  // The box reports single-precision sizes; the sum is made wide first so
  // that no picture width can overflow it.
  return {static_cast<float>(int64_t{picture.width} + 2 * kPictureBoxFrame),
          static_cast<float>(int64_t{picture.height} + 2 * kPictureBoxFrame)};
}

int32_t RoundToInt32(double value) {
  // Rounded by hand: std::nearbyint would depend on the thread's rounding mode.
  double rounded = std::floor(value);
  double rest = value - rounded;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
  if (!(rounded >= std::numeric_limits<int32_t>::min() &&
        rounded <= std::numeric_limits<int32_t>::max())) {
    throw Failure(kOverflow, "32-bit overflow");
  }
  return static_cast<int32_t>(rounded);
}

std::string GetPictureSize(FileOperations& fs, std::string path, int32_t& width, int32_t& height) {
  BoxSize box = MeasurePicture(fs, path);
  width = RoundToInt32(box.width);
  height = RoundToInt32(box.height);
  return "";
}

void WillMeasurePictures(FileOperations& fs, const std::vector<File>& files,
                         const std::function<bool(const File&)>& measured) {
  WillReadPictureSizes(fs, files, measured);
}

}  // namespace varnelo
