#include "filesystem/win32.h"
// After windows.h, which it needs.
#include <wincodec.h>

#include "pictures/picture_header.h"

namespace varnelo {
namespace {

template <typename T>
struct Released {
  T* object = nullptr;
  ~Released() {
    if (object) object->Release();
  }
  Released() = default;
  Released(const Released&) = delete;
  Released& operator=(const Released&) = delete;
};

// One factory for the life of the program; COM is started on the thread
// that measures first, and stays.
IWICImagingFactory* Factory() {
  static IWICImagingFactory* factory = [] {
    // A thread the window started COM on already keeps its apartment.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* made = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&made)))) {
      made = nullptr;
    }
    return made;
  }();
  return factory;
}

// Windows' own decoders tell the size of the first frame; they pick the kind
// by the content, whatever the file's name claims.
std::optional<PictureSize> WicSize(std::string_view head) {
  IWICImagingFactory* factory = Factory();
  if (!factory || head.empty()) return std::nullopt;
  Released<IWICStream> stream;
  Released<IWICBitmapDecoder> decoder;
  Released<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
  BYTE* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(head.data()));
  if (FAILED(factory->CreateStream(&stream.object)) ||
      FAILED(stream.object->InitializeFromMemory(bytes, static_cast<DWORD>(head.size()))) ||
      FAILED(factory->CreateDecoderFromStream(stream.object, nullptr,
                                              WICDecodeMetadataCacheOnDemand, &decoder.object)) ||
      FAILED(decoder.object->GetFrame(0, &frame.object)) ||
      FAILED(frame.object->GetSize(&width, &height)) || width == 0 || height == 0 ||
      width > INT32_MAX || height > INT32_MAX) {
    return std::nullopt;
  }
  return PictureSize{static_cast<int>(width), static_cast<int>(height)};
}

}  // namespace

HeaderReading ReadHeader(std::string_view head) {
  // Windows reads a header alone, but some decoders want the whole picture
  // before they tell its size: a head they refuse may be one cut too short,
  // and the caller offers more of the file until it ends.
  std::optional<PictureSize> size = WicSize(head);
  return {size, !size};
}

}  // namespace varnelo
