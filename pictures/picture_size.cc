#include "pictures/picture_size.h"

#include "filesystem/failure.h"
#include "pictures/picture_header.h"

namespace varnelo {
namespace {

// How much of a file is read at once for its header: enough for most
// pictures, then enough for those that carry camera data before it, then
// growing steps for the rare header that lies further on. The last bounds
// what a file that is no picture at all costs; a header past it is not read.
constexpr size_t kHeadReads[] = {4 << 10, 64 << 10, 256 << 10, 1 << 20, 4 << 20, 16 << 20};

PictureSize ReadHeaderSize(FileOperations& fs, const std::string& path) {
  HeaderReading reading;
  for (size_t limit : kHeadReads) {
    std::string head = fs.ReadStart(path, limit);
    reading = ReadHeader(head);
    if (!reading.wants_more || head.size() < limit) break;  // a short read: the file ended
  }
  if (!reading.size) throw Failure(kInvalidPicture, "no picture size in " + path, path);
  return *reading.size;
}

}  // namespace

PictureSize ReadPictureSize(FileOperations& fs, const std::string& path) {
  // Kept as one number: the width in the upper half, the height in the lower.
  uint64_t size = fs.Reading(path, [&] {
    PictureSize read = ReadHeaderSize(fs, path);
    return uint64_t{static_cast<uint32_t>(read.width)} << 32 | static_cast<uint32_t>(read.height);
  });
  return {static_cast<int>(size >> 32), static_cast<int>(static_cast<uint32_t>(size))};
}

void WillReadPictureSizes(FileOperations& fs, const std::vector<File>& files,
                          const std::function<bool(const File&)>& measured) {
  fs.WillReadStarts(files, measured, kHeadReads[0]);
}

}  // namespace varnelo
