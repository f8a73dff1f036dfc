#ifndef VARNELO_BENCH_RUNNER_H_
#define VARNELO_BENCH_RUNNER_H_

#include <string>
#include <vector>

#include "bench/workload.h"

namespace varnelo::bench {

// A program that does a job on a folder: `argv` followed by the job's name
// (for the driver, the command's) and the folder.
struct Program {
  std::string label;
  std::vector<std::string> argv;
  bool is_varnelo = false;
  std::vector<std::string> options = {};  // after the folder
  const char* must_print = nullptr;       // what its output holds where it did its job
  bool leaves_folder = false;             // it undoes its job, or only previews it
};

// One case: the same job done by each program on fresh copies of one folder.
struct Case {
  std::string label;
  std::string job;  // extension, type, year, flatten or resolution
  const Pattern* pattern;
  int files;
  double target = 0;            // the ratio to the floor not to be passed; 0: none
  bool keeps_identity = false;  // whether every file must keep its inode (no byte copied)
};

// What one program did in one case, over all runs.
struct Measured {
  std::string label;
  bool is_varnelo = false;
  std::vector<double> seconds;   // per run
  std::vector<double> startups;  // per run, on an empty folder
  long peak_kib = 0;
  std::string problem;  // the first thing it did wrong; empty when none

  double Startup() const;
  double MedianWork() const;
};

struct CaseResult {
  Case setup;
  std::vector<Measured> programs;  // the floor first

  // The program's median work over the floor's, both measured in the same
  // runs; not a number when the floor's work never rose above the noise.
  double RatioToFloor(const Measured& program) const;
  // Whether the floor's work stands clear of the noise of a program's
  // start-up, so that a ratio to it says something.
  bool Judgeable() const;
  const Measured* Varnelo() const;
};

// Runs every program `runs` times on fresh copies in `scratch`, one program
// after the other within each run, so that a passing load weighs on all.
CaseResult RunCase(const Case& setup, const std::vector<Program>& programs, int runs,
                   const std::string& scratch);

}  // namespace varnelo::bench

#endif  // VARNELO_BENCH_RUNNER_H_
