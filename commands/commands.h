#ifndef VARNELO_COMMANDS_COMMANDS_H_
#define VARNELO_COMMANDS_COMMANDS_H_

#include <span>
#include <string_view>

#include "commands/frame.h"

namespace varnelo {

// The name of the list file that flattening keeps in the folder while it runs.
inline constexpr char kListFileName[] = "579978.txt";

extern const Command kSortByExtension;
extern const Command kFlattenToRoot;
extern const Command kSortByFileType;
extern const Command kSortByYear;
extern const Command kSortByResolution;

// Every command, in the order of the window's buttons.
std::span<const Command* const> AllCommands();

// The command the driver calls `name`, or nullptr.
const Command* FindCommand(std::string_view name);

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_COMMANDS_H_
