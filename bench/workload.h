#ifndef VARNELO_BENCH_WORKLOAD_H_
#define VARNELO_BENCH_WORKLOAD_H_

#include <string>
#include <vector>

namespace varnelo::bench {

// A generated folder kept as a pattern. Each run gets a fresh folder whose
// files are hard links to the pattern's: making and removing one writes no
// file data, and every program meets the same files.
struct Pattern {
  struct Item {
    std::string source;  // below the pattern's root
    std::string target;  // below the run's folder
  };
  std::string root;
  std::vector<std::string> folders;  // below the run's folder, parents first
  std::vector<Item> files;
};

// `count` files of 1 to 4 KiB directly in `root`, most with one of the
// generated extensions, some without one, changed last in the years 2005
// to 2025. Always the same names, sizes and times.
Pattern MakeSmallFiles(const std::string& root, int count);

// `count` files spread over `leaf_folders` folders three levels deep.
Pattern MakeTree(const std::string& root, int count, int leaf_folders);

// `count` JPEG and PNG pictures of flat colours, of `distinct` sizes from
// `smallest` to `largest` megapixels (pictures of one size share one file).
Pattern MakePictures(const std::string& root, int count, int distinct, double smallest,
                     double largest);

// `count` files of `bytes` each, sparse but for their first block.
Pattern MakeLargeFiles(const std::string& root, int count, long long bytes);

// Makes `folder` hold the pattern's folders and its first `file_count` files.
void Populate(const Pattern& pattern, const std::string& folder, int file_count);

// Removes `path` and all below it; answers how many files (not folders) it held.
long RemoveTree(const std::string& path);

// The (device, inode) identity of every file below `path`, sorted.
std::vector<std::pair<unsigned long, unsigned long>> FileIdentities(const std::string& path);

void MakeFolder(const std::string& path);

}  // namespace varnelo::bench

#endif  // VARNELO_BENCH_WORKLOAD_H_
