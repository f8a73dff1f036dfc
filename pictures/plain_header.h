#ifndef VARNELO_PICTURES_PLAIN_HEADER_H_
#define VARNELO_PICTURES_PLAIN_HEADER_H_

#include <optional>
#include <string_view>

#include "pictures/picture_header.h"

namespace varnelo {

// The reading of a JPEG or PNG header laid out as the common writers lay it
// out, straight from `head` without a decoding library. It answers only
// where libjpeg and libpng, driven as the header readers drive them, would
// give the same reading of these bytes: a size, or that a header plain so
// far runs on past `head`. Anything unusual (a marker or chunk it does not
// know, a field out of the plain ranges) gives nothing, and the library is
// asked instead. Setting up a library costs several times what reading a
// plain header does, and a folder of pictures is mostly plain ones.
std::optional<HeaderReading> PlainJpegReading(std::string_view head);
std::optional<HeaderReading> PlainPngReading(std::string_view head);

}  // namespace varnelo

#endif  // VARNELO_PICTURES_PLAIN_HEADER_H_
