#ifndef VARNELO_BENCH_REPORT_H_
#define VARNELO_BENCH_REPORT_H_

#include <string>
#include <vector>

#include "bench/runner.h"

namespace varnelo::bench {

inline constexpr long kPeakTargetKib = 48 * 1024;
inline constexpr int kPeakCheckFiles = 32767;

void PrintTableHead();
// With `samples`, each run's time and each start-up beneath its program.
void PrintCase(const CaseResult& result, bool samples);
void PrintSkipped(const std::string& label, const std::string& why);

// Each sort's cost a file beyond start-up, at each folder size measured.
struct Growth {
  std::string job;
  std::vector<CaseResult> sizes;  // smallest first
};
void PrintGrowth(const std::vector<Growth>& growth);

// The per-picture cost of reading a header and of a full decode.
struct PictureTiming {
  int pictures = 0;
  double smallest_megapixels = 0;
  double largest_megapixels = 0;
  double header_seconds = 0;  // a picture, on average
  double decode_seconds = 0;  // a picture, on average
};
void PrintPictureTiming(const PictureTiming& timing);

// The closing line: the worst ratio of ours to the floor, and where; cases
// whose floor does too little to judge by are left out.
void PrintVerdict(const std::vector<CaseResult>& results);

}  // namespace varnelo::bench

#endif  // VARNELO_BENCH_REPORT_H_
