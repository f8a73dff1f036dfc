#include "commands/sort_by_year.h"

#include <climits>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>

#include "commands/commands.h"
#include "filesystem/failure.h"
#include "filesystem/names.h"

namespace varnelo {

int YearNumber(std::string_view text) {
  size_t i = text.find_first_not_of(" \t");
  int number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    int digit = text[i] - '0';
    number = number > (INT_MAX - digit) / 10 ? INT_MAX : number * 10 + digit;
  }
  return number;
}

namespace {

// The C library's local time, under the name each system gives it.
bool LocalTime(time_t time, struct tm& local) {
#ifdef _WIN32
  // Windows' C library tells no local time before 1970 nor after 3000. Every
  // 400 years the calendar repeats itself, weekdays and leap days alike: the
  // time is told as the one in the first such span after 1970, and the year
  // moved back by the spans taken off.
  constexpr int64_t k400Years = 12622780800;
  if (time < INT64_MIN + k400Years) return false;
  int64_t spans = time / k400Years - (time % k400Years < 0 ? 1 : 0);
  time_t within = static_cast<time_t>(time - spans * k400Years);
  if (localtime_s(&local, &within) != 0) return false;
  int64_t year = local.tm_year + 400 * spans;
  if (year < INT_MIN || year > INT_MAX) return false;
  local.tm_year = static_cast<int>(year);
  return true;
#else
  return localtime_r(&time, &local) != nullptr;
#endif
}

// The date text of a time: the local date with its year in full first, then
// the time of day, so that the text begins with the year the file is from.
// A date before the year 1, or too late for its year to be read back as a
// number, has no folder.
std::string DateText(const struct timespec& time) {
  struct tm local = {};
  if (!LocalTime(time.tv_sec, local) || local.tm_year < 1 - 1900 ||
      local.tm_year > INT_MAX - 1900) {
    throw Failure(kOverflow, "no year for the date " + std::to_string(time.tv_sec));
  }
  std::string text = std::to_string(local.tm_year + 1900);
  for (auto [separator, number] : {std::pair{'-', local.tm_mon + 1},
                                   {'-', local.tm_mday},
                                   {' ', local.tm_hour},
                                   {':', local.tm_min},
                                   {':', local.tm_sec}}) {
    char two_digits[] = {separator, static_cast<char>('0' + number / 10),
                         static_cast<char>('0' + number % 10)};
    text.append(two_digits, 3);
  }
  return text;
}

// The year folder, named from the scratch box that holds the date text.
std::string YearFolder(CommandRun& run) {
  return run.lj + kPathSeparator + std::to_string(YearNumber(run.host.ScratchText())) + "年";
}

void SortByYear(CommandRun& run) {
  FileOperations& fs = run.fs;
  int done = 0;
  for (const File& file : run.folder->Files()) {
    run.Progress(done++, 0, file.Path());
    if (file.attributes & (kHidden | kSystem)) continue;
    run.UnlessGone(file.Path(), [&] {
      run.host.SetScratchText(DateText(fs.GetFile(file.Path()).date_last_modified));
      const std::string folder = YearFolder(run);
      // Asked for folders only: a plain file bearing the folder's name makes
      // the creation fail and ends the command there.
      if (fs.Dir(folder + kPathSeparator, kDirectory).empty()) fs.MakeFolder(folder);
      fs.MoveInto(file.Path(), folder, std::string(NameOf(file.Path())));
    });
  }
}

}  // namespace

extern const Command kSortByYear = {
    .name = "year",
    .prompt = "确认按最后修改年份分类？",
    .reported_number = kPathNotFound,
    .most_files = 0,
    .opens_folder_first = true,
    .operation = &SortByYear,
};

}  // namespace varnelo
