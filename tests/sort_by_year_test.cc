#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands/commands.h"
#include "commands/sort_by_year.h"
#include "filesystem/names.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scripted_host.h"
#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

using testing::FaultyFileSystem;
using testing::Operation;
using testing::ScriptedHost;
using testing::TempFolder;
using Boxes = std::vector<std::string>;
using Tree = std::map<std::string, std::string>;

const Boxes kCompleted = {"请选择|确认按最后修改年份分类？", "|操作已完成!!"};
// The box of a run that stops, with the lines after its first.
Boxes Stopped(const std::string& lines) { return {kCompleted[0], "|操作未完成!!\n" + lines}; }

// Mid-year noon (UTC), so the year is the same in every time zone.
constexpr std::time_t k1950 = -616852800;
constexpr std::time_t k1998 = 897912000;
constexpr std::time_t k2007 = 1181908800;
constexpr std::time_t k2049 = 2507371200;
constexpr std::time_t k2051 = 2570443200;
constexpr std::time_t k2100 = 4116744000;
constexpr std::time_t k2007March15At0605 = 1173938709;  // UTC
constexpr std::time_t k1998LastEvening = 915134400;     // 1998-12-31 20:00 UTC

// The C library's local time zone, from TZ as both systems' libraries read
// it; none for the system's own.
void SetTimeZone(const std::optional<std::string>& tz) {
#ifdef _WIN32
  _putenv_s("TZ", tz ? tz->c_str() : "");
  _tzset();
#else
  if (tz) {
    setenv("TZ", tz->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
#endif
}

class SortByYearTest : public ::testing::Test {
 protected:
  // Eight hours ahead of UTC, so a date taken in UTC instead of local time shows.
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_tz_ = tz;
    SetTimeZone("CST-8");
  }
  void TearDown() override { SetTimeZone(saved_tz_); }

  Boxes Run(FileSystem* fs = FileSystem::Default()) {
    ScriptedHost host(root_.path());
    RunCommand(kSortByYear, host, fs);
    scratch_ = host.ScratchText();
    return host.boxes;
  }
  void PutFile(const std::string& name, std::time_t modified, const std::string& content = "") {
    testing::PutFile(root_ / name, content.empty() ? name : content);
    testing::SetModificationTime(root_ / name, modified);
  }
  Tree Contents() { return testing::Tree(root_.path()); }

  TempFolder root_;
  std::string scratch_;
  std::optional<std::string> saved_tz_;
};

TEST_F(SortByYearTest, SortsIntoOneFolderPerYearOfLocalTime) {
  PutFile("a.jpg", k1998);
  PutFile("b.txt", k2007);
  PutFile("c.txt", k2049);
  PutFile("d.txt", k2051);
  PutFile("e.txt", k1950);
  PutFile("f.txt", k1998LastEvening);
  PutFile("g.txt", k2007March15At0605);
  PutFile("b2.txt", k2100);
  testing::PutFile(root_ / "sub/h.txt", "h");
  const Tree sorted = {{"1998年", "/"},
                       {"1998年/a.jpg", "a.jpg"},
                       {"2007年", "/"},
                       {"2007年/b.txt", "b.txt"},
                       {"2007年/g.txt", "g.txt"},
                       {"2049年", "/"},
                       {"2049年/c.txt", "c.txt"},
                       {"2051年", "/"},
                       {"2051年/d.txt", "d.txt"},
                       {"1950年", "/"},
                       {"1950年/e.txt", "e.txt"},
                       {"1999年", "/"},
                       {"1999年/f.txt", "f.txt"},
                       {"2100年", "/"},
                       {"2100年/b2.txt", "b2.txt"},
                       {"sub", "/"},
                       {"sub/h.txt", "h"}};

  EXPECT_EQ(Run(), kCompleted);
  EXPECT_EQ(Contents(), sorted);
  EXPECT_EQ(scratch_, "2007-03-15 14:05:09") << "the date text of the last file, in local time";
  EXPECT_EQ(testing::ModificationTime(root_ / "2051年/d.txt"), k2051);

  EXPECT_EQ(Run(), kCompleted);
  EXPECT_EQ(Contents(), sorted) << "a second run moves nothing";
}

TEST_F(SortByYearTest, ReusesYearFoldersAndNeitherReplacesNorMovesHiddenFiles) {
  testing::MakeFolders(root_ / "1998年");
  PutFile("2007年/a.txt", k2007, "old");
  PutFile(".hidden", k2007);
  PutFile("a.txt", k2007, "new");
  PutFile("b.txt", k1998);

  EXPECT_EQ(Run(), kCompleted);
  EXPECT_EQ(Contents(), (Tree{{".hidden", ".hidden"},
                              {"1998年", "/"},
                              {"1998年/b.txt", "b.txt"},
                              {"2007年", "/"},
                              {"2007年/a.txt", "old"},
                              {"2007年/a (2).txt", "new"}}));
}

TEST_F(SortByYearTest, AFileBearingAYearFolderNameStopsTheCommandAtThatYear) {
  PutFile("1.txt", k1998);
  PutFile("2007年", k2007);
  PutFile("3.txt", k2007);

  EXPECT_EQ(Run(), Stopped("已有同名的文件：2007年\n已移动 1 个文件。"));
  EXPECT_EQ(
      Contents(),
      (Tree{{"1998年", "/"}, {"1998年/1.txt", "1.txt"}, {"2007年", "2007年"}, {"3.txt", "3.txt"}}));
}

TEST_F(SortByYearTest, AFailedMoveStopsThereAndTellsWhy) {
  PutFile("a.txt", k1998);
  PutFile("b.txt", k2007);
  FaultyFileSystem faulty;
  faulty.FailAt(Operation::kRename, 2, kPermissionDenied);

  EXPECT_EQ(Run(&faulty), Stopped("没有权限修改其中的文件或文件夹。\n已移动 1 个文件。"));
  EXPECT_EQ(
      Contents(),
      (Tree{{"1998年", "/"}, {"1998年/a.txt", "a.txt"}, {"2007年", "/"}, {"b.txt", "b.txt"}}));
}

// The disk, but with the modification times a test gives its files by name:
// the disk itself keeps no date before 1901.
class DatedFiles : public FileSystemWrapper {
 public:
  explicit DatedFiles(std::map<std::string, std::time_t> dates)
      : FileSystemWrapper(FileSystem::Default()), dates_(std::move(dates)) {}

  std::optional<EntryInfo> Inspect(const std::string& path) override {
    std::optional<EntryInfo> info = FileSystemWrapper::Inspect(path);
    auto date = dates_.find(std::string(NameOf(path)));
    if (info && date != dates_.end()) info->mtime = {date->second, 0};
    return info;
  }

 private:
  std::map<std::string, std::time_t> dates_;
};

TEST_F(SortByYearTest, NamesTheFolderAfterTheWholeYearOfAnyDate) {
  DatedFiles dated({{"a.txt", -2209015800},     // 1900-01-01 00:30 local
                    {"b.txt", -62135623800},    // 0001-01-01 00:30 local
                    {"c.txt", 327417652800}});  // 12345-06-15 12:00 local
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) testing::PutFile(root_ / name, name);

  EXPECT_EQ(Run(&dated), kCompleted);
  EXPECT_EQ(Contents(), (Tree{{"1900年", "/"},
                              {"1900年/a.txt", "a.txt"},
                              {"1年", "/"},
                              {"1年/b.txt", "b.txt"},
                              {"12345年", "/"},
                              {"12345年/c.txt", "c.txt"}}));
}

TEST_F(SortByYearTest, ADateBeforeTheFirstYearStopsTheCommandWithItsNumber) {
  DatedFiles dated({{"a.txt", -62135627400}});  // 0000-12-31 23:30 local
  testing::PutFile(root_ / "a.txt", "a");

  EXPECT_EQ(Run(&dated), Stopped("出错（错误号 6）。"));
  EXPECT_EQ(Contents(), (Tree{{"a.txt", "a"}}));
}

TEST(YearNumberTest, ReadsLenientlyAndNeverOverflows) {
  EXPECT_EQ(YearNumber(" 2007-03-15"), 2007);
  EXPECT_EQ(YearNumber("-1"), 0);
  EXPECT_EQ(YearNumber("123456789012"), INT_MAX);
}

}  // namespace
}  // namespace varnelo
