#ifndef VARNELO_COMMANDS_FRAME_H_
#define VARNELO_COMMANDS_FRAME_H_

#include <optional>
#include <string>
#include <string_view>

#include "commands/host.h"
#include "filesystem/file_operations.h"

namespace varnelo {

inline constexpr char kConfirmTitle[] = "请选择";
inline constexpr char kCompletedText[] = "操作已完成!!";
inline constexpr char kCheckPathText[] = "请确认路径是否正确!!";

// One run of one command: what the frame hands to the command's operation.
struct CommandRun {
  Host& host;
  FileOperations& fs;
  std::string lj;                // the folder path, as the drop box held it
  std::optional<Folder> folder;  // opened by the frame before the operation, where it does

  void Progress(int done, int total, const std::string& item) { host.Progress(done, total, item); }
};

struct Command {
  const char* name;         // the driver's name for it
  const char* prompt;       // the question of the confirmation box
  int reported_number;      // the failure number answered with kCheckPathText
  bool opens_folder_first;  // whether the frame opens the folder before the operation
  void (*operation)(CommandRun& run);
};

// Runs `command` from its confirmation to its last box, on file operations
// of its own over `fs`: nothing one run learns of the disk outlives it.
// Every failure ends the operation at once; only the command's reported
// number shows a box.
void RunCommand(const Command& command, Host& host, FileSystem* fs);

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_FRAME_H_
