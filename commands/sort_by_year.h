#ifndef VARNELO_COMMANDS_SORT_BY_YEAR_H_
#define VARNELO_COMMANDS_SORT_BY_YEAR_H_

#include <string_view>

namespace varnelo {

// The value of a year text read leniently: blanks skipped, then digits up to
// the first other character; 0 when there are none, INT_MAX when they are
// too many for an int. Never fails.
int YearNumber(std::string_view text);

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_SORT_BY_YEAR_H_
