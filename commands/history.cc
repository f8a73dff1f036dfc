#include "commands/history.h"

namespace varnelo {

bool History::Keep(RunRecord record) {
  if (!record.HasChanges()) return false;
  runs_.push_back(std::move(record));
  return true;
}

RunRecord* History::Latest() {
  for (auto run = runs_.rbegin(); run != runs_.rend(); ++run) {
    if (!run->undone) return &*run;
  }
  return nullptr;
}

}  // namespace varnelo
