#include "commands/commands.h"

#include <algorithm>

namespace varnelo {
namespace {

const Command* const kCommands[] = {
    &kSortByExtension, &kFlattenToRoot, &kSortByFileType, &kSortByYear, &kSortByResolution,
};

}  // namespace

std::span<const Command* const> AllCommands() { return kCommands; }

const Command* FindCommand(std::string_view name) {
  auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                         [&](const Command* c) { return name == c->name; });
  return it == std::end(kCommands) ? nullptr : *it;
}

}  // namespace varnelo
