#include "bench/runner.h"

#include <dirent.h>

#include <algorithm>
#include <cmath>

#include "bench/measure.h"

namespace varnelo::bench {
namespace {

constexpr char kCompleted[] = "操作已完成!!";

// The files left directly in `folder`: every program doing the same job on
// the same folder leaves the same number.
long FilesLeftInPlace(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return -1;
  long files = 0;
  while (struct dirent* d = readdir(dir)) files += d->d_type == DT_REG;
  closedir(dir);
  return files;
}

std::vector<std::string> Arguments(const Program& program, const Case& setup,
                                   const std::string& folder) {
  std::vector<std::string> argv = program.argv;
  argv.push_back(setup.job);
  argv.push_back(folder);
  argv.insert(argv.end(), program.options.begin(), program.options.end());
  return argv;
}

std::string Failed(const Program& program, const Sample& sample) {
  if (sample.exit_status != 0) {
    return "ended with status " + std::to_string(sample.exit_status) + ": " + sample.output;
  }
  if (program.is_varnelo && sample.output.find(kCompleted) == std::string::npos) {
    return "did not complete: " + sample.output;
  }
  if (program.must_print != nullptr &&
      sample.output.find(program.must_print) == std::string::npos) {
    return "did not print " + std::string(program.must_print) + ": " + sample.output;
  }
  return {};
}

struct Outcome {
  Sample sample;
  std::string problem;
  long left_in_place = 0;
};

// One timed run on a fresh copy, checked: it completed, lost no file, and
// where asked kept every file's identity.
Outcome RunOnce(const Case& setup, const Program& program, const std::string& folder) {
  Populate(*setup.pattern, folder, setup.files);
  SettleVolume(folder);
  Outcome outcome{RunProgram(Arguments(program, setup, folder)), {}, 0};
  outcome.problem = Failed(program, outcome.sample);
  outcome.left_in_place = FilesLeftInPlace(folder);
  if (setup.keeps_identity && outcome.problem.empty() &&
      FileIdentities(folder) != FileIdentities(setup.pattern->root)) {
    outcome.problem = "copied file data: a file has a new identity";
  }
  long files = RemoveTree(folder);
  if (outcome.problem.empty() && files != setup.files) {
    outcome.problem =
        "left " + std::to_string(files) + " of " + std::to_string(setup.files) + " files";
  }
  return outcome;
}

double StartupOnce(const Case& setup, const Program& program, const std::string& folder) {
  MakeFolder(folder);
  Sample sample = RunProgram(Arguments(program, setup, folder));
  RemoveTree(folder);
  return sample.seconds;
}

}  // namespace

double Measured::Startup() const { return Median(startups); }

double Measured::MedianWork() const { return Median(seconds) - Startup(); }

double CaseResult::RatioToFloor(const Measured& program) const {
  // Medians first: a run slowed by a passing load then weighs on neither.
  double floor = programs.front().MedianWork();
  return floor > 0 ? std::max(program.MedianWork(), 0.0) / floor : std::nan("");
}

bool CaseResult::Judgeable() const {
  // A start-up varies by a few milliseconds from run to run.
  constexpr double kLeastWorkSeconds = 0.005;
  return programs.front().MedianWork() >= kLeastWorkSeconds;
}

const Measured* CaseResult::Varnelo() const {
  auto it = std::find_if(programs.begin(), programs.end(),
                         [](const Measured& m) { return m.is_varnelo; });
  return it == programs.end() ? nullptr : &*it;
}

CaseResult RunCase(const Case& setup, const std::vector<Program>& programs, int runs,
                   const std::string& scratch) {
  CaseResult result{setup, {}};
  for (const Program& program : programs) {
    result.programs.push_back({program.label, program.is_varnelo, {}, {}, 0, {}});
  }
  std::string folder = scratch + "/run";
  for (int run = 0; run < runs; ++run) {
    // Each run starts with another program, so that none always follows the same one.
    std::vector<Outcome> outcomes(programs.size());
    for (size_t k = 0; k < programs.size(); ++k) {
      size_t p = (run + k) % programs.size();
      // A single run's start-up would weigh a cold start on the whole result.
      for (int i = runs < 3 ? 3 : 1; i > 0; --i) {
        result.programs[p].startups.push_back(StartupOnce(setup, programs[p], folder));
      }
      outcomes[p] = RunOnce(setup, programs[p], folder);
    }
    for (size_t p = 0; p < programs.size(); ++p) {
      Outcome& outcome = outcomes[p];
      if (outcome.problem.empty() && !programs[p].leaves_folder &&
          outcome.left_in_place != outcomes[0].left_in_place) {
        outcome.problem = "left " + std::to_string(outcome.left_in_place) +
                          " files in place where the floor left " +
                          std::to_string(outcomes[0].left_in_place);
      }
      Measured& measured = result.programs[p];
      if (measured.problem.empty()) measured.problem = outcome.problem;
      measured.seconds.push_back(outcome.sample.seconds);
      measured.peak_kib = std::max(measured.peak_kib, outcome.sample.peak_kib);
    }
  }
  return result;
}

}  // namespace varnelo::bench
