#ifndef VARNELO_COMMANDS_HEAP_H_
#define VARNELO_COMMANDS_HEAP_H_

namespace varnelo {

// Readies the process's heap for runs over large folders: large blocks are
// kept in it between runs, and where the system offers it, its memory comes
// in huge pages. The first call does the work; later calls do nothing.
void PrepareHeapForRuns();

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_HEAP_H_
