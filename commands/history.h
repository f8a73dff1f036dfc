#ifndef VARNELO_COMMANDS_HISTORY_H_
#define VARNELO_COMMANDS_HISTORY_H_

#include <deque>

#include "filesystem/run_record.h"

namespace varnelo {

inline constexpr char kUndoPrompt[] = "确认撤销上一次操作？";
inline constexpr char kUndoneText[] = "撤销已完成!!";
// "%" stands for the count of files left where they were.
inline constexpr char kUndoneWithStayedText[] = "撤销已完成，有 % 个文件已被移动或修改，留在原处。";
inline constexpr char kNothingToUndoText[] = "没有可以撤销的操作。";

// The records of the runs made since the window opened, held in memory only:
// what closing the window forgets can no longer be undone.
class History {
 public:
  // Keeps `record` where it holds anything to undo; answers whether it does.
  bool Keep(RunRecord record);
  // The latest run not undone yet, or nullptr.
  RunRecord* Latest();

 private:
  std::deque<RunRecord> runs_;  // oldest first
};

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_HISTORY_H_
