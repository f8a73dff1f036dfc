#include "commands/frame.h"

#include <new>
#include <optional>
#include <utility>

#include "commands/heap.h"
#include "filesystem/failure.h"
#include "filesystem/names.h"
#include "filesystem/overlay_file_system.h"
#include "filesystem/undo.h"

namespace varnelo {
namespace {

constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

// The reasons told with the name of the file they concern; where no name is
// known, the general reason is told instead.
constexpr std::pair<int, const char*> kNamedReasons[] = {
    {kInvalidPicture, kUnreadablePictureText},
    {kPathFileAccessError, kNameTakenText},
    {kFileAlreadyExists, kNameTakenText},
    {kFileNotFound, kChangedMeanwhileText},
};

// What ended a run early.
struct Stop {
  int number;
  std::string path;  // the file it concerns, or empty
};

std::string Filled(std::string_view text, std::string_view value) {
  size_t at = text.find('%');
  return std::string(text.substr(0, at)).append(value).append(text.substr(at + 1));
}

std::string Reason(int most_files, const Stop& stop) {
  if (stop.number == kDiskFull) return kDiskFullText;
  if (stop.number == kPermissionDenied) return kNoPermissionText;
  // Only the commands that count their files stop at a count.
  if ((stop.number == kOverflow || stop.number == kSubscriptOutOfRange) && most_files > 0) {
    return Filled(kTooManyFilesText, std::to_string(most_files));
  }
  std::string_view name = NameOf(stop.path);
  for (auto [number, text] : kNamedReasons) {
    if (number == stop.number && !name.empty()) return Filled(text, name);
  }
  return Filled(kFailureNumberText, std::to_string(stop.number));
}

std::string NotCompletedText(int most_files, const Stop& stop, int moved) {
  std::string text(kNotCompletedText);
  text.append("\n").append(Reason(most_files, stop));
  if (moved > 0) text.append("\n").append(Filled(kMovedText, std::to_string(moved)));
  return text;
}

// Does `work`, and answers what stopped it, if anything did.
template <typename Work>
std::optional<Stop> Attempt(Work&& work) {
  try {
    work();
  } catch (const Failure& failure) {
    return Stop{failure.number(), failure.path()};
  } catch (const std::bad_alloc&) {
    return Stop{kOutOfMemory, ""};
  } catch (const std::exception&) {
    return Stop{kInternalError, ""};
  }
  return std::nullopt;
}

// Where a run keeps what it reads of files, or takes it from.
struct Readings {
  KeptReadings* keep_in = nullptr;
  KeptReadings* use_from = nullptr;
};

// The command's own work, from the reading of the path to its last change;
// `moved` is how many files it moved, however it ended.
std::optional<Stop> Work(const Command& command, Host& host, FileSystem* fs, int& moved,
                         Readings readings = {}) {
  return Attempt([&] {
    std::string lj = host.DropBoxText();
    FileOperations operations(fs, lj);
    operations.KeepReadingsIn(readings.keep_in);
    operations.UseReadingsFrom(readings.use_from);
    // Taken however the run ends: a stopped run tells what it has changed.
    struct Tally {
      const FileOperations& fs;
      int& moved;
      ~Tally() { moved = fs.moved(); }
    } tally{operations, moved};
    operations.SweepLeftovers();
    CommandRun run{host, operations, std::move(lj), std::nullopt};
    if (command.opens_folder_first) run.folder = operations.GetFolder(run.lj);
    command.operation(run);
  });
}

// `path` as seen from the run's `folder`, in the system's own separators.
std::string_view Relative(std::string_view path, std::string_view folder) {
  if (folder.empty() || path.size() <= folder.size() || !path.starts_with(folder)) return path;
  if (IsPathSeparator(folder.back())) return path.substr(folder.size());  // a root
  if (IsPathSeparator(path[folder.size()])) return path.substr(folder.size() + 1);
  return path;
}

std::string Summary(const Command& command, int files, int made, int removed) {
  if (files == 0) return kNothingToMoveText;
  const bool flattens = command.tells_folders_removed;
  std::string text = Filled(flattens ? kFlattenPreviewText : kPreviewText, std::to_string(files));
  return Filled(text, std::to_string(flattens ? removed : made));
}

}  // namespace

std::optional<RunRecord> Simulate(const Command& command, Host& host, FileSystem* fs,
                                  size_t most_placed, KeptReadings* kept) {
  OverlayFileSystem overlay(fs);
  RunRecord record;
  RecordingFileSystem recording(&overlay, record, false, most_placed);
  int moved = 0;
  if (Work(command, host, &recording, moved, {kept, nullptr})) return std::nullopt;
  return record;
}

Preview PreviewOf(const Command& command, const RunRecord& record) {
  Preview preview;
  int files = 0, made = 0, removed = 0;
  for (const Change& change : record.changes) {
    if (change.settled) continue;
    if (change.kind == Change::Kind::kFolderMade) ++made;
    if (change.kind == Change::Kind::kFolderRemoved) ++removed;
    if (change.kind != Change::Kind::kFilePlaced) continue;
    if (files < kMostPreviewLines) {
      preview.details.append(Relative(record.OldPathOf(change), record.folder))
          .append(kMoveArrow)
          .append(Relative(record.PathOf(change), record.folder))
          .append("\n");
    }
    ++files;
  }
  files += record.placed_untold;
  if (files > kMostPreviewLines) preview.details.append("……\n");
  preview.summary = Summary(command, files, made, removed);
  return preview;
}

void RunCommand(const Command& command, Host& host, FileSystem* fs, History* history) {
  PrepareHeapForRuns();
  // What the preview reads of the files (the pictures' sizes) serves the
  // run it confirms, for every file unchanged by then.
  KeptReadings kept;
  auto preview = [&]() -> std::optional<Preview> {
    std::optional<RunRecord> simulated = Simulate(command, host, fs, kMostPreviewLines, &kept);
    if (!simulated) return std::nullopt;
    return PreviewOf(command, *simulated);
  };
  if (!host.ConfirmRun(command.prompt, kConfirmTitle, preview)) return;
  int moved = 0;
  RunRecord record;
  std::optional<Stop> stop;
  {
    // Complete only once gone: what tells the files apart may be looked at
    // while the run goes on.
    RecordingFileSystem recording(fs, record, history != nullptr);
    stop = Work(command, host, history ? &recording : fs, moved, {nullptr, &kept});
  }
  // Kept however the run ended, so that Ctrl+Z undoes what a stopped run did.
  const bool undoable = history != nullptr && history->Keep(std::move(record));
  if (stop && stop->number == command.reported_number) return host.Report(kCheckPathText);
  std::string text = stop ? NotCompletedText(command.most_files, *stop, moved) : kCompletedText;
  if (!undoable) return host.Report(text);
  if (host.ReportUndoable(text)) RunUndo(*history->Latest(), host, fs);
}

void RunUndo(RunRecord& record, Host& host, FileSystem* fs) {
  int stayed = 0;
  std::optional<Stop> stop = Attempt([&] {
    stayed = Undo(record, fs, [&](int done, int total, const std::string& item) {
      host.Progress(done, total, item);
    });
  });
  if (stop) return host.Report(NotCompletedText(0, *stop, 0));
  host.Report(stayed == 0 ? std::string(kUndoneText)
                          : Filled(kUndoneWithStayedText, std::to_string(stayed)));
}

void UndoLatest(History& history, Host& host, FileSystem* fs) {
  RunRecord* latest = history.Latest();
  if (latest == nullptr) return host.Report(kNothingToUndoText);
  if (host.Confirm(kUndoPrompt, kConfirmTitle)) RunUndo(*latest, host, fs);
}

}  // namespace varnelo
