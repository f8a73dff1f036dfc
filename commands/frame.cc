#include "commands/frame.h"

#include <new>
#include <utility>

#include "filesystem/failure.h"

namespace varnelo {
namespace {

constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

}  // namespace

void RunCommand(const Command& command, Host& host, FileSystem* fs) {
  if (!host.Confirm(command.prompt, kConfirmTitle)) return;
  int failure_number = 0;
  try {
    std::string lj = host.DropBoxText();
    FileOperations operations(fs, lj);
    operations.SweepLeftovers();
    CommandRun run{host, operations, std::move(lj), std::nullopt};
    if (command.opens_folder_first) run.folder = operations.GetFolder(run.lj);
    command.operation(run);
    host.Report(kCompletedText);
  } catch (const Failure& failure) {
    failure_number = failure.number();
  } catch (const std::bad_alloc&) {
    failure_number = kOutOfMemory;
  } catch (const std::exception&) {
    failure_number = kInternalError;
  }
  if (failure_number == command.reported_number) host.Report(kCheckPathText);
}

}  // namespace varnelo
