#include "commands/heap.h"

#include <cstdint>
#include <cstdlib>  // before the test below: it tells which C library this is

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace varnelo {
namespace {

#ifdef __GLIBC__
constexpr int kLargestHeapBlock = 32 << 20;  // the most glibc keeps in its heap
constexpr int kHeapGrowth = 64 << 20;        // more than a run over a large folder holds
constexpr uintptr_t kHugePage = 2 << 20;

// A run's listings, its file list and their sort keys are a few large
// blocks, made and let go within the run. The allocator keeps their pages
// for the next block rather than handing each back to the system, which
// would fault every page in afresh.
bool KeepLargeBlocksInTheHeap() {
  return mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock) == 1 &&
         mallopt(M_TRIM_THRESHOLD, kHeapGrowth) == 1 && mallopt(M_TOP_PAD, kHeapGrowth) == 1;
}

// Every fresh page of the heap costs the kernel a fault: on a large folder
// those faults cost as much as a tenth of the renames. The heap is grown
// once by what a large run uses, and that span asked for in huge pages,
// each one fault in place of 512. Where the system has no huge pages to
// give, the advice is refused and the pages come one by one, as before.
void AskForHugePages() {
  const uintptr_t before = reinterpret_cast<uintptr_t>(sbrk(0));
  // A block larger than the heap's free top, as early in a process, makes
  // the heap grow by the padding; freed, it leaves that room at the top for
  // the runs. Where the top holds the block already, nothing grows, nothing
  // is advised, and the pages come one by one. Held in a volatile, so that
  // the compiler keeps the pair of calls.
  void* volatile block = malloc(1 << 20);
  free(block);
  const uintptr_t after = reinterpret_cast<uintptr_t>(sbrk(0));
  const uintptr_t first = (before + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = after & ~(kHugePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}
#endif

}  // namespace

void PrepareHeapForRuns() {
#ifdef __GLIBC__
  [[maybe_unused]] static const bool prepared = [] {
    if (!KeepLargeBlocksInTheHeap()) return false;
    AskForHugePages();
    return true;
  }();
#endif
}

}  // namespace varnelo
