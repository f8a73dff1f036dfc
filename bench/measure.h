#ifndef VARNELO_BENCH_MEASURE_H_
#define VARNELO_BENCH_MEASURE_H_

#include <string>
#include <vector>

namespace varnelo::bench {

// One run of one program.
struct Sample {
  double seconds = 0;    // from its start to its end, as the caller waits for it
  long peak_kib = 0;     // the largest resident size of it or of any program it ran
  int exit_status = -1;  // -1 when it did not end by itself
  std::string output;    // what it wrote to its standard output and error
};

// Runs `argv` (the program's path first) to its end.
Sample RunProgram(const std::vector<std::string>& argv);

// The middle value; the mean of the two middle ones for an even count; 0 for none.
double Median(std::vector<double> values);

// Writes out what the volume holding `path` has not yet written, so that no
// run pays for the previous one's writing.
void SettleVolume(const std::string& path);

// The bytes free for an ordinary user on the volume holding `path`.
long long FreeBytes(const std::string& path);

}  // namespace varnelo::bench

#endif  // VARNELO_BENCH_MEASURE_H_
