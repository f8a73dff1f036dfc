#ifndef VARNELO_FILESYSTEM_PICTURE_HEADER_H_
#define VARNELO_FILESYSTEM_PICTURE_HEADER_H_

#include <optional>

#include "filesystem/file_system.h"

namespace varnelo {

// The size of the picture in the open file `fd`, of its first image where it
// holds several, as its header tells it; nothing when the file holds no
// picture of a kind we read (bmp, jpeg, gif, ico, tiff, png and the other
// kinds Qt's image plugins know) or its header is damaged. Reads the file
// from its start, where a newly opened `fd` stands; the picture itself is
// never decoded. Leaves `fd` open.
std::optional<PictureSize> PictureSizeFromHeader(int fd);

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_PICTURE_HEADER_H_
