#ifndef VARNELO_FILESYSTEM_NAMES_H_
#define VARNELO_FILESYSTEM_NAMES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace varnelo {

// The separator between the folders and the name of a path, as the user
// sees paths on this system: D:\pics\a.jpg on Windows, /pics/a.jpg elsewhere.
// Paths are built with it alone; Windows takes "/" as well, and
// NormalizePath turns it into this one.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Inline: path work asks it of every character.
inline constexpr bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

// The length of the root that begins `path`: "/" elsewhere; "C:\", "\\server\share\"
// or "\" on Windows. 0 for a path relative to the working folder.
size_t RootLength(std::string_view path);

// The longest name one folder entry may have, in bytes.
inline constexpr size_t kMaxNameBytes = 255;

// A key under which names that differ only in letter case are equal. Names in
// UTF-8 fold every letter (É and é, Я and я); other byte strings fold only
// their ASCII letters, so two different names never share a key by accident
// of decoding.
std::string FoldCase(std::string_view name);

// A hash of the bytes, and one of FoldCase(name) that folds a name of ASCII
// without making its key: BytesHash(FoldCase(name)) == FoldedHash(name).
uint64_t BytesHash(std::string_view text);
uint64_t FoldedHash(std::string_view name);

// The name converted to upper case, with the same care for non-UTF-8 names.
std::string UpperCase(std::string_view name);

// True when `name` is matched by `pattern`, where "*" stands for any run of
// characters (also none), "?" for one character, and all else for itself.
// The caller chooses the letter case of both.
bool WildcardMatch(std::string_view name, std::string_view pattern);

// Whether the bytes are UTF-8 text.
bool IsValidUtf8(std::string_view text);

// Hidden entries are those whose names begin with ".", except "." and "..".
bool IsHiddenName(std::string_view name);

// True when the text holds a character below U+0020, which no path may hold.
bool HasControlCharacter(std::string_view path);

// The path with every run of separators made one kPathSeparator, and without
// a trailing one (but a root keeps its own). Two spellings of one path give
// one key.
std::string NormalizePath(std::string_view path);
// Whether NormalizePath would give `path` back unchanged.
bool IsNormalPath(std::string_view path);

// The folder part and the name part of a path, split at its last separator;
// the folder part of a path just below a root is the root.
std::string_view ParentOf(std::string_view path);
std::string_view NameOf(std::string_view path);

// `folder`, kPathSeparator, `name`, for a folder that may be "" (the working
// folder) or a root.
std::string JoinPath(std::string_view folder, std::string_view name);

// The `n`-th candidate for a name that is taken: "name (n).ext", split at the
// last "." that is not the first character ("name (n)" without one). When the
// candidate would exceed kMaxNameBytes, the stem is shortened at a character
// boundary so that it fits. For n <= 1 the name itself.
std::string NumberedName(std::string_view name, int n);

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_NAMES_H_
