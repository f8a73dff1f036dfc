#include <limits>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "commands/checked.h"
#include "commands/commands.h"
#include "commands/extension.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

// The files are counted in 16 bits.
constexpr int kMostFiles = std::numeric_limits<int16_t>::max();

// Only a visible file with a real extension in its own name has a folder to
// go to; any other would derive its folder from the path above it. An
// extension with a control character names no folder that can be made.
bool HasExtensionFolder(const File& file) {
  std::string_view name = NameOf(file.Path());
  size_t dot = name.rfind('.');
  return (file.attributes & (kHidden | kSystem)) == 0 && dot != std::string_view::npos &&
         dot + 1 < name.size() && !HasControlCharacter(name.substr(dot + 1));
}

void SortByExtension(CommandRun& run) {
  FileOperations& fs = run.fs;
  const std::string& lj = run.lj;

  // Pass 1: count the files, so the lists have their size and a folder too
  // large for the counts is refused before anything changes.
  const int16_t count = ToInt16(run.folder->FileCount());
  std::vector<std::string> extensions(count + 1);
  std::vector<std::string> paths(count + 1);

  // Pass 2: make every extension folder before any file is moved. Nothing
  // but this pass makes them, so each spelling is looked for once.
  int16_t index = 0;
  std::unordered_set<std::string> looked_for;
  for (const File& file : run.folder->Files()) {
    std::string& extension = Slot(extensions, index) = std::string(ExtensionOf(file.Path()));
    if (HasExtensionFolder(file) && looked_for.insert(extension).second &&
        fs.Dir(lj + kPathSeparator + extension + kPathSeparator, kDirectory).empty()) {
      fs.MakeFolder(lj + kPathSeparator + extension);
    }
    index = ToInt16(index + 1);
  }

  // Pass 3: move every file into its extension folder, each with one rename;
  // one gone meanwhile has no place, and pass 5 leaves its name alone.
  index = 0;
  std::vector<std::string> placed(count + 1);
  for (File& file : run.folder->Files()) {
    std::string& extension = Slot(extensions, index) = std::string(ExtensionOf(file.Path()));
    run.Progress(index, count * 2, file.Path());
    if (HasExtensionFolder(file)) {
      std::string name = FileOperations::GetBaseName(file.Path()) + "." + extension;
      std::string& target = Slot(placed, index);
      run.UnlessGone(file.Path(), [&] {
        target = fs.MoveInto(file.Path(), lj + kPathSeparator + extension, name);
      });
    }
    Slot(paths, index) = std::move(file.path);  // its last use: no copy of every path
    index = ToInt16(index + 1);
  }

  // Pass 4: collect the source paths through the scratch box.
  for (index = 0; index < count; index = ToInt16(index + 1)) {
    run.host.SetScratchText(paths[index]);
    paths[index] = run.host.ScratchText();
  }

  // Pass 5: a moved source has left the folder. One that still stands is
  // deleted only where it is a second name of the very file placed; anything
  // else that stands there now is not the command's to delete.
  for (index = 0; index < count; index = ToInt16(index + 1)) {
    run.Progress(count + index, count * 2, paths[index]);
    if (!placed[index].empty() && !fs.Dir(paths[index], 0).empty()) {
      fs.DeleteSecondName(paths[index], placed[index]);
    }
  }
}

}  // namespace

extern const Command kSortByExtension = {
    .name = "extension",
    .prompt = "确认按扩展名分类？",
    .reported_number = kPathNotFound,
    .most_files = kMostFiles,
    .opens_folder_first = true,
    .operation = &SortByExtension,
};

}  // namespace varnelo
