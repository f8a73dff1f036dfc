#include "bench/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bench/measure.h"

namespace varnelo::bench {
namespace {

std::string Verdict(const CaseResult& result, const Measured& program) {
  if (!program.is_varnelo) return {};
  std::string verdict;
  if (result.setup.target > 0 && !result.Judgeable()) {
    verdict = "not judged: the floor's work is within start-up noise";
  } else if (result.setup.target > 0) {
    double ratio = result.RatioToFloor(program);
    char text[48];
    std::snprintf(text, sizeof text, "%s (target %.2f)",
                  std::isnan(ratio)              ? "unsure"
                  : ratio <= result.setup.target ? "ok"
                                                 : "MISS",
                  result.setup.target);
    verdict = text;
  }
  if (result.setup.keeps_identity && program.problem.empty()) verdict += ", no byte copied";
  if (result.setup.files >= kPeakCheckFiles) {
    verdict += program.peak_kib < kPeakTargetKib ? ", memory ok" : ", MEMORY over 48 MiB";
  }
  return verdict;
}

void PrintSamples(const Measured& program) {
  std::printf("  %-8s runs ms:", "");
  for (double seconds : program.seconds) std::printf(" %.1f", seconds * 1e3);
  std::printf("; start-ups ms:");
  for (double seconds : program.startups) std::printf(" %.1f", seconds * 1e3);
  std::printf("\n");
}

}  // namespace

void PrintTableHead() {
  std::printf("%-10s %10s %9s %12s %9s %7s\n", "  program", "median ms", "start ms", "files/s",
              "peak MiB", "ratio");
}

void PrintCase(const CaseResult& result, bool samples) {
  std::printf("%s\n", result.setup.label.c_str());
  for (const Measured& program : result.programs) {
    double work = program.MedianWork();
    std::printf("  %-8s %10.1f %9.1f %12.0f %9.1f %7.2f  %s\n", program.label.c_str(),
                Median(program.seconds) * 1e3, program.Startup() * 1e3,
                work > 0 ? result.setup.files / work : 0.0, program.peak_kib / 1024.0,
                result.RatioToFloor(program), Verdict(result, program).c_str());
    if (samples) PrintSamples(program);
    if (!program.problem.empty()) {
      std::printf("  %-8s FAILED: %s\n", program.label.c_str(), program.problem.c_str());
    }
  }
  std::fflush(stdout);
}

void PrintSkipped(const std::string& label, const std::string& why) {
  std::printf("%s\n  skipped: %s\n", label.c_str(), why.c_str());
  std::fflush(stdout);
}

void PrintGrowth(const std::vector<Growth>& growth) {
  if (growth.empty()) return;
  std::printf("\ngrowth: µs a file beyond start-up, varnelo (floor)\n");
  for (const Growth& sort : growth) {
    std::printf("  %-10s", sort.job.c_str());
    for (const CaseResult& size : sort.sizes) {
      const Measured& floor = size.programs.front();
      const Measured* ours = size.Varnelo();
      std::printf("  %6d: %6.1f (%5.1f)", size.setup.files,
                  ours->MedianWork() / size.setup.files * 1e6,
                  floor.MedianWork() / size.setup.files * 1e6);
    }
    // The volume's own cost a file grows with the folder (its index deepens);
    // what counts is whether ours grows beyond that.
    auto per_file = [](const CaseResult& size, const Measured& program) {
      return program.MedianWork() / size.setup.files;
    };
    const CaseResult& small = sort.sizes.front();
    const CaseResult& large = sort.sizes.back();
    double ours = per_file(large, *large.Varnelo()) / per_file(small, *small.Varnelo());
    double floor =
        per_file(large, large.programs.front()) / per_file(small, small.programs.front());
    std::printf("   largest/smallest %.2f (%.2f) %s\n", ours, floor,
                ours < 1.5 * std::max(floor, 1.0) ? "flat" : "GROWS");
  }
  std::fflush(stdout);
}

void PrintPictureTiming(const PictureTiming& timing) {
  if (timing.pictures == 0) return;
  std::printf(
      "\npictures, %d of %.1f to %.1f megapixels: header read %.1f µs a picture, full decode %.1f "
      "ms a picture (%.0f times the header read)\n",
      timing.pictures, timing.smallest_megapixels, timing.largest_megapixels,
      timing.header_seconds * 1e6, timing.decode_seconds * 1e3,
      timing.decode_seconds / timing.header_seconds);
  std::fflush(stdout);
}

void PrintVerdict(const std::vector<CaseResult>& results) {
  double worst = 0;
  std::string where = "no case large enough to judge";
  for (const CaseResult& result : results) {
    const Measured* ours = result.Varnelo();
    if (ours == nullptr || result.setup.target <= 0 || !result.Judgeable()) continue;
    double ratio = result.RatioToFloor(*ours);
    if (ratio > worst) {  // a ratio lost in the noise is no verdict
      worst = ratio;
      where = result.setup.label;
    }
  }
  std::printf("\nbench: worst ratio to floor %.2f (%s)\n", worst, where.c_str());
}

}  // namespace varnelo::bench
