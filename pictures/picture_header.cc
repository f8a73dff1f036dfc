#include "pictures/picture_header.h"

#include <jpeglib.h>
#include <png.h>

#include <QIODevice>
#include <QImageReader>
#include <QSize>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "pictures/plain_header.h"

namespace varnelo {
namespace {

// The bytes a reader is given, and whether it asked for more of them.
struct Head {
  const unsigned char* begin() const {
    return reinterpret_cast<const unsigned char*>(bytes.data());
  }
  const unsigned char* end() const { return begin() + bytes.size(); }
  size_t size() const { return bytes.size(); }

  std::string_view bytes;
  bool ran_out = false;
};

// JPEG: libjpeg, as Qt's reader of that kind drives it for a size: the
// header up to the first scan, the output size at full scale. A damaged
// header ends in error_exit, which must not return.
struct JpegFailure {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1);
}

std::optional<PictureSize> JpegSize(Head& head) {
  jpeg_decompress_struct info;
  JpegFailure failure;
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = JpegFail;
  failure.manager.output_message = [](j_common_ptr) {};
  jpeg_create_decompress(&info);
  std::optional<PictureSize> size;
  if (setjmp(failure.jump) == 0) {
    jpeg_mem_src(&info, head.begin(), head.size());
    jpeg_read_header(&info, TRUE);
    jpeg_calc_output_dimensions(&info);
    size = PictureSize{static_cast<int>(info.output_width), static_cast<int>(info.output_height)};
  }
  // Past the end of what was read, the source hands out a made-up end marker.
  const unsigned char* at = info.src != nullptr ? info.src->next_input_byte : nullptr;
  head.ran_out = at != nullptr && (at < head.begin() || at > head.end());
  jpeg_destroy_decompress(&info);
  return size;
}

// PNG: libpng, as Qt's reader of that kind drives it: the chunks up to the
// first of the picture data.
struct PngSource {
  Head* head;
  size_t at;
};

void PngRead(png_structp png, png_bytep data, size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (source->head->size() - source->at < length) {
    source->head->ran_out = true;
    png_error(png, "read error");
  }
  std::memcpy(data, source->head->begin() + source->at, length);
  source->at += length;
}

// libpng sets aside and clears all the bytes a chunk claims before it reads
// one of them, so a damaged length would cost gigabytes. A block larger than
// the head and what libpng keeps beside it cannot be filled from the head:
// it is refused, and libpng passes over the chunk as over any it has no
// memory for, while the head is marked short of what the file may tell.
constexpr size_t kPngOwnMemory = 64 << 10;

png_voidp PngAllocate(png_structp png, png_alloc_size_t size) {
  Head& head = *static_cast<Head*>(png_get_mem_ptr(png));
  if (size > head.size() + kPngOwnMemory) {
    head.ran_out = true;
    return nullptr;
  }
  return std::malloc(size);
}

void PngRelease(png_structp, png_voidp block) { std::free(block); }

std::optional<PictureSize> PngSize(Head& head) {
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr,
                                             &head, PngAllocate, PngRelease);
  if (png == nullptr) return std::nullopt;
  png_set_error_fn(png, nullptr, nullptr, [](png_structp, png_const_charp) {});
  png_infop info = png_create_info_struct(png);
  PngSource source{&head, 0};
  std::optional<PictureSize> size;
  if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
    png_set_read_fn(png, &source, PngRead);
    png_read_info(png, info);
    size = PictureSize{static_cast<int>(png_get_image_width(png, info)),
                       static_cast<int>(png_get_image_height(png, info))};
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  return size;
}

// The head as a file to Qt's readers. Unbuffered, so that it hears what a
// reader asks for rather than a buffer's look ahead.
class HeadDevice : public QIODevice {
 public:
  explicit HeadDevice(Head& head) : head_(head) { open(ReadOnly | Unbuffered); }

  qint64 size() const override { return static_cast<qint64>(head_.size()); }
  bool seek(qint64 to) override {
    if (to > size()) head_.ran_out = true;
    return QIODevice::seek(to);
  }

 protected:
  qint64 readData(char* data, qint64 most) override {
    qint64 at = pos();
    if (most > size() - at) head_.ran_out = true;
    qint64 got = std::clamp<qint64>(size() - at, 0, most);
    if (got > 0) std::memcpy(data, head_.bytes.data() + at, got);
    return got;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  Head& head_;
};

std::optional<PictureSize> QtSize(Head& head) {
  HeadDevice device(head);
  // The reader picks its plugin by the content, so a picture is measured
  // whatever its name claims. The plugins load without any application
  // object.
  QImageReader reader(&device);
  QSize size = reader.size();
  if (size.width() <= 0 || size.height() <= 0) return std::nullopt;
  // A plugin tells a size once it has read the header that holds it, though
  // it may have looked on past the head for more (a GIF's later frames).
  head.ran_out = false;
  return PictureSize{size.width(), size.height()};
}

enum class Kind { kJpeg, kPng, kOther };

Kind KindOf(const Head& head) {
  static constexpr unsigned char kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (head.size() >= 2 && head.begin()[0] == 0xFF && head.begin()[1] == 0xD8) return Kind::kJpeg;
  if (head.size() >= sizeof kPng && std::memcmp(head.begin(), kPng, sizeof kPng) == 0) {
    return Kind::kPng;
  }
  return Kind::kOther;
}

}  // namespace

HeaderReading ReadHeader(std::string_view bytes) {
  // The two common kinds are read by the very libraries Qt's readers of
  // them use: through Qt, every reader it has would be loaded and asked in
  // turn and the bytes read in small steps, at many times the cost of the
  // header itself. A header of the plain layout is read without even them.
  Head head{bytes};
  std::optional<PictureSize> size;
  switch (KindOf(head)) {
    case Kind::kJpeg:
      if (std::optional<HeaderReading> plain = PlainJpegReading(bytes)) return *plain;
      size = JpegSize(head);
      break;
    case Kind::kPng:
      if (std::optional<HeaderReading> plain = PlainPngReading(bytes)) return *plain;
      size = PngSize(head);
      break;
    case Kind::kOther:
      size = QtSize(head);
      break;
  }
  if (size && (size->width <= 0 || size->height <= 0)) size.reset();
  return {size, head.ran_out};
}

}  // namespace varnelo
