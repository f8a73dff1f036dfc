#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/checked.h"
#include "commands/commands.h"
#include "commands/extension.h"
#include "filesystem/failure.h"
#include "filesystem/folder_cache.h"
#include "filesystem/names.h"

namespace varnelo {
namespace {

constexpr size_t kTableSize = 50;

// The extensions the command knows, in the order they are tried. A
// position's category follows from the position alone (see kCategories).
using FileTypeTable = std::array<std::string, kTableSize>;

struct Category {
  size_t end;          // one past the category's last position in the table
  const char* folder;  // the sub-folder its files go to
};

constexpr Category kCategories[] = {
    {12, "图片"}, {25, "视频"}, {38, "音频"}, {49, "文档"}, {50, "软件"},
};

FileTypeTable FillFileTypeTable() {
  return {// pictures
          "eps", "gif", "jpeg", "png", "wmf", "jpg", "psd", "ico", "bmp", "tiff", "tif", "ai",
          // video
          "avi", "mp4", "rmvb", "rm", "mkv", "3gp", "swf", "wma", "mov", "mpg", "mpeg", "flv",
          "vob",
          // audio
          "mp3", "wav", "ape", "flac", "mid", "acc", "amr", "m4a", "ogg", "m4r", "mp2", "wavpack",
          "mmf",
          // documents
          "doc", "docx", "ppt", "pptx", "xls", "xlsx", "txt", "pdf", "epud", "dot", "dotx",
          // software
          "exe"};
}

// Every spelling an entry of the table matches, all in lower or all in upper
// case, with the category of the first entry so spelt: the scan of the table
// in its order, done once per run rather than once per file.
using Spellings = TextMap<size_t>;

size_t CategoryAt(size_t position) {
  size_t category = 0;
  while (position >= kCategories[category].end) ++category;
  return category;
}

Spellings SpellingsOf(const FileTypeTable& table) {
  Spellings spellings;
  for (size_t position = 0; position < table.size(); ++position) {
    spellings.try_emplace(table[position], CategoryAt(position));
    spellings.try_emplace(UpperCase(table[position]), CategoryAt(position));
  }
  return spellings;
}

// None for an extension that no entry spells, such as the mixed "Jpg".
std::optional<size_t> CategoryOf(const Spellings& spellings, std::string_view extension) {
  auto spelled = spellings.find(extension);
  if (spelled == spellings.end()) return std::nullopt;
  return spelled->second;
}

// The path of each category's folder in `lj`, spelt once per run.
struct CategoryFolder {
  std::string path;
  std::string listed;  // the path with a separator after it: the folder's entries
};

std::vector<CategoryFolder> CategoryFoldersIn(const std::string& lj) {
  std::vector<CategoryFolder> folders;
  for (const Category& category : kCategories) {
    std::string path = lj + kPathSeparator + category.folder;
    folders.push_back({path, path + kPathSeparator});
  }
  return folders;
}

// The count leaves room for ten files more within 16 bits; a folder that
// does not is refused with kOverflow.
constexpr int kSpareRoom = 10;
constexpr int kMostFiles = std::numeric_limits<int16_t>::max() - kSpareRoom;
void RefuseBeyondTheSpareRoom(int16_t count) { ToInt16(count + kSpareRoom); }

void SortByFileType(CommandRun& run) {
  const Spellings spellings = SpellingsOf(FillFileTypeTable());
  FileOperations& fs = run.fs;
  const std::vector<CategoryFolder> folders = CategoryFoldersIn(run.lj);

  // Count pass: a folder too large for the 16-bit counts (with ten to spare)
  // is refused before anything changes.
  const int16_t count = ToInt16(run.folder->FileCount());
  RefuseBeyondTheSpareRoom(count);

  // Sort pass: each file of a known type goes straight into its category's
  // folder, made when its first file arrives. Hidden and system files stay.
  int done = 0;
  for (const File& file : run.folder->Files()) {
    run.Progress(done++, count, file.Path());
    if (file.attributes & (kHidden | kSystem)) continue;
    std::optional<size_t> category = CategoryOf(spellings, ExtensionOf(file.Path()));
    if (!category) continue;
    const CategoryFolder& folder = folders[*category];
    // Asked for folders, so one that is empty or holds only hidden files is reused too.
    if (fs.Dir(folder.listed, kDirectory).empty()) fs.MakeFolder(folder.path);
    run.UnlessGone(file.Path(), [&] {
      fs.MoveInto(file.Path(), folder.path, std::string(NameOf(file.Path())));
    });
  }
}

}  // namespace

extern const Command kSortByFileType = {
    .name = "type",
    .prompt = "确认按文件类型分类？",
    .reported_number = kPathNotFound,
    .most_files = kMostFiles,
    .opens_folder_first = true,
    .operation = &SortByFileType,
};

}  // namespace varnelo
