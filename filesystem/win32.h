#ifndef VARNELO_FILESYSTEM_WIN32_H_
#define VARNELO_FILESYSTEM_WIN32_H_

// The Win32 headers, for the files that talk to Windows itself. They name
// their functions through macros (DeleteFile for DeleteFileW) that would
// rename the file layer's own methods of those names: the functions are
// called by their wide names, and the macros dropped.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CopyFile
#undef DeleteFile
#undef MoveFile
#undef ReplaceFile

#include <string>
#include <string_view>

namespace varnelo {

// Text crosses into Windows as UTF-16 and comes back as UTF-8; nothing else
// in the program sees UTF-16. Text that is not UTF-8 is refused with
// kBadFileName, as no file can bear its name.
std::wstring WideFromUtf8(std::string_view text);
// UTF-16 from Windows; where it is not well formed (a lone surrogate), its
// faults become U+FFFD and `exact`, when given, is set to false.
std::string Utf8FromWide(std::wstring_view text, bool* exact = nullptr);

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_WIN32_H_
