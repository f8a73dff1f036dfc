#include "filesystem/file_search.h"

#include <algorithm>

#include "filesystem/failure.h"
#include "filesystem/file_operations.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

constexpr int kEveryEntry = kReadOnly | kHidden | kSystem | kDirectory;

// The sub-folders of one folder are counted in 16 bits: past the last slot,
// each further sub-folder takes the place of the one before it.
constexpr size_t kMaxSubFolders = 32767;

// Runs one step of the walk; a step that fails yields nothing.
template <typename Step>
auto Attempt(Step step) -> decltype(step()) {
  try {
    return step();
  } catch (const Failure&) {
    return {};
  }
}

bool IsDots(const std::string& name) { return name == "." || name == ".."; }

// A pattern of stars and ASCII characters without case ("*", "*.*")
// matches a name as it matches the name upper-cased: no letter changes case
// into or out of such a character, so the name need not be converted.
bool MatchesInAnyCase(std::string_view pattern) {
  return std::all_of(pattern.begin(), pattern.end(), [](char c) {
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return c == '*' || (static_cast<unsigned char>(c) < 0x80 && c != '?' && !letter);
  });
}

}  // namespace

std::string FileSearch::AsFolderPath(std::string folder) {
  if (folder.empty() || !IsPathSeparator(folder.back())) folder += kPathSeparator;
  return folder;
}

const std::vector<std::string>& FileSearch::FindFiles(std::string folder, std::string pattern) {
  folder = AsFolderPath(std::move(folder));
  SearchFolder(folder, pattern);
  return results_;
}

void FileSearch::SearchFolder(const std::string& folder, const std::string& pattern) {
  const std::string upper_pattern = UpperCase(pattern);
  const bool any_case = MatchesInAnyCase(pattern);
  std::vector<std::string> sub_folders;
  // Only the folder and link bits decide here, and the listing tells them
  // with each name: no entry is read on its own, so none fails to be read.
  for (const auto& [name, attributes] :
       Attempt([&] { return fs_.DirEntriesWithKinds(folder, kEveryEntry); })) {
    std::string path = folder + name;
    bool is_folder = (attributes & kDirectory) != 0;
    if (!is_folder) {
      if (WildcardMatch(any_case ? std::string_view(name) : UpperCase(name), upper_pattern)) {
        results_.push_back(std::move(path));
      }
      continue;
    }
    if (IsDots(name) || (attributes & kLink) != 0) continue;
    if (sub_folders.size() < kMaxSubFolders) {
      sub_folders.push_back(path);
    } else {
      sub_folders.back() = path;
    }
  }
  for (const std::string& sub_folder : sub_folders)
    SearchFolder(sub_folder + kPathSeparator, pattern);
}

}  // namespace varnelo
