// Feeds the pure functions that take names apart with inputs no test thought
// of, and holds each to what it promises. Built with clang's libFuzzer.

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "commands/extension.h"
#include "commands/sort_by_resolution.h"
#include "commands/sort_by_year.h"
#include "filesystem/failure.h"
#include "filesystem/file_operations.h"
#include "filesystem/names.h"
#include "pictures/picture_probe.h"

namespace varnelo {
namespace {

void Require(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

bool IsUtf8(std::string_view text) { return IsValidUtf8(text); }

// The wildcard match as its definition reads, slow and plain, to hold the
// quick one against.
bool MatchesByDefinition(std::string_view name, std::string_view pattern) {
  // matched[i][j]: the first i characters of the name match the first j of the pattern.
  std::vector<std::vector<char>> matched(name.size() + 1, std::vector<char>(pattern.size() + 1));
  matched[0][0] = true;
  for (size_t i = 0; i <= name.size(); ++i) {
    for (size_t j = 1; j <= pattern.size(); ++j) {
      char p = pattern[j - 1];
      matched[i][j] = p == '*' ? matched[i][j - 1] || (i > 0 && matched[i - 1][j])
                               : i > 0 && matched[i - 1][j - 1] && (p == '?' || p == name[i - 1]);
    }
  }
  return matched[name.size()][pattern.size()];
}

// One folder, "/f", held in memory: FreeName meets exactly the names given.
class MemoryFolder : public FileSystem {
 public:
  explicit MemoryFolder(std::vector<Entry> entries) : entries_(std::move(entries)) {}
  std::vector<Entry> ReadFolder(const std::string&) override { return entries_; }
  std::optional<EntryInfo> Inspect(const std::string& path) override {
    if (path != "/f") return std::nullopt;
    return EntryInfo{EntryKind::kFolder, false, true, {}, 1, 1, 1};
  }
  void MakeFolder(const std::string&) override { Untouched(); }
  void RemoveFolder(const std::string&) override { Untouched(); }
  void DeleteFile(const std::string&) override { Untouched(); }
  Outcome Rename(const std::string&, const std::string&) override { Untouched(); }
  void ReplaceFile(const std::string&, const std::string&) override { Untouched(); }
  Outcome CopyFile(const std::string&, const std::string&) override { Untouched(); }
  Outcome WriteFile(const std::string&, std::string_view) override { Untouched(); }
  FileStart ReadFile(const std::string&, size_t) override { Untouched(); }
  void SyncFolder(const std::string&) override { Untouched(); }
  void SetModificationTime(const std::string&, struct timespec) override { Untouched(); }

 private:
  [[noreturn]] static void Untouched() {
    Require(false, "finding a free name reads or changes nothing");
    std::abort();
  }
  std::vector<Entry> entries_;
};

// A name a folder could hold: not empty, no "/" and no NUL.
std::string EntryName(FuzzedDataProvider& data, size_t longest) {
  std::string name = data.ConsumeRandomLengthString(longest);
  for (char& c : name) {
    if (c == '/' || c == '\0') c = '_';
  }
  return name.empty() ? "_" : name;
}

void Extension(FuzzedDataProvider& data) {
  std::string path = data.ConsumeRemainingBytesAsString();
  std::string_view extension = ExtensionOf(path);
  Require(path.ends_with(extension), "the extension ends the path");
  if (path.find('.') == std::string::npos) {
    Require(extension == path, "without a dot the whole path stands for the extension");
  } else {
    Require(
        extension.find('.') == std::string::npos && path[path.size() - extension.size() - 1] == '.',
        "the extension is what follows the last dot");
  }
}

void Numbered(FuzzedDataProvider& data) {
  int n = data.ConsumeIntegralInRange(-2, 1000000);
  std::string name = EntryName(data, 400);
  std::string numbered = NumberedName(name, n);
  if (n <= 1) return Require(numbered == name, "the first candidate is the name itself");
  Require(numbered.size() <= kMaxNameBytes, "a numbered name fits a folder entry");
  Require(numbered.find(" (" + std::to_string(n) + ")") != std::string::npos,
          "a numbered name bears its number");
  Require(!IsUtf8(name) || IsUtf8(numbered), "a name is shortened at a character's edge");
  Require(numbered != NumberedName(name, n + 1), "each number gives another name");
}

void FreeNames(FuzzedDataProvider& data) {
  std::vector<Entry> entries;
  for (int i = data.ConsumeIntegralInRange(0, 64); i > 0; --i) {
    entries.push_back(
        {EntryName(data, 40), data.ConsumeBool() ? EntryKind::kFile : EntryKind::kFolder});
  }
  std::string name = EntryName(data, 300);
  Require(FoldedHash(name) == BytesHash(FoldCase(name)), "a name hashes as its folded key does");
  MemoryFolder folder(entries);
  FileOperations operations(&folder, "/f");
  std::string free = operations.FreeName("/f", name);
  for (const Entry& entry : entries) {
    Require(FoldCase(free) != FoldCase(entry.name), "a free name is taken in no letter case");
  }
  Require(free == name || free.size() <= kMaxNameBytes, "a free name fits a folder entry");
}

void Wildcard(FuzzedDataProvider& data) {
  std::string pattern = data.ConsumeRandomLengthString(48);
  std::string name = data.ConsumeRandomLengthString(48);
  Require(WildcardMatch(name, pattern) == MatchesByDefinition(name, pattern),
          "the wildcard match agrees with its definition");
}

void YearOfADateText(FuzzedDataProvider& data) {
  int year = data.ConsumeIntegralInRange(1, INT_MAX);
  std::string rest = data.ConsumeRemainingBytesAsString();
  Require(YearNumber(rest) >= 0, "a year text never reads as a negative year");
  if (rest.empty() || !isdigit(static_cast<unsigned char>(rest[0]))) {
    Require(YearNumber(std::to_string(year) + rest) == year,
            "a date text gives back the year it begins with");
  }
}

void PixelCountClass(FuzzedDataProvider& data) {
  auto low = data.ConsumeIntegral<int32_t>();
  auto high = data.ConsumeIntegral<int32_t>();
  if (low > high) std::swap(low, high);
  int32_t middle = data.ConsumeIntegralInRange(low, high);
  std::string_view low_class = ResolutionClassOf(low);
  Require(!low_class.empty(), "every pixel count has a class");
  if (low_class == ResolutionClassOf(high)) {
    Require(ResolutionClassOf(middle) == low_class, "a class is one unbroken range of counts");
  }
}

void RoundingOfACount(FuzzedDataProvider& data) {
  std::vector<uint8_t> bytes = data.ConsumeBytes<uint8_t>(sizeof(double));
  bytes.resize(sizeof(double));
  double value;
  std::memcpy(&value, bytes.data(), sizeof value);  // every double, NaN and infinities too
  try {
    double off = std::fabs(RoundToInt32(value) - value);
    Require(off < 0.5 || (off == 0.5 && RoundToInt32(value) % 2 == 0),
            "rounded to the nearest integer, a half to the even one");
  } catch (const Failure& failure) {
    Require(failure.number() == kOverflow && !(std::fabs(value) < 2147483647.0),
            "only a value beyond 32 bits fails to round");
  }
}

}  // namespace
}  // namespace varnelo

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  using namespace varnelo;
  FuzzedDataProvider data(bytes, size);
  void (*const kTargets[])(FuzzedDataProvider&) = {
      Extension, Numbered, FreeNames, Wildcard, YearOfADateText, PixelCountClass, RoundingOfACount};
  kTargets[data.ConsumeIntegralInRange<size_t>(0, std::size(kTargets) - 1)](data);
  return 0;
}
