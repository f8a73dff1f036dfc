#include "filesystem/picture_header.h"

#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <QFile>
#include <QImageReader>
#include <QSize>

#include <csetjmp>
#include <cstring>
#include <memory>

namespace varnelo {
namespace {

// How much of a file is read at once for its header: enough for most
// pictures, then enough for those that carry camera data before it. A
// header that runs on past both is measured from the file itself.
constexpr size_t kHeadReads[] = {4096, 65536};

// The first bytes of a file, read at once.
struct Head {
  explicit Head(size_t capacity) : data(new unsigned char[capacity]), size(capacity) {}
  const unsigned char* begin() const { return data.get(); }
  const unsigned char* end() const { return data.get() + size; }

  std::unique_ptr<unsigned char[]> data;
  size_t size;
  bool ran_out = false;  // whether a reader asked for more than there is
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
    jpeg_mem_src(&info, head.begin(), head.size);
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
  if (source->head->size - source->at < length) {
    source->head->ran_out = true;
    png_error(png, "read error");
  }
  std::memcpy(data, source->head->begin() + source->at, length);
  source->at += length;
}

std::optional<PictureSize> PngSize(Head& head) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
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

std::optional<PictureSize> QtSize(int fd) {
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return std::nullopt;
  // The reader picks its plugin by the file's content, so a picture is
  // measured whatever its name claims. The plugins load without any
  // application object.
  QImageReader reader(&file);
  QSize size = reader.size();
  if (size.width() <= 0 || size.height() <= 0) return std::nullopt;
  return PictureSize{size.width(), size.height()};
}

enum class Kind { kJpeg, kPng, kOther };

Kind KindOf(const Head& head) {
  static constexpr unsigned char kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (head.size >= 2 && head.begin()[0] == 0xFF && head.begin()[1] == 0xD8) return Kind::kJpeg;
  if (head.size >= sizeof kPng && std::memcmp(head.begin(), kPng, sizeof kPng) == 0) {
    return Kind::kPng;
  }
  return Kind::kOther;
}

}  // namespace

std::optional<PictureSize> PictureSizeFromHeader(int fd) {
  // The two common kinds are read by the very libraries Qt's readers of
  // them use, from the first bytes read at once: through Qt, every reader it
  // has would be loaded and asked in turn and the file read in small steps,
  // at many times the cost of the header itself. An answer from the first
  // bytes alone is the one the whole file gives; where they do not suffice,
  // or the kind is another, Qt reads the file.
  for (size_t capacity : kHeadReads) {
    Head head(capacity);
    ssize_t got = pread(fd, head.data.get(), capacity, 0);
    head.size = got < 0 ? 0 : got;
    Kind kind = KindOf(head);
    if (kind == Kind::kOther) break;
    std::optional<PictureSize> size = kind == Kind::kJpeg ? JpegSize(head) : PngSize(head);
    if (!head.ran_out) {
      if (size && (size->width <= 0 || size->height <= 0)) return std::nullopt;
      return size;
    }
    if (head.size < capacity) break;  // the whole file was read: no more to be had
  }
  return QtSize(fd);
}

}  // namespace varnelo
