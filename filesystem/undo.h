#ifndef VARNELO_FILESYSTEM_UNDO_H_
#define VARNELO_FILESYSTEM_UNDO_H_

#include <functional>
#include <string>

#include "filesystem/file_system.h"
#include "filesystem/run_record.h"

namespace varnelo {

// Told as an undo works through the changes: `done` of `total`, and the path at hand.
using UndoProgress = std::function<void(int done, int total, const std::string& item)>;

// Plays `record` back on `fs`, the latest change first, with the file
// operations' guarantees: each file goes back to its old path by one rename
// (a whole copy across volumes) and never replaces anything, taking a free
// numbered name where its old one is taken; a file no longer where the run
// put it, or no longer the same file, stays where it is. Folders the run
// removed are made again and folders it made are removed where empty; last,
// every folder the run changed gets back the time it had before.
//
// Answers how many files have stayed, over every undo of this record. A
// failure is thrown as Failure and keeps what was undone before it: undoing
// again goes on from there.
int Undo(RunRecord& record, FileSystem* fs, const UndoProgress& progress = {});

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_UNDO_H_
