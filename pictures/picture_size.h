#ifndef VARNELO_PICTURES_PICTURE_SIZE_H_
#define VARNELO_PICTURES_PICTURE_SIZE_H_

#include <functional>
#include <string>
#include <vector>

#include "filesystem/file_operations.h"

namespace varnelo {

// A picture's own size in pixels.
struct PictureSize {
  int width;
  int height;
};

// The size of the picture in the file at `path` (its first image where it
// holds several), learnt from the file's header: the picture is not decoded,
// so a large one costs no more than a small one. The file is read through
// `fs` alone, and only as far as its header needs; its failures pass
// unchanged (kFileNotFound when no file is there). kInvalidPicture for a
// file that holds no picture whose size can be read.
PictureSize ReadPictureSize(FileOperations& fs, const std::string& path);

// Those of `files` that `measured` picks are about to be measured, in this
// order: their headers may be read ahead (see FileOperations::WillReadStarts).
void WillReadPictureSizes(FileOperations& fs, const std::vector<File>& files,
                          const std::function<bool(const File&)>& measured);

}  // namespace varnelo

#endif  // VARNELO_PICTURES_PICTURE_SIZE_H_
