#include "filesystem/file_operations.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#else
#include "filesystem/win32.h"
#endif

#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "filesystem/failure.h"
#include "filesystem/kept_readings.h"
#include "filesystem/names.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/temp_folder.h"

namespace varnelo {
namespace {

using testing::Exists;
using testing::FaultyFileSystem;
using testing::FileIdentity;
using testing::Operation;
using testing::PutFile;
using testing::ReadFile;
using testing::TempFolder;

int FailureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& failure) {
    return failure.number();
  }
  return 0;
}

std::vector<std::string> Listing(FileOperations& ops, const std::string& path, int mask) {
  return ops.DirEntries(path, mask);
}

class FileOperationsTest : public ::testing::Test {
 protected:
  TempFolder root_;
  FileOperations ops_{FileSystem::Default(), root_.path()};
};

TEST_F(FileOperationsTest, DirMasksFollowTheAttributeRules) {
  PutFile(root_ / "b.txt");
  PutFile(root_ / "A.txt");
  PutFile(root_ / ".hidden");
  testing::MakeFolders(root_ / "sub");
  testing::MakeFolders(root_ / ".git");

  EXPECT_EQ(Listing(ops_, root_.path() + "/", 0), (std::vector<std::string>{"A.txt", "b.txt"}));
  EXPECT_EQ(Listing(ops_, root_.path() + "/", kDirectory),
            (std::vector<std::string>{".", "..", "A.txt", "b.txt", "sub"}));
  EXPECT_EQ(Listing(ops_, root_.path() + "/", 23),
            (std::vector<std::string>{".", "..", ".git", ".hidden", "A.txt", "b.txt", "sub"}));
  EXPECT_EQ(ops_.Dir(root_ / ".hidden", 0), "");
  EXPECT_EQ(ops_.Dir(root_ / ".hidden", kHidden), ".hidden");
#ifndef _WIN32
  ASSERT_EQ(mkfifo((root_ / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(ops_.Dir(root_ / "pipe", 23), "") << "a FIFO is not a file";
#endif
}

TEST_F(FileOperationsTest, NamesAreFoundWithoutRegardToLetterCase) {
  testing::MakeFolders(root_ / "jpg");
  PutFile(root_ / "jpg/B.jpg");
  EXPECT_EQ(ops_.Dir(root_.path() + "//JPG/", kDirectory), ".");
  EXPECT_EQ(ops_.Dir(root_ / "JPG", kDirectory), "jpg");
  EXPECT_EQ(ops_.Dir(root_ / "JPG/b.JPG", 0), "B.jpg");
  EXPECT_EQ(ops_.Dir(root_ / "png/", kDirectory), "");
  EXPECT_EQ(FailureOf([&] { ops_.MakeFolder(root_ / "JPG"); }), kPathFileAccessError);
  EXPECT_EQ(FailureOf([&] { ops_.MakeFolder(root_ / "no/such"); }), kPathNotFound);
}

#ifndef _WIN32
// Only Linux folders hold names that differ in letter case alone.
TEST_F(FileOperationsTest, ExactNameWinsOverACaseVariant) {
  PutFile(root_ / "a.txt", "lower");
  PutFile(root_ / "A.TXT", "upper");
  EXPECT_EQ(ops_.Dir(root_ / "A.TXT", 0), "A.TXT");
  EXPECT_EQ(ops_.Dir(root_ / "a.txt", 0), "a.txt");
}
#endif

TEST_F(FileOperationsTest, MovingNeverReplacesAFile) {
  PutFile(root_ / "b.JPG", "new");
  PutFile(root_ / "jpg/B.jpg", "old");
  testing::SetModificationTime(root_ / "b.JPG", 1000000000);
  std::string placed = ops_.MoveInto(root_ / "b.JPG", root_ / "JPG", "b.JPG");
  EXPECT_EQ(placed, root_ / "jpg/b (2).JPG");
  EXPECT_EQ(ReadFile(root_ / "jpg/B.jpg"), "old");
  EXPECT_EQ(ReadFile(placed), "new");
  EXPECT_EQ(testing::ModificationTime(placed), 1000000000);
  EXPECT_FALSE(Exists(root_ / "b.JPG"));

  PutFile(root_ / "b.jpg", "third");
  FileOperations next_run(FileSystem::Default(), root_.path());
  EXPECT_EQ(next_run.MoveInto(root_ / "b.jpg", root_ / "jpg", "b.jpg"), root_ / "jpg/b (3).jpg");
}

TEST_F(FileOperationsTest, FreeNamesCountPastNamesTakenInAnyCase) {
  testing::MakeFolders(root_ / "d");
  PutFile(root_ / "d/x.txt");
  PutFile(root_ / "d/X (2).TXT");
  EXPECT_EQ(ops_.FreeName(root_ / "d", "x.txt"), "x (3).txt");
  EXPECT_EQ(ops_.FreeName(root_ / "d", "y.txt"), "y.txt");
}

TEST_F(FileOperationsTest, AMoveIsOneRenameOfTheSameFile) {
  PutFile(root_ / "a.jpg", "data");
  testing::MakeFolders(root_ / "jpg");
  auto identity = FileIdentity(root_ / "a.jpg");
  FaultyFileSystem counting;
  FileOperations ops(&counting, root_.path());
  std::string placed = ops.MoveInto(root_ / "a.jpg", root_ / "jpg", "a.jpg");
  EXPECT_EQ(FileIdentity(placed), identity);
  EXPECT_FALSE(Exists(root_ / "a.jpg"));
  EXPECT_EQ(counting.Calls(Operation::kRename), 1);
  EXPECT_EQ(counting.Calls(Operation::kCopyFile) + counting.Calls(Operation::kDeleteFile), 0);
}

TEST_F(FileOperationsTest, TwoNamesOfOneFileBecomeOneAndNothingIsPlacedOntoItself) {
  // What an interrupted run of a version that linked before it deleted left.
  PutFile(root_ / "a.jpg", "data");
  testing::MakeFolders(root_ / "jpg");
  testing::MakeHardLink(root_ / "a.jpg", root_ / "jpg/a.jpg");
  EXPECT_EQ(ops_.MoveInto(root_ / "a.jpg", root_ / "jpg", "a.jpg"), root_ / "jpg/a.jpg");
  EXPECT_FALSE(Exists(root_ / "a.jpg"));
  EXPECT_EQ(ReadFile(root_ / "jpg/a.jpg"), "data");

  PutFile(root_ / "b.txt", "b");
  FileOperations next_run(FileSystem::Default(), root_.path());
  EXPECT_EQ(next_run.MoveInto(root_ / "b.txt", root_.path() + kPathSeparator, "b.txt"),
            root_ / "b.txt");
  EXPECT_EQ(ReadFile(root_ / "b.txt"), "b");
}

TEST_F(FileOperationsTest, ANameTakenMeanwhileByTheSameFileIsNotDoubled) {
#ifdef _WIN32
  // Wine renames onto a second name of the same file as POSIX does: it
  // succeeds and does nothing. Windows refuses the name.
  if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
    GTEST_SKIP() << "Wine keeps both names of one file on a rename";
  }
#endif
  PutFile(root_ / "a.jpg", "data");
  testing::MakeFolders(root_ / "jpg");
  FileOperations ops(FileSystem::Default(), root_.path());
  ops.Files(root_.path());
  ops.Files(root_ / "jpg");
  // Another window's run makes the second name after this run has listed.
  testing::MakeHardLink(root_ / "a.jpg", root_ / "jpg/a.jpg");
  EXPECT_EQ(ops.MoveInto(root_ / "a.jpg", root_ / "jpg", "a.jpg"), root_ / "jpg/a.jpg");
  EXPECT_EQ(testing::Tree(root_.path()),
            (std::map<std::string, std::string>{{"jpg", "/"}, {"jpg/a.jpg", "data"}}));
}

TEST_F(FileOperationsTest, AcrossVolumesAWholeCopyIsNamedAndSyncedBeforeTheSourceGoes) {
  FaultyFileSystem faulty;
  FileOperations ops(&faulty, root_.path());
  PutFile(root_ / "a.jpg", std::string(300000, 'z'));
#ifndef _WIN32
  chmod((root_ / "a.jpg").c_str(), 0640);
#endif
  testing::SetModificationTime(root_ / "a.jpg", 1200000000);
  testing::MakeFolders(root_ / "jpg");
  auto identity = FileIdentity(root_ / "a.jpg");
  faulty.AnswerAt(Operation::kRename, 1, Outcome::kOtherVolume);

  std::string placed = ops.MoveInto(root_ / "a.jpg", root_ / "jpg", "a.jpg");
  EXPECT_NE(FileIdentity(placed), identity);
  EXPECT_FALSE(Exists(root_ / "a.jpg"));
  EXPECT_EQ(ReadFile(placed), std::string(300000, 'z'));
  EXPECT_EQ(testing::ModificationTime(placed), 1200000000);
#ifndef _WIN32
  struct stat info;
  lstat(placed.c_str(), &info);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
#endif
  EXPECT_EQ(testing::Tree(root_ / "jpg").size(), 1u) << "no temporary is left";
  EXPECT_EQ(faulty.Calls(Operation::kSyncFolder), 1);
}

TEST_F(FileOperationsTest, AFailedMoveLeavesTheFileInOnePlaceAndNoTemporary) {
  PutFile(root_ / "a.jpg", "data");
  testing::MakeFolders(root_ / "jpg");
  auto fails_with = [&](auto inject, int number) {
    FaultyFileSystem faulty;
    FileOperations ops(&faulty, root_.path());
    inject(faulty);
    EXPECT_EQ(FailureOf([&] { ops.MoveInto(root_ / "a.jpg", root_ / "jpg", "a.jpg"); }), number);
    EXPECT_EQ(ReadFile(root_ / "a.jpg"), "data");
    EXPECT_TRUE(testing::Tree(root_ / "jpg").empty());
  };
  fails_with([](FaultyFileSystem& fs) { fs.FailAt(Operation::kRename, 1, kDiskFull); }, kDiskFull);
  auto across = [](FaultyFileSystem& fs) {
    fs.AnswerAt(Operation::kRename, 1, Outcome::kOtherVolume);
  };
  fails_with(
      [&](FaultyFileSystem& fs) {
        across(fs);
        fs.FailAt(Operation::kCopyFile, 1, kDiskFull);
      },
      kDiskFull);
  fails_with(
      [&](FaultyFileSystem& fs) {
        across(fs);
        fs.FailAt(Operation::kRename, 2, kDiskFull);  // the copy is whole, its naming fails
      },
      kDiskFull);
  fails_with(
      [&](FaultyFileSystem& fs) {
        across(fs);
        fs.FailAt(Operation::kDeleteFile, 1, kPermissionDenied);  // the source cannot go
      },
      kPermissionDenied);
}

// Links are made here from the Linux side only: links_test.sh makes the
// Windows build's.
#ifndef _WIN32
TEST_F(FileOperationsTest, LinksAreMovedAsLinks) {
  PutFile(root_ / "target.txt", "t");
  ASSERT_EQ(symlink("target.txt", (root_ / "link.txt").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (root_ / "dangling.txt").c_str()), 0);
  testing::MakeFolders(root_ / "txt");
  ops_.MoveInto(root_ / "link.txt", root_ / "txt", "link.txt");
  ops_.MoveInto(root_ / "dangling.txt", root_ / "txt", "dangling.txt");
  auto tree = testing::Tree(root_ / "txt");
  EXPECT_EQ(tree["link.txt"], "-> target.txt");
  EXPECT_EQ(tree["dangling.txt"], "-> nowhere");
}

TEST_F(FileOperationsTest, NoLinkIsFollowedOutOfTheCommandsFolder) {
  TempFolder outside;
  PutFile(root_ / "a.jpg", "data");
  ASSERT_EQ(symlink(outside.path().c_str(), (root_ / "jpg").c_str()), 0);
  EXPECT_EQ(ops_.Dir(root_ / "jpg/", kDirectory), "");
  EXPECT_EQ(FailureOf([&] { ops_.MoveInto(root_ / "a.jpg", root_ / "jpg", "a.jpg"); }),
            kPathNotFound);
  EXPECT_EQ(FailureOf([&] { ops_.MakeFolder(root_ / "jpg/x"); }), kPathNotFound);
  EXPECT_TRUE(testing::Tree(outside.path()).empty());
}

TEST_F(FileOperationsTest, TheCommandsOwnFolderMayBeReachedThroughALink) {
  TempFolder elsewhere;
  PutFile(elsewhere / "a.jpg", "data");
  testing::MakeFolders(elsewhere / "jpg");
  std::string link = root_ / "photos";
  ASSERT_EQ(symlink(elsewhere.path().c_str(), link.c_str()), 0);
  FileOperations ops(FileSystem::Default(), link);
  ASSERT_EQ(ops.GetFolder(link).Files().size(), 1u);
  ops.MoveInto(link + "/a.jpg", link + "/jpg", "a.jpg");
  EXPECT_EQ(ReadFile(elsewhere / "jpg/a.jpg"), "data");
}
#endif

TEST_F(FileOperationsTest, GetFolderAnswersPathNotFoundForAnythingButAFolder) {
  PutFile(root_ / "file.txt");
  for (const std::string& path : {root_ / "missing", root_ / "file.txt", std::string(),
                                  std::string("请拖拽文件夹至此\r\n单独的文件不可以")}) {
    EXPECT_EQ(FailureOf([&] { ops_.GetFolder(path); }), kPathNotFound) << path;
  }
  EXPECT_EQ(FailureOf([&] { ops_.WriteLines("a\r\nb/579978.txt", {"x"}); }), kBadFileName);
  EXPECT_EQ(FailureOf([&] { ops_.WriteLines(root_ / "missing/579978.txt", {"x"}); }),
            kPathNotFound);
  ops_.WriteLines(root_ / "list.txt", {"one", "two"});
  EXPECT_EQ(ReadFile(root_ / "list.txt"), "one\r\ntwo\r\n");
}

TEST_F(FileOperationsTest, FilesListsFilesOnlyInNameOrder) {
  PutFile(root_ / "b.txt");
  PutFile(root_ / "A.txt");
  PutFile(root_ / ".h");
  testing::MakeFolders(root_ / "sub");
  std::vector<std::string> expected = {root_ / ".h", root_ / "A.txt", root_ / "b.txt"};
#ifndef _WIN32
  ASSERT_EQ(symlink("A.txt", (root_ / "c-link").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (root_ / "d-dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((root_ / "pipe").c_str(), 0600), 0);
  expected.insert(expected.end(), {root_ / "c-link", root_ / "d-dangling"});
#endif
  std::vector<std::string> names;
  for (const File& f : ops_.GetFolder(root_.path() + "/").Files()) names.push_back(f.Path());
  EXPECT_EQ(names, expected);
}

TEST_F(FileOperationsTest, SweepingRemovesHalfMadeCopiesAndNoFileOfTheUsers) {
  std::string partial = TemporaryName(0x123);
  PutFile(root_ / partial);
  PutFile(root_ / ("jpg/" + partial));
  PutFile(root_ / ("jpg/deeper/" + partial));
  PutFile(root_ / ".keep");
  // Named like ours by hand: the wrong check digits, none, another shape.
  std::string forged = partial;
  forged.back() = forged.back() == '0' ? '1' : '0';
  const std::string users[] = {forged, std::string(kTemporaryPrefix) + "notes.txt",
                               std::string(kTemporaryPrefix) + "1-1", partial + ".txt"};
  for (const std::string& name : users) PutFile(root_ / ("jpg/" + name), "mine");
  ops_.SweepLeftovers();
  EXPECT_FALSE(Exists(root_ / partial));
  EXPECT_FALSE(Exists(root_ / ("jpg/" + partial)));
  EXPECT_TRUE(Exists(root_ / ("jpg/deeper/" + partial))) << "only where copies are made";
  EXPECT_TRUE(Exists(root_ / ".keep"));
  for (const std::string& name : users) EXPECT_TRUE(Exists(root_ / ("jpg/" + name))) << name;
  EXPECT_NE(TemporaryName(1), TemporaryName(2));
}

TEST_F(FileOperationsTest, FilesOnceListedAreMovedWithoutAskingTheDiskAboutEach) {
  FaultyFileSystem faulty;
  FileOperations ops(&faulty, root_.path());
  for (int i = 0; i < 40; ++i) PutFile(root_ / ("f" + std::to_string(i) + ".txt"));
  std::vector<File> files = ops.GetFolder(root_.path()).Files();
  ops.MakeFolder(root_ / "txt");
  int looks = faulty.Calls(Operation::kInspect);
  for (const File& file : files) {
    ASSERT_FALSE(ops.Dir(file.Path(), 0).empty());
    ops.MoveInto(file.Path(), root_ / "TXT", std::string(NameOf(file.Path())));
  }
  EXPECT_EQ(faulty.Calls(Operation::kInspect) - looks, 0)
      << "a look per file costs a rename's worth";
  EXPECT_EQ(testing::Tree(root_ / "txt").size(), 40u);
}

TEST_F(FileOperationsTest, AFileGoneSinceTheListingFailsAsMissingAndOneComeSinceIsNotSeen) {
  PutFile(root_ / "gone.txt");
  PutFile(root_ / "also-gone.txt");
  testing::MakeFolders(root_ / "txt");
  ops_.GetFolder(root_.path()).Files();
  std::filesystem::remove(testing::PathOf(root_ / "gone.txt"));
  std::filesystem::remove(testing::PathOf(root_ / "also-gone.txt"));
  PutFile(root_ / "new.txt", "new");

  EXPECT_EQ(FailureOf([&] { ops_.MoveInto(root_ / "gone.txt", root_ / "txt", "gone.txt"); }),
            kFileNotFound);
  EXPECT_EQ(FailureOf([&] { ops_.DeleteFile(root_ / "also-gone.txt"); }), kFileNotFound);
  EXPECT_EQ(ops_.Dir(root_ / "gone.txt", 0), "") << "what failed is forgotten";
  EXPECT_EQ(ops_.Dir(root_ / "new.txt", 0), "") << "the folder is the run's to work on";
  FileOperations next_run(FileSystem::Default(), root_.path());
  EXPECT_EQ(next_run.MoveInto(root_ / "new.txt", root_ / "txt", "new.txt"), root_ / "txt/new.txt");
}

TEST_F(FileOperationsTest, ReadStartReadsTheStartOfAPlainFileOnly) {
  PutFile(root_ / "a.txt", "0123456789");
  PutFile(root_ / "empty.txt", "");
  PutFile(root_ / "long.txt", std::string(300000, 'x'));
  PutFile(root_ / "fifo.txt");
#ifndef _WIN32
  ASSERT_EQ(symlink("a.txt", (root_ / "link.txt").c_str()), 0);
#endif
  ops_.GetFolder(root_.path()).Files();
  EXPECT_EQ(ops_.ReadStart(root_ / "A.TXT", 4), "0123");
  EXPECT_EQ(ops_.ReadStart(root_ / "a.txt", 100), "0123456789");
  EXPECT_EQ(ops_.ReadStart(root_ / "empty.txt", 100), "");
  EXPECT_EQ(ops_.ReadStart(root_ / "long.txt", 1 << 20).size(), 300000u);
  EXPECT_EQ(ops_.ReadStart(root_ / "long.txt", 4096).size(), 4096u);
  FileStart start = FileSystem::Default()->ReadFile(root_ / "a.txt", 1);
  EXPECT_TRUE(
      FileIdentity::Of(*FileSystem::Default()->Inspect(root_ / "a.txt")).Matches(start.info))
      << "told what was read";
  EXPECT_EQ(FailureOf([&] { ops_.ReadStart(root_ / "missing.txt", 4); }), kFileNotFound);
#ifndef _WIN32
  EXPECT_NE(FailureOf([&] { ops_.ReadStart(root_ / "link.txt", 4); }), 0) << "never followed";
  // A FIFO that took a listed file's place is refused, without waiting for a writer.
  unlink((root_ / "fifo.txt").c_str());
  ASSERT_EQ(mkfifo((root_ / "fifo.txt").c_str(), 0600), 0);
  EXPECT_EQ(FailureOf([&] { ops_.ReadStart(root_ / "fifo.txt", 4); }), kPathFileAccessError);
  // The size the system tells is a hint only: this file tells none and holds more.
  std::string status = FileSystem::Default()->ReadFile("/proc/self/status", 1 << 20).bytes;
  EXPECT_GT(status.size(), 200u);
  EXPECT_NE(status.find("Name:"), std::string::npos);
#endif
}

// A preview reads ahead the starts it is told of; those asked with another
// limit, far past the last one asked or never told are read when asked.
TEST_F(FileOperationsTest, StartsToldAheadAnswerAsReadStartWhicheverAreAskedFor) {
  std::vector<std::string> paths;
  for (int i = 0; i < 1000; ++i) {
    paths.push_back(root_ / ("f" + std::to_string(i) + ".txt"));
    PutFile(paths.back(), "file " + std::to_string(i));
  }
  PutFile(root_ / "other.txt", "other");
  KeptReadings kept;
  ops_.KeepReadingsIn(&kept);
  ops_.GetFolder(root_.path()).Files();
  std::vector<File> files;
  for (const std::string& path : paths) files.push_back({path});
  files.push_back({root_ / "other.txt"});
  ops_.WillReadStarts(
      files, [](const File& file) { return !file.Path().ends_with("other.txt"); }, 100);
  std::filesystem::remove(paths[10]);
  for (int i = 0; i < 1000; i += i == 500 ? 400 : 1 + i % 3) {
    const std::string expected = "file " + std::to_string(i);
    if (i == 10) {
      EXPECT_EQ(FailureOf([&] { ops_.ReadStart(paths[i], 100); }), kFileNotFound);
    } else if (i % 7 == 0) {
      EXPECT_EQ(ops_.ReadStart(paths[i], 3), expected.substr(0, 3)) << i;
    } else {
      EXPECT_EQ(ops_.ReadStart(paths[i], 100), expected) << i;
    }
    if (i == 300) {
      EXPECT_EQ(ops_.ReadStart(root_ / "other.txt", 100), "other");
    }
  }
}

#ifndef _WIN32
// Windows names are UTF-16: no name there is anything but UTF-8 to the file layer.
TEST_F(FileOperationsTest, NamesThatAreNotUtf8SurviveAMove) {
  std::string name = "caf\xe9.txt";
  PutFile(root_ / name, "latin-1");
  testing::MakeFolders(root_ / "txt");
  std::string placed = ops_.MoveInto(root_ / name, root_ / "TXT", name);
  EXPECT_EQ(placed, root_ / ("txt/" + name));
  EXPECT_EQ(ReadFile(placed), "latin-1");
}
#endif

}  // namespace
}  // namespace varnelo
