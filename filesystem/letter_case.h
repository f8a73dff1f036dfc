#ifndef VARNELO_FILESYSTEM_LETTER_CASE_H_
#define VARNELO_FILESYSTEM_LETTER_CASE_H_

namespace varnelo {

// The letter case of one character (a Unicode code point) as the platform
// knows it; a character without case is answered unchanged.
char32_t UpperCaseLetter(char32_t c);
// One character for all the letters that differ only in case.
char32_t FoldedLetter(char32_t c);

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_LETTER_CASE_H_
