#ifndef VARNELO_TESTS_SUPPORT_PICTURES_H_
#define VARNELO_TESTS_SUPPORT_PICTURES_H_

#include <string>
#include <vector>

namespace varnelo::testing {

// The bytes of a picture of one flat colour, in `kind`: "bmp", "jpeg", "gif",
// "ico", "tiff", "png" or any other kind Qt can write; on Windows, which has
// no Qt, only those that plain_pictures.h writes.
std::string PictureBytes(int width, int height, const std::string& kind);

// Writes a flat picture to `path`, of the kind its extension names in any
// letter case ("jpg" and "tif" included), or of `kind` when one is given.
void PutPicture(const std::string& path, int width, int height, const std::string& kind = "");

// The start of a JPEG file declaring a picture of `width` x `height`, up to
// its first scan: all that a header reader needs, and no picture data.
std::string JpegHeader(int width, int height);

// Writes an icon file holding square pictures of the given sizes, in order.
void PutIcon(const std::string& path, const std::vector<int>& sizes);

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_SUPPORT_PICTURES_H_
