#include <locale.h>
#include <wctype.h>

#include "filesystem/letter_case.h"

namespace varnelo {
namespace {

// The C library's Unicode letter tables, whatever locale the user runs in.
// Made once and kept for the life of the program; where the system lacks
// them, letters outside ASCII keep their case.
locale_t UnicodeLetters() {
  static const locale_t letters = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return letters;
}

}  // namespace

char32_t UpperCaseLetter(char32_t c) {
  locale_t letters = UnicodeLetters();
  return letters ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), letters)) : c;
}

char32_t FoldedLetter(char32_t c) {
  locale_t letters = UnicodeLetters();
  if (!letters) return c;
  return static_cast<char32_t>(towlower_l(towupper_l(static_cast<wint_t>(c), letters), letters));
}

}  // namespace varnelo
