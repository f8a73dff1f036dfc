#include "filesystem/picture_header.h"

#include <QFile>
#include <QImageReader>
#include <QSize>

namespace varnelo {

std::optional<PictureSize> PictureSizeFromHeader(int fd) {
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return std::nullopt;
  // Without a format given, the reader picks its plugin by the file's content,
  // so a picture is measured whatever its name claims. The image plugins load
  // without any application object.
  QImageReader reader(&file);
  QSize size = reader.size();
  if (size.width() <= 0 || size.height() <= 0) return std::nullopt;
  return PictureSize{size.width(), size.height()};
}

}  // namespace varnelo
