#ifndef VARNELO_PICTURES_PICTURE_HEADER_H_
#define VARNELO_PICTURES_PICTURE_HEADER_H_

#include <optional>
#include <string_view>

#include "pictures/picture_size.h"

namespace varnelo {

// What the header readers made of the first bytes of a file.
struct HeaderReading {
  // The size of the picture, of its first image where it holds several;
  // nothing when the bytes hold no picture of a kind we read (bmp, jpeg,
  // gif, ico, tiff, png and the other kinds Qt's image plugins know) or its
  // header is damaged.
  std::optional<PictureSize> size;
  // Whether more of the file may tell another answer: a reader needed bytes
  // past those it was given. Without it, the answer is the one the whole
  // file gives.
  bool wants_more = false;
};

// Reads the picture size from `head`, the start of a file or all of it, as
// its header tells it; the picture itself is never decoded. The readers
// behind it are the platform's: each platform's build has a file of its own
// that defines this.
HeaderReading ReadHeader(std::string_view head);

}  // namespace varnelo

#endif  // VARNELO_PICTURES_PICTURE_HEADER_H_
