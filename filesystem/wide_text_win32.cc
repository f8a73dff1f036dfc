#include "filesystem/failure.h"
#include "filesystem/win32.h"

namespace varnelo {

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                   static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) throw Failure(kBadFileName, "not UTF-8: " + std::string(text));
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      wide.data(), length);
  return wide;
}

std::string Utf8FromWide(std::wstring_view text, bool* exact) {
  if (exact) *exact = true;
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size, nullptr, 0,
                                   nullptr, nullptr);
  DWORD flags = WC_ERR_INVALID_CHARS;
  if (length <= 0) {
    if (exact) *exact = false;
    flags = 0;  // the faults are replaced
    length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  }
  std::string narrow(length, '\0');
  WideCharToMultiByte(CP_UTF8, flags, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

}  // namespace varnelo
