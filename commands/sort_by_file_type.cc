#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "commands/checked.h"
#include "commands/commands.h"
#include "commands/extension.h"
#include "filesystem/failure.h"
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

// The folder of the category of the table's `position`.
const char* FolderAt(size_t position) {
  for (const Category& category : kCategories) {
    if (position < category.end) return category.folder;
  }
  return nullptr;
}

// Every spelling an entry of the table matches, all in lower or all in upper
// case, with the folder of the first entry so spelt: the scan of the table
// in its order, done once per run rather than once per file.
using Spellings = std::unordered_map<std::string, const char*>;

Spellings SpellingsOf(const FileTypeTable& table) {
  Spellings spellings;
  for (size_t position = 0; position < table.size(); ++position) {
    spellings.try_emplace(table[position], FolderAt(position));
    spellings.try_emplace(UpperCase(table[position]), FolderAt(position));
  }
  return spellings;
}

// None for an extension that no entry spells, such as the mixed "Jpg".
std::optional<std::string> CategoryFolder(const Spellings& spellings, std::string_view extension) {
  auto spelled = spellings.find(std::string(extension));
  if (spelled == spellings.end()) return std::nullopt;
  return spelled->second;
}

// The count leaves room for ten files more within 16 bits; a folder that
// does not is refused with kOverflow.
constexpr int kSpareRoom = 10;
constexpr int kMostFiles = std::numeric_limits<int16_t>::max() - kSpareRoom;
void RefuseBeyondTheSpareRoom(int16_t count) { ToInt16(count + kSpareRoom); }

void SortByFileType(CommandRun& run) {
  const Spellings spellings = SpellingsOf(FillFileTypeTable());
  FileOperations& fs = run.fs;
  const std::string& lj = run.lj;

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
    std::optional<std::string> category = CategoryFolder(spellings, ExtensionOf(file.Path()));
    if (!category) continue;
    std::string folder = lj + kPathSeparator + *category;
    // Asked for folders, so one that is empty or holds only hidden files is reused too.
    if (fs.Dir(folder + kPathSeparator, kDirectory).empty()) fs.MakeFolder(folder);
    run.UnlessGone(file.Path(),
                   [&] { fs.MoveInto(file.Path(), folder, std::string(NameOf(file.Path()))); });
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
