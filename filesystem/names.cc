#include "filesystem/names.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "filesystem/letter_case.h"

namespace varnelo {
namespace {

// The character that begins at `text[i]`, and moves `i` past it; nothing
// for bytes that are not UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> NextCharacter(std::string_view text, size_t& i) {
  auto byte = static_cast<unsigned char>(text[i]);
  int length = byte < 0x80                   ? 1
               : byte >= 0xC2 && byte < 0xE0 ? 2
               : byte >= 0xE0 && byte < 0xF0 ? 3
               : byte >= 0xF0 && byte < 0xF5 ? 4
                                             : 0;
  if (length == 0 || i + length > text.size()) return std::nullopt;
  char32_t c = length == 1 ? byte : byte & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (next & 0x3F);
  }
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return std::nullopt;
  i += length;
  return c;
}

void AppendUtf8(std::string& text, char32_t c) {
  if (c < 0x80) {
    text.push_back(static_cast<char>(c));
    return;
  }
  int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
  text.push_back(static_cast<char>(kLead[length] | (c >> (6 * (length - 1)))));
  for (int k = length - 2; k >= 0; --k) {
    text.push_back(static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F)));
  }
}

// The CJK blocks, from the radicals to the unified ideographs, hold no
// letter with a case: the names of folders of our own are spelt in them, and
// are folded at every look-up.
bool HasNoCase(char32_t c) { return c >= 0x2E80 && c <= 0x9FFF; }

// FNV-1a: names are short, and a step a byte lets a name be folded as it is hashed.
constexpr uint64_t kHashBasis = 14695981039346656037ull;
uint64_t HashStep(uint64_t hash, char c) {
  return (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
}

// Names are nearly always ASCII: those are converted byte by byte in one
// pass, and only the others go through Unicode.
template <typename Convert, typename AsciiConvert>
std::string ConvertCase(std::string_view name, Convert convert, AsciiConvert ascii) {
  std::string result(name);
  bool ascii_only = true;
  for (char& c : result) {
    ascii_only &= static_cast<unsigned char>(c) < 0x80;
    c = ascii(c);
  }
  if (ascii_only) return result;
  std::string converted;
  converted.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    std::optional<char32_t> c = NextCharacter(name, i);
    if (!c) return result;
    AppendUtf8(converted, *c < 0x80       ? static_cast<char32_t>(ascii(static_cast<char>(*c)))
                          : HasNoCase(*c) ? *c
                                          : convert(*c));
  }
  return converted;
}

size_t CharacterBoundaryAtOrBefore(std::string_view text, size_t length) {
  while (length > 0 && length < text.size() &&
         (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
    --length;
  }
  return length;
}

}  // namespace

std::string FoldCase(std::string_view name) {
  return ConvertCase(name, FoldedLetter, [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
}

uint64_t BytesHash(std::string_view text) {
  uint64_t hash = kHashBasis;
  for (char c : text) hash = HashStep(hash, c);
  return hash;
}

uint64_t FoldedHash(std::string_view name) {
  uint64_t hash = kHashBasis;
  auto add = [&hash](char c) { hash = HashStep(hash, c); };
  for (size_t i = 0; i < name.size();) {
    char c = name[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      add(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
      ++i;
      continue;
    }
    // Characters without case fold to themselves; any other is folded whole.
    size_t start = i;
    std::optional<char32_t> character = NextCharacter(name, i);
    if (!character || !HasNoCase(*character)) return BytesHash(FoldCase(name));
    for (; start < i; ++start) add(name[start]);
  }
  return hash;
}

std::string UpperCase(std::string_view name) {
  return ConvertCase(name, UpperCaseLetter, [](char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  });
}

bool WildcardMatch(std::string_view name, std::string_view pattern) {
  // Greedy match with one back-tracking point: linear in practice, never exponential.
  size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    // A "*" of the pattern is always a wildcard, also where the name holds a "*".
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    if (!NextCharacter(text, i)) return false;
  }
  return true;
}

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

bool HasControlCharacter(std::string_view path) {
  return std::any_of(path.begin(), path.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

size_t RootLength(std::string_view path) {
#ifdef _WIN32
  if (path.size() >= 2 && path[1] == ':') {
    return path.size() >= 3 && IsPathSeparator(path[2]) ? 3 : 2;
  }
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    // \\server\share\ (and \\?\C:\ for a long path) as one root.
    size_t server_end = path.find_first_of("\\/", 2);
    if (server_end == std::string_view::npos) return path.size();
    size_t share_end = path.find_first_of("\\/", server_end + 1);
    if (path.substr(2, server_end - 2) == "?" && server_end + 1 < path.size()) {
      return server_end + 1 + RootLength(path.substr(server_end + 1));
    }
    return share_end == std::string_view::npos ? path.size() : share_end + 1;
  }
#endif
  return !path.empty() && IsPathSeparator(path[0]) ? 1 : 0;
}

bool IsNormalPath(std::string_view path) {
  size_t root = RootLength(path);
  if (path.size() > root && IsPathSeparator(path.back())) return false;
#ifdef _WIN32
  for (size_t i = 0; i < path.size(); ++i) {
    if (!IsPathSeparator(path[i])) continue;
    if (path[i] != kPathSeparator || (i > root && IsPathSeparator(path[i - 1]))) return false;
  }
  return true;
#else
  // One separator only: a search for it doubled, which the library does
  // many bytes at a time. Every path a command uses is asked.
  return path.find("//", root) == std::string_view::npos;
#endif
}

std::string NormalizePath(std::string_view path) {
  if (IsNormalPath(path)) return std::string(path);
  size_t root = RootLength(path);
  std::string result;
  result.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    char c = path[i];
    if (!IsPathSeparator(c)) {
      result.push_back(c);
      continue;
    }
    bool doubled = i > root && IsPathSeparator(path[i - 1]);
    bool leading_after_root = i == root && root > 0 && IsPathSeparator(path[root - 1]);
    if (!doubled && !leading_after_root) result.push_back(kPathSeparator);
  }
  if (result.size() > RootLength(result) && IsPathSeparator(result.back())) result.pop_back();
  return result;
}

namespace {

size_t LastSeparator(std::string_view path) {
#ifdef _WIN32
  return path.find_last_of("\\/");
#else
  // memrchr, unlike rfind, looks at many bytes at a time.
  if (path.empty()) return std::string_view::npos;
  const void* at = memrchr(path.data(), '/', path.size());
  return at == nullptr ? std::string_view::npos : static_cast<const char*>(at) - path.data();
#endif
}

}  // namespace

std::string_view ParentOf(std::string_view path) {
  size_t slash = LastSeparator(path);
  if (slash == std::string_view::npos) return {};
  size_t root = RootLength(path);
  if (slash < root) return path.substr(0, root);
  return path.substr(0, std::max(slash, root));
}

std::string_view NameOf(std::string_view path) {
  size_t slash = LastSeparator(path);
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder);
  if (!IsPathSeparator(path.back())) path += kPathSeparator;
  path.append(name);
  return path;  // returned by name: the reference append gives back would be copied
}

std::string NumberedName(std::string_view name, int n) {
  if (n <= 1) return std::string(name);
  std::string suffix = " (" + std::to_string(n) + ")";
  size_t dot = name.rfind('.');
  if (dot == 0 || dot == std::string_view::npos ||
      name.size() - dot + suffix.size() >= kMaxNameBytes) {
    dot = name.size();  // too long an extension to keep whole: number the name as a whole
  }
  std::string_view stem = name.substr(0, dot);
  std::string_view extension = name.substr(dot);
  size_t room = kMaxNameBytes - std::min(kMaxNameBytes, suffix.size() + extension.size());
  if (stem.size() > room) stem = stem.substr(0, CharacterBoundaryAtOrBefore(stem, room));
  return std::string(stem) + suffix + std::string(extension);
}

}  // namespace varnelo
