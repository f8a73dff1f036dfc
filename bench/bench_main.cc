// Measures every command against the rename floor and against the ways a
// user would do the same job without us, on generated folders, and prints
// one table.
//   varnelo-bench [--quick | --smoke] [--runs N] [--only TEXT] [--samples] [--work FOLDER]

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "bench/picture_header.h"
#include "bench/report.h"
#include "bench/runner.h"
#include "bench/workload.h"

namespace varnelo::bench {
namespace {

constexpr long long kMiB = 1024 * 1024;
// The sort by type refuses folders of more files, keeping ten to spare.
constexpr int kLargestTypeFolder = 32757;

// How large the generated folders are and how often each case runs.
struct Sizes {
  const char* mode;
  int runs;
  int sort_files;
  std::vector<int> growth_sizes;  // below sort_files, which is measured too
  int tree_files;
  int tree_folders;
  int pictures;
  int picture_sizes;
  double smallest_megapixels;
  double largest_megapixels;
  int decodes;
  int large_files;
  long long large_bytes;
  int small_case_runs;  // how many times as often the smallest cases run, at most
};

// The flatten counts its own list file among the files it finds, and twice
// that count must stay within 16 bits: 16382 files is the most it takes.
const Sizes kFull = {"full", 7,  32767, {1000, 10000}, 16382, 1000, 500, 24, 2,
                     48,     20, 20,    200 * kMiB,    6};
const Sizes kQuick = {"quick", 1, 4000, {1000}, 2000, 125, 60, 8, 2, 12, 5, 20, 200 * kMiB, 6};
// Proves the whole chain works in seconds; its numbers mean nothing.
const Sizes kSmoke = {"smoke", 1, 40, {20}, 40, 8, 6, 2, 0.05, 0.2, 2, 2, kMiB, 1};

struct Settings : Sizes {
  std::string only;      // measure only the cases whose label holds this
  bool samples = false;  // print every run's time
  std::string work = VARNELO_BENCH_WORK;
};

std::optional<Settings> ParseArguments(int argc, char** argv) {
  Settings settings{kFull, {}, false, VARNELO_BENCH_WORK};
  std::optional<int> runs;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    bool has_value = i + 1 < argc;
    if (option == "--quick" || option == "--smoke") {
      static_cast<Sizes&>(settings) = option == "--quick" ? kQuick : kSmoke;
    } else if (option == "--runs" && has_value) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (option == "--only" && has_value) {
      settings.only = argv[++i];
    } else if (option == "--samples") {
      settings.samples = true;
    } else if (option == "--work" && has_value) {
      settings.work = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: varnelo-bench [--quick | --smoke] [--runs N] [--only TEXT] [--samples] "
                   "[--work FOLDER]\n");
      return std::nullopt;
    }
  }
  if (runs) settings.runs = *runs;
  return settings;
}

std::string Python() {
  return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

// The peers have no way to measure pictures, so the resolution sort has none.
std::vector<Program> Programs(const std::string& job, bool with_peers) {
  std::vector<Program> programs = {{"floor", {VARNELO_FLOOR}, false},
                                   {"varnelo", {VARNELO_DRIVE}, true, {"--no-preview"}}};
  if (with_peers && job != "resolution") {
    programs.push_back({"python", {Python(), VARNELO_BENCH_SOURCE "/peer_sort.py"}, false});
    programs.push_back({"find", {"/bin/sh", VARNELO_BENCH_SOURCE "/peer_find.sh"}, false});
  }
  return programs;
}

// Ours (the command alone, as every case measures it), then ours recording
// its run for an undo (as every run in the window does), then recording and
// undoing it (as Ctrl+Z does), then ours only previewing it (the
// confirmation answered Cancel), then ours previewing it and running it as
// confirmed: the undo's cost is the difference of the third and the second.
// The run after a preview takes what the preview read of the files, so what
// a preview costs the user is the difference of the last and the first; the
// fourth, less the start-up, is the preview alone.
std::vector<Program> UndoPrograms() {
  return {{"floor", {VARNELO_FLOOR}, false},
          {"varnelo", {VARNELO_DRIVE}, true, {"--no-preview"}},
          {"recorded", {VARNELO_DRIVE}, false, {"--no-preview", "--record"}},
          {"+undo", {VARNELO_DRIVE}, false, {"--no-preview", "--undo"}, "撤销已完成!!", true},
          {"preview", {VARNELO_DRIVE}, false, {"--cancel"}, "preview\t", true},
          {"+preview", {VARNELO_DRIVE}, false, {}, "preview\t"}};
}

const Measured* Named(const CaseResult& result, const std::string& label) {
  for (const Measured& program : result.programs) {
    if (program.label == label) return &program;
  }
  return nullptr;
}

// What the record, the undo and the preview cost against the run's own
// work, with the most the undo and the preview may: the undo 1.25 times the
// recorded run, the preview a quarter of the run.
void PrintUndoAndPreviewCost(const CaseResult& result) {
  const Measured* run = Named(result, "varnelo");
  const Measured* recorded = Named(result, "recorded");
  const Measured* undone = Named(result, "+undo");
  const Measured* both = Named(result, "+preview");
  if (run == nullptr || recorded == nullptr || undone == nullptr || both == nullptr ||
      run->MedianWork() <= 0 || recorded->MedianWork() <= 0) {
    return;
  }
  std::printf("  the record adds %.1f ms (recorded less varnelo): %.2f of the run's work\n",
              (recorded->MedianWork() - run->MedianWork()) * 1e3,
              recorded->MedianWork() / run->MedianWork() - 1);
  auto judge = [&](const char* what, const char* how, double seconds, const Measured& against,
                   const char* whose, double most) {
    double share = seconds / against.MedianWork();
    const char* verdict = !result.Judgeable() ? "not judged" : share <= most ? "ok" : "MISS";
    std::printf("  %s %.1f ms (%s): %.2f of the %s work, %s (target %.2f)\n", what, seconds * 1e3,
                how, share, whose, verdict, most);
  };
  judge("the undo takes", "+undo less recorded", undone->MedianWork() - recorded->MedianWork(),
        *recorded, "recorded run's", 1.25);
  judge("the preview adds", "+preview less varnelo", both->MedianWork() - run->MedianWork(), *run,
        "run's", 0.25);
}

int SortSize(const std::string& job, int wanted) {
  return job == "type" ? std::min(wanted, kLargestTypeFolder) : wanted;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The best of a few header reads of one picture, so that a passing load
// does not count as the reading's cost.
double HeaderSeconds(const std::string& path, std::optional<PixelSize>& size) {
  double best = 1e9;
  for (int i = 0; i < 5; ++i) {
    auto start = std::chrono::steady_clock::now();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    size = ReadPictureHeader(fd);
    close(fd);
    best = std::min(best, Seconds(start));
  }
  return best;
}

// The header read and the full decode of `count` of the pictures, of sizes
// spread over the whole range.
PictureTiming TimePictures(const Pattern& pictures, int count) {
  std::vector<std::string> sources;
  for (const Pattern::Item& item : pictures.files) {
    if (std::find(sources.begin(), sources.end(), item.source) == sources.end()) {
      sources.push_back(item.source);
    }
  }
  QImageReader::setAllocationLimit(0);  // the largest pictures pass Qt's usual limit
  PictureTiming timing;
  timing.smallest_megapixels = 1e9;
  for (int i = 0; i < count; ++i) {
    std::string path = pictures.root + "/" + sources[i * sources.size() / count];
    std::optional<PixelSize> size;
    timing.header_seconds += HeaderSeconds(path, size);
    auto start = std::chrono::steady_clock::now();
    QImage decoded(QString::fromStdString(path));
    timing.decode_seconds += Seconds(start);
    if (!size || decoded.isNull()) continue;
    double megapixels = size->width * size->height / 1e6;
    timing.smallest_megapixels = std::min(timing.smallest_megapixels, megapixels);
    timing.largest_megapixels = std::max(timing.largest_megapixels, megapixels);
    ++timing.pictures;
  }
  timing.header_seconds /= count;
  timing.decode_seconds /= count;
  return timing;
}

// A case before its folder exists.
struct Planned {
  std::string label;
  std::string job;
  std::string pattern;  // small, tree, pictures or large
  int files;
  double target;
  bool keeps_identity = false;
  bool undo = false;  // measured with UndoPrograms
};

std::string Label(const std::string& job, int files, const std::string& detail = "") {
  return job + ", " + std::to_string(files) + " files" + detail;
}

class Bench {
 public:
  explicit Bench(Settings settings) : settings_(std::move(settings)) {}

  // Measures every planned case; false when a program did its job wrong.
  bool Run();

 private:
  std::vector<Planned> Plan() const;
  const Pattern& PatternNamed(const std::string& name);
  std::string WhySkipped(const Planned& planned) const;
  void Measure(const Planned& planned);
  void MeasureGrowth();
  void MeasurePictures();

  Settings settings_;
  std::map<std::string, Pattern> patterns_;
  std::vector<CaseResult> results_;
  bool failed_ = false;
};

std::vector<Planned> Bench::Plan() const {
  const Settings& s = settings_;
  std::vector<Planned> plan;
  for (const char* job : {"extension", "type", "year"}) {
    int files = SortSize(job, s.sort_files);
    plan.push_back({Label(job, files), job, "small", files, 1.10});
  }
  plan.push_back({Label("flatten", s.tree_files,
                        " in " + std::to_string(s.tree_folders) + " folders three deep"),
                  "flatten", "tree", s.tree_files, 1.25});
  plan.push_back(
      {Label("resolution", s.pictures, " (pictures)"), "resolution", "pictures", s.pictures, 1.25});
  plan.push_back(
      {Label("type", s.large_files, " of " + std::to_string(s.large_bytes / kMiB) + " MiB"), "type",
       "large", s.large_files, 1.5, true});
  // The undo and the preview of each sort, on the folders of its own case;
  // the pictures as many as the small files, since a few hundred renames
  // weigh less than the noise of a start-up.
  for (size_t i = 0, sorts = plan.size() - 1; i < sorts; ++i) {
    Planned undo = plan[i];
    if (undo.pattern == "pictures") {
      undo.files = s.sort_files;
      undo.label = Label(undo.job, undo.files, " (pictures)");
    }
    undo.label += ", undo and preview";
    undo.undo = true;
    plan.push_back(undo);
  }
  return plan;
}

const Pattern& Bench::PatternNamed(const std::string& name) {
  if (auto known = patterns_.find(name); known != patterns_.end()) return known->second;
  const Settings& s = settings_;
  std::string root = s.work + "/pattern-" + name;
  Pattern pattern;
  if (name == "small") {
    pattern = MakeSmallFiles(root, s.sort_files);
  } else if (name == "tree") {
    pattern = MakeTree(root, s.tree_files, s.tree_folders);
  } else if (name == "pictures") {
    pattern = MakePictures(root, std::max(s.pictures, s.sort_files), s.picture_sizes,
                           s.smallest_megapixels, s.largest_megapixels);
  } else {
    pattern = MakeLargeFiles(root, s.large_files, s.large_bytes);
  }
  return patterns_.emplace(name, std::move(pattern)).first->second;
}

std::string Bench::WhySkipped(const Planned& planned) const {
  // The large files are sparse; what stays free guards a volume that cannot leave holes.
  long long free_bytes = FreeBytes(settings_.work);
  if (planned.pattern == "large" && free_bytes < settings_.large_files * settings_.large_bytes) {
    return "only " + std::to_string(free_bytes / kMiB) + " MiB free where the files may need " +
           std::to_string(settings_.large_files * settings_.large_bytes / kMiB);
  }
  return {};
}

void Bench::Measure(const Planned& planned) {
  if (planned.label.find(settings_.only) == std::string::npos) return;
  if (std::string why = WhySkipped(planned); !why.empty()) {
    PrintSkipped(planned.label, why);
    return;
  }
  Case setup{planned.label, planned.job,    &PatternNamed(planned.pattern),
             planned.files, planned.target, planned.keeps_identity};
  // A few hundred renames weigh little beside a program's start-up: more runs
  // steady the median.
  int runs = settings_.runs * std::clamp(4000 / planned.files, 1, settings_.small_case_runs);
  std::vector<Program> programs = planned.undo ? UndoPrograms() : Programs(planned.job, true);
  results_.push_back(RunCase(setup, programs, runs, settings_.work));
  PrintCase(results_.back(), settings_.samples);
  if (planned.undo) PrintUndoAndPreviewCost(results_.back());
  for (const Measured& program : results_.back().programs) failed_ |= !program.problem.empty();
}

void Bench::MeasureGrowth() {
  if (std::string("growth").find(settings_.only) == std::string::npos) return;
  std::vector<Growth> growth;
  for (const char* job : {"extension", "type", "year"}) {
    Growth sort{job, {}};
    std::vector<int> sizes = settings_.growth_sizes;
    sizes.push_back(SortSize(job, settings_.sort_files));
    for (int files : sizes) {
      Case setup{Label(job, files), job, &PatternNamed("small"), files};
      sort.sizes.push_back(RunCase(setup, Programs(job, false), settings_.runs, settings_.work));
      for (const Measured& program : sort.sizes.back().programs) {
        failed_ |= !program.problem.empty();
      }
    }
    growth.push_back(std::move(sort));
  }
  PrintGrowth(growth);
}

void Bench::MeasurePictures() {
  if (patterns_.contains("pictures")) {
    PrintPictureTiming(TimePictures(patterns_.at("pictures"), settings_.decodes));
  }
}

bool Bench::Run() {
  double load[3] = {};
  getloadavg(load, 3);
  std::printf("varnelo bench (%s): median of %d runs a case; load average %.2f on %ld cores\n",
              settings_.mode, settings_.runs, load[0], sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("ratio: time beyond start-up (each program on an empty folder) over the floor's\n\n");
  RemoveTree(settings_.work);
  MakeFolder(settings_.work);
  PrintTableHead();
  for (const Planned& planned : Plan()) Measure(planned);
  MeasureGrowth();
  MeasurePictures();
  PrintVerdict(results_);
  RemoveTree(settings_.work);
  return !failed_;
}

}  // namespace
}  // namespace varnelo::bench

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  std::optional<varnelo::bench::Settings> settings = varnelo::bench::ParseArguments(argc, argv);
  if (!settings) return 2;
  return varnelo::bench::Bench(*settings).Run() ? 0 : 1;
}
