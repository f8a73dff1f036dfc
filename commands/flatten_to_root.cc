#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "commands/checked.h"
#include "commands/commands.h"
#include "filesystem/file_search.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

// Twice the count of every file below the folder, the list file among them,
// fits in 16 bits.
constexpr int kMostFiles = std::numeric_limits<int16_t>::max() / 2 - 1;

// No folder the user can drop has a path of nothing but spaces; taken as it
// stands, an empty one would lead the search to the root of the disk.
bool IsBlank(std::string_view path) {
  return path.find_first_not_of(' ') == std::string_view::npos;
}

// Files directly in the folder are where they belong already, and those
// below a hidden folder belong to whatever keeps that folder (a trash, a
// repository).
bool ShouldBringUp(std::string_view path, std::string_view folder) {
  if (!path.starts_with(folder)) return false;
  std::string_view inside = path.substr(folder.size());
  size_t slash = inside.rfind(kPathSeparator);
  if (slash == std::string_view::npos) return false;
  std::string_view folders = inside.substr(0, slash);
  constexpr char kHiddenBelow[] = {kPathSeparator, '.', '\0'};
  return !folders.starts_with('.') && folders.find(kHiddenBelow) == std::string_view::npos;
}

// The list file's name: "579978.txt" or, where a file of the user's bears
// it, the next free numbered one. A list file that an interrupted run left
// behind holds this run's line already: it is taken again, and removed at the
// end like this run's own.
std::string ListFileName(FileOperations& fs, const std::string& folder, std::string_view line) {
  for (int n = 1;; ++n) {
    std::string name = NumberedName(kListFileName, n);
    if (fs.FreeName(folder, name) == name || fs.Holds(folder + kPathSeparator + name, line))
      return name;
  }
}

void FlattenToRoot(CommandRun& run) {
  FileOperations& fs = run.fs;
  FileSearch search(fs);
  // One reading of the path serves the whole run, so every step works on one folder.
  const std::string& folder = run.lj;
  if (IsBlank(folder)) throw Failure(kBadFileName, "no folder given");

  // The list file lies in the folder while the run lasts, and goes with it
  // however the run ends. A file of the user's that bears its name keeps it;
  // the list file takes the next free one.
  const std::string list_file = folder + kPathSeparator + ListFileName(fs, folder, folder + "\r\n");
  fs.WriteLines(list_file, {folder});  // the same line, ended by CR LF
  struct Removing {
    FileOperations& fs;
    const std::string& path;
    ~Removing() { fs.DeleteFileQuietly(path); }
  } removing{fs, list_file};

  // Count every file below the folder, so that a tree too large for the
  // counts is refused before anything has moved.
  const int16_t count = ToInt16(LastIndex(search.FindFiles(folder, "*")) + 1);
  // The paths stay in the search's own list, which no later search changes;
  // a slot never filled holds an empty path.
  const std::string no_path;
  std::vector<const std::string*> copy_list(ToInt16(2 * count) + 1, &no_path);
  int16_t index = 0;
  for (const std::string& path : search.FindFiles(folder, "*.*")) {
    Slot(copy_list, index) = &path;
    index = ToInt16(index + 1);
  }

  // Bring every plain file up with one rename, in search order: the first of
  // a name keeps it, the others take "name (2).ext" and so on. A path met
  // twice finds its file gone the second time.
  const std::string prefix = FileSearch::AsFolderPath(folder);
  for (int16_t k = 0; k <= count; k = ToInt16(k + 1)) {
    const std::string& path = *Slot(copy_list, k);
    run.Progress(k, count + 1, path);
    if (!ShouldBringUp(path, prefix)) continue;
    std::string name = fs.Dir(path, 0);  // empty for a hidden file or anything else not plain
    if (!name.empty()) run.UnlessGone(path, [&] { fs.MoveInto(path, folder, name); });
  }

  run.folder = fs.GetFolder(folder);

  // Remove the first-level sub-folders (the listing shows no hidden ones),
  // now empty but for what was not brought up: whatever that is stays, and
  // so does the folder that holds it. A link to a folder is the user's
  // entry like any other, and stays too.
  // The listing tells each entry's kind with its name: the files now in the
  // folder are passed over without a look at each.
  for (const auto& [name, attributes] : fs.FolderEntries(folder + kPathSeparator, kDirectory)) {
    if (name == "." || name == "..") continue;
    if ((attributes & kLink) == 0) fs.PruneFolder(folder + kPathSeparator + name);
  }
}

}  // namespace

extern const Command kFlattenToRoot = {
    .name = "flatten",
    .prompt = "确认将所有文件放到根目录？ 这将会永久丢失文件目录!",
    .reported_number = kBadFileName,
    .most_files = kMostFiles,
    .opens_folder_first = false,
    .operation = &FlattenToRoot,
    .tells_folders_removed = true,
};

}  // namespace varnelo
