#include "commands/frame.h"

#include <new>
#include <optional>
#include <utility>

#include "filesystem/failure.h"
#include "filesystem/names.h"

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

std::string Reason(const Command& command, const Stop& stop) {
  if (stop.number == kDiskFull) return kDiskFullText;
  if (stop.number == kPermissionDenied) return kNoPermissionText;
  // Only the commands that count their files stop at a count.
  if ((stop.number == kOverflow || stop.number == kSubscriptOutOfRange) && command.most_files > 0) {
    return Filled(kTooManyFilesText, std::to_string(command.most_files));
  }
  std::string_view name = NameOf(stop.path);
  for (auto [number, text] : kNamedReasons) {
    if (number == stop.number && !name.empty()) return Filled(text, name);
  }
  return Filled(kFailureNumberText, std::to_string(stop.number));
}

std::string NotCompletedText(const Command& command, const Stop& stop, int moved) {
  std::string text(kNotCompletedText);
  text.append("\n").append(Reason(command, stop));
  if (moved > 0) text.append("\n").append(Filled(kMovedText, std::to_string(moved)));
  return text;
}

}  // namespace

void RunCommand(const Command& command, Host& host, FileSystem* fs) {
  if (!host.Confirm(command.prompt, kConfirmTitle)) return;
  std::optional<Stop> stop;
  int moved = 0;
  try {
    std::string lj = host.DropBoxText();
    FileOperations operations(fs, lj);
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
  } catch (const Failure& failure) {
    stop = Stop{failure.number(), failure.path()};
  } catch (const std::bad_alloc&) {
    stop = Stop{kOutOfMemory, ""};
  } catch (const std::exception&) {
    stop = Stop{kInternalError, ""};
  }
  if (!stop) {
    host.Report(kCompletedText);
  } else if (stop->number == command.reported_number) {
    host.Report(kCheckPathText);
  } else {
    host.Report(NotCompletedText(command, *stop, moved));
  }
}

}  // namespace varnelo
