#include "filesystem/letter_case.h"
#include "filesystem/win32.h"

namespace varnelo {
namespace {

// The system's own letter tables, the ones its file systems compare names
// by, independent of the user's language.
char32_t Mapped(char32_t c, DWORD how) {
  wchar_t units[2];
  int length = 1;
  if (c >= 0x10000) {
    units[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    units[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    length = 2;
  } else {
    units[0] = static_cast<wchar_t>(c);
  }
  wchar_t mapped[2];
  int got =
      LCMapStringEx(LOCALE_NAME_INVARIANT, how, units, length, mapped, 2, nullptr, nullptr, 0);
  if (got == 1) return mapped[0];
  if (got == 2 && mapped[0] >= 0xD800 && mapped[0] < 0xDC00) {
    return 0x10000 + ((static_cast<char32_t>(mapped[0]) - 0xD800) << 10) + (mapped[1] - 0xDC00);
  }
  return c;  // a character that maps to more than one stays as it is
}

}  // namespace

char32_t UpperCaseLetter(char32_t c) { return Mapped(c, LCMAP_UPPERCASE); }

char32_t FoldedLetter(char32_t c) {
  // Windows' upper-case table takes a final sigma to the capital, as its
  // file systems compare names; Wine's leaves it, so it is spelt here.
  constexpr char32_t kFinalSigma = U'\u03C2', kSigma = U'\u03C3';
  if (c == kFinalSigma) return kSigma;
  return Mapped(Mapped(c, LCMAP_UPPERCASE), LCMAP_LOWERCASE);
}

}  // namespace varnelo
