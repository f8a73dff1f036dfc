#ifndef VARNELO_COMMANDS_FRAME_H_
#define VARNELO_COMMANDS_FRAME_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "commands/history.h"
#include "commands/host.h"
#include "filesystem/failure.h"
#include "filesystem/file_operations.h"

namespace varnelo {

inline constexpr char kConfirmTitle[] = "请选择";
inline constexpr char kCompletedText[] = "操作已完成!!";
inline constexpr char kCheckPathText[] = "请确认路径是否正确!!";

// The box of a run that any other failure ends: kNotCompletedText, a line
// with the reason, and, where files were moved, a line with how many. Each
// "%" stands for what the box fills in: a count, or a file's name.
inline constexpr char kNotCompletedText[] = "操作未完成!!";
inline constexpr char kDiskFullText[] = "磁盘空间不足。";
inline constexpr char kNoPermissionText[] = "没有权限修改其中的文件或文件夹。";
inline constexpr char kTooManyFilesText[] = "文件太多：最多 % 个文件。";
inline constexpr char kUnreadablePictureText[] = "无法读取图片：%";
inline constexpr char kNameTakenText[] = "已有同名的文件：%";
inline constexpr char kChangedMeanwhileText[] = "文件在整理时被移动或修改：%";
inline constexpr char kFailureNumberText[] = "出错（错误号 %）。";
inline constexpr char kMovedText[] = "已移动 % 个文件。";

// The preview under a confirmation; each "%" stands for a count, in order.
inline constexpr char kPreviewText[] = "将移动 % 个文件，新建 % 个文件夹。";
inline constexpr char kFlattenPreviewText[] = "将移动 % 个文件到根目录，删除 % 个子文件夹。";
inline constexpr char kNothingToMoveText[] = "没有需要移动的文件。";
inline constexpr char kMoveArrow[] = " → ";
inline constexpr int kMostPreviewLines = 5000;  // then "……"

// One run of one command: what the frame hands to the command's operation.
struct CommandRun {
  Host& host;
  FileOperations& fs;
  std::string lj;                // the folder path, as the drop box held it
  std::optional<Folder> folder;  // opened by the frame before the operation, where it does

  void Progress(int done, int total, const std::string& item) { host.Progress(done, total, item); }

  // Does `step` for the file at `path`. A file gone when its turn comes (the
  // user moved or deleted it meanwhile) is no longer the command's to handle:
  // it is passed over, and the run goes on with the others.
  template <typename Step>
  void UnlessGone(const std::string& path, Step&& step) {
    try {
      step();
    } catch (const Failure& failure) {
      if (failure.number() != kFileNotFound || failure.path() != path) throw;
    }
  }
};

struct Command {
  const char* name;         // the driver's name for it
  const char* prompt;       // the question of the confirmation box
  int reported_number;      // the failure number answered with kCheckPathText
  int most_files;           // the most files its counts take; 0 where it counts none
  bool opens_folder_first;  // whether the frame opens the folder before the operation
  void (*operation)(CommandRun& run);
  // Whether its preview tells the folders it removes (the files brought up
  // to the root) rather than those it makes.
  bool tells_folders_removed = false;
};

// Runs `command` from its confirmation to its last box, on file operations
// of its own over `fs`: nothing one run learns of the disk outlives it.
// Every failure ends the operation at once: the command's reported number
// with kCheckPathText, any other with the box of kNotCompletedText.
//
// With a `history`, what the run changes is recorded and kept there, and the
// box of its end (kCheckPathText excepted) offers to undo it at once.
void RunCommand(const Command& command, Host& host, FileSystem* fs, History* history = nullptr);

// What a run of `command` would record, simulated on a copy in memory over
// `fs`, which it reads and never changes; nothing where the simulation stops
// at a failure. Of the files placed, only the first `most_placed` are kept,
// the rest counted: enough for a preview. What it reads of files goes into
// `kept`, where given.
std::optional<RunRecord> Simulate(const Command& command, Host& host, FileSystem* fs,
                                  size_t most_placed = SIZE_MAX, KeptReadings* kept = nullptr);
// The preview of `record`, a simulated run of `command`.
Preview PreviewOf(const Command& command, const RunRecord& record);

// Undoes `record` on `fs`, told like a run: progress, then kUndoneText (with
// the count of files that stayed, where any did), or the box of
// kNotCompletedText with the reason, after which undoing again finishes.
void RunUndo(RunRecord& record, Host& host, FileSystem* fs);

// What Ctrl+Z does: asks first, then undoes the latest run not undone; with
// none, says that there is nothing to undo.
void UndoLatest(History& history, Host& host, FileSystem* fs);

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_FRAME_H_
