#include "commands/sort_by_year.h"

#include <climits>
#include <ctime>
#include <string>
#include <string_view>

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

const char* Century(int year_number) { return year_number > 50 ? "19" : "20"; }

namespace {

// The date text of a time: the local date with a two-digit year first, then
// the time of day, so its first two characters are the year in its century.
std::string DateText(const struct timespec& time) {
  struct tm local = {};
  localtime_r(&time.tv_sec, &local);
  char text[32];
  size_t length = std::strftime(text, sizeof text, "%y-%m-%d %H:%M:%S", &local);
  return std::string(text, length);
}

// The year text, read afresh from the scratch box that holds the date text.
std::string YearText(Host& host) { return host.ScratchText().substr(0, 2); }

std::string YearFolder(CommandRun& run, const char* century) {
  return run.lj + "/" + century + YearText(run.host) + "年";
}

void SortByYear(CommandRun& run) {
  FileOperations& fs = run.fs;
  int done = 0;
  for (const File& file : run.folder->Files()) {
    run.Progress(done++, 0, file.Path());
    if (file.attributes & (kHidden | kSystem)) continue;
    run.host.SetScratchText(DateText(fs.GetFile(file.Path()).date_last_modified));
    const std::string folder = YearFolder(run, Century(YearNumber(YearText(run.host))));
    // Asked for folders only: a plain file bearing the folder's name makes
    // the creation fail and ends the command there.
    if (fs.Dir(folder + "/", kDirectory).empty()) fs.MakeFolder(folder);
    fs.MoveInto(file.Path(), folder, std::string(NameOf(file.Path())));
  }
}

}  // namespace

extern const Command kSortByYear = {"year", "确认按最后修改年份分类？", kPathNotFound, true,
                                    &SortByYear};

}  // namespace varnelo
