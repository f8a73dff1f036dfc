#ifndef VARNELO_PICTURES_PICTURE_PROBE_H_
#define VARNELO_PICTURES_PICTURE_PROBE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "filesystem/file_operations.h"

namespace varnelo {

// Pictures are measured as the window's hidden picture box shows them: with
// its frame of two pixels on every side. The resolution classes were drawn up
// with the frame counted in, so every size told here includes it.
inline constexpr int kPictureBoxFrame = 2;

// The outer size of the picture box showing a picture, in pixels.
struct BoxSize {
  float width;
  float height;
};

// The size the picture box takes for the picture in the file at `path`,
// learnt from the file's header alone. kInvalidPicture when the file holds no
// picture whose size can be read.
BoxSize MeasurePicture(FileOperations& fs, const std::string& path);

// `value` as a signed 32-bit integer, rounded to the nearest one with a half
// going to the even neighbour; kOverflow outside that range.
int32_t RoundToInt32(double value);

// Sets `width`, then `height`, to the picture box's size for the picture at
// `path`, each rounded as RoundToInt32 does. Answers the empty text.
std::string GetPictureSize(FileOperations& fs, std::string path, int32_t& width, int32_t& height);

// Those of `files` that `measured` picks are about to be measured, in this
// order, by MeasurePicture or GetPictureSize: their headers may be read ahead.
void WillMeasurePictures(FileOperations& fs, const std::vector<File>& files,
                         const std::function<bool(const File&)>& measured);

}  // namespace varnelo

#endif  // VARNELO_PICTURES_PICTURE_PROBE_H_
