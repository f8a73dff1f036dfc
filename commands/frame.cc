#include "commands/frame.h"

#include <new>

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
    FileOperations ops(fs);
    CommandRun run{host, ops, host.DropBoxText(), std::nullopt};
    ops.BeginCommand(run.lj);
    if (command.opens_folder_first) run.folder = ops.GetFolder(run.lj);
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
