#include "filesystem/names.h"

#include <QByteArrayView>
#include <QString>

#include <algorithm>

namespace varnelo {
namespace {

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
  if (ascii_only ||
      !QByteArrayView(name.data(), static_cast<qsizetype>(name.size())).isValidUtf8()) {
    return result;
  }
  return convert(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))).toStdString();
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
  return ConvertCase(
      name, [](const QString& s) { return s.toCaseFolded(); },
      [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
}

std::string UpperCase(std::string_view name) {
  return ConvertCase(
      name, [](const QString& s) { return s.toUpper(); },
      [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
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

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

bool HasControlCharacter(std::string_view path) {
  return std::any_of(path.begin(), path.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool IsNormalPath(std::string_view path) {
  if (path.size() > 1 && path.back() == '/') return false;
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '/' && path[i - 1] == '/') return false;
  }
  return true;
}

std::string NormalizePath(std::string_view path) {
  if (IsNormalPath(path)) return std::string(path);
  std::string result;
  result.reserve(path.size());
  for (char c : path) {
    if (c == '/' && !result.empty() && result.back() == '/') continue;
    result.push_back(c);
  }
  if (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

std::string_view ParentOf(std::string_view path) {
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

std::string_view NameOf(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder);
  if (path.back() != '/') path += '/';
  return path.append(name);
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
