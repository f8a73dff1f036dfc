#ifndef VARNELO_FILESYSTEM_FILE_OPERATIONS_H_
#define VARNELO_FILESYSTEM_FILE_OPERATIONS_H_

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filesystem/file_system.h"
#include "filesystem/folder_cache.h"
#include "filesystem/kept_readings.h"
#include "filesystem/resolver.h"

namespace varnelo {

// Attribute bits, as masks of the directory function and answers of GetAttr.
inline constexpr int kReadOnly = 1;
inline constexpr int kHidden = 2;
inline constexpr int kSystem = 4;
inline constexpr int kDirectory = 16;
inline constexpr int kLink = 1024;

// The name prefix of the files under way (a whole copy, the list file) before
// they are named; a crash may leave one, and the next command removes it.
inline constexpr std::string_view kTemporaryPrefix = ".varnelo-partial-";

// The name of the file under way told by `token`: the prefix, the token, and
// check digits drawn from it, so that a name a user gave never passes for
// one (see IsTemporaryName).
std::string TemporaryName(uint64_t token);
// Whether `name` is one that TemporaryName makes.
bool IsTemporaryName(std::string_view name);

// Whether the entry is hidden: by its name beginning with "." on every
// system, or by the volume's own mark.
bool IsHiddenEntry(const Entry& entry);

struct File {
  std::string path;                         // the full path
  int attributes = 0;                       // as the listing tells them: kHidden, kSystem, kLink
  struct timespec date_last_modified = {};  // filled by GetFile only

  const std::string& Path() const { return path; }
};

class Failure;
class FileOperations;

class Folder {
 public:
  Folder(FileOperations* operations, std::string path)
      : operations_(operations), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }
  // Every file directly in the folder, hidden ones included, in name order
  // (without regard to letter case), as the folder stands now.
  std::vector<File> Files() const;
  // How many files Files() would answer, without spelling out their paths.
  size_t FileCount() const;

 private:
  FileOperations* operations_;
  std::string path_;
};

// The file operations of one run of one command on one folder, with the
// rules the commands were designed around: names found without regard to
// letter case, a name beginning with "." hidden, folder paths holding a
// control character refused with kBadFileName, no link followed below the
// run's folder, and no file ever replaced or half written. A file changes
// place by one rename (across volumes: a whole copy, named, then the source
// deleted), so an interruption leaves it in exactly one place.
//
// Each folder is listed once per run (see FolderCache): the folder is the
// user's to leave alone while a command runs. A file gone meanwhile still
// fails when it is acted on; one that came meanwhile is not seen.
//
// Failures are thrown as Failure.
class FileOperations {
 public:
  // REQUIRES: `fs` outlives this object.
  FileOperations(FileSystem* fs, const std::string& folder);
  FileOperations(const FileOperations&) = delete;
  FileOperations& operator=(const FileOperations&) = delete;

  // Removes the copies that an interrupted run left half made in the run's
  // folder and its first-level sub-folders, where copies are made.
  void SweepLeftovers();

  // The directory function, answering all its matches: for a path ending in
  // "/", the entries of that folder ("." and ".." among the folders), in
  // listing order; else the entry at the path. Answers the bare names of the
  // entries whose attribute bits among kHidden, kSystem and kDirectory all
  // lie in `mask` (none for a missing folder, or one that cannot be read).
  std::vector<std::string> DirEntries(const std::string& path, int mask);
  // An answer of the directory function with the bits of GetAttr that the
  // entry's kind and name alone tell (kDirectory, with kLink for a link to a
  // folder; kHidden; kSystem): all a walk needs to tell folders from files,
  // known from the folder's listing without a look at each entry.
  struct DirEntry {
    std::string name;
    int attributes;
  };
  // As DirEntries, each name with its kind's bits ("." and ".." as folders).
  std::vector<DirEntry> DirEntriesWithKinds(const std::string& path, int mask);
  // As DirEntriesWithKinds, the folders only (links to folders among them):
  // a folder of many files is not copied out to find its few folders.
  std::vector<DirEntry> FolderEntries(const std::string& path, int mask);
  // The first answer of DirEntries, or "" when there is none.
  std::string Dir(const std::string& path, int mask);

  // The attribute bits of the entry at `path`; kFileNotFound when none.
  int GetAttr(const std::string& path);

  // Creates one folder: kPathFileAccessError when the name is taken,
  // kPathNotFound when the parent folder is missing.
  void MakeFolder(const std::string& path);

  // Deletes the file at `path`; kFileNotFound when there is none.
  void DeleteFile(const std::string& path);
  // Deletes the name `path` where it and `other` are two names of one file;
  // anything else at `path` stays.
  void DeleteSecondName(const std::string& path, const std::string& other);
  // Deletes a file and ignores every failure.
  void DeleteFileQuietly(const std::string& path) noexcept;

  // Makes the file at `path`, or replaces it, with each line followed by
  // CR LF; the file appears whole. kPathNotFound when the folder is missing.
  void WriteLines(const std::string& path, const std::vector<std::string>& lines);

  // Whether a plain file (no link) stands at `path` holding exactly `text`.
  bool Holds(const std::string& path, std::string_view text);

  // The folder at `path`: kPathNotFound for any text that names no folder.
  Folder GetFolder(const std::string& path);
  std::vector<File> Files(const std::string& folder);
  size_t FileCount(const std::string& folder);
  // The last component of `path` without its last "." and what follows.
  static std::string GetBaseName(std::string_view path);
  // The file at `path` with its time of last change; kFileNotFound when none.
  File GetFile(const std::string& path);
  // Removes the folder at `path` where nothing but empty folders lies below
  // it, and else every empty folder below it. Hidden folders, links and
  // files stay, and so do the folders that hold them. Answers whether the
  // folder is gone.
  bool PruneFolder(const std::string& path);

  // Up to `limit` bytes from the start of the plain file at `path`, fewer
  // only where the file ends: kFileNotFound when no file is there.
  std::string ReadStart(const std::string& path, size_t limit);

  // The first of "name", "name (2)", "name (3)", ... (see NumberedName) that
  // no entry of `folder` bears in any letter case.
  std::string FreeName(const std::string& folder, const std::string& name);

  // Moves the file `source` into `folder` under `name` or, when that is
  // taken, under the first free numbered variant, and answers the path it
  // now has. A name already held by the very same file (left so by an
  // interrupted run) is reused, and a file already at its place stays.
  // kFileNotFound, carrying `source`, when no file stands there.
  std::string MoveInto(const std::string& source, const std::string& folder,
                       const std::string& name);
  // How many files MoveInto has moved so far: what a run that stops has changed.
  int moved() const { return moved_; }

  // What reading a file tells (see Reading) is kept in `kept`, by a
  // preview; or taken from it, by the run the preview confirmed.
  void KeepReadingsIn(KeptReadings* kept) { keeping_ = kept; }
  void UseReadingsFrom(KeptReadings* kept) { using_ = kept; }
  // What `read` tells of the file at `path`, or what it told of that very
  // file, unchanged since, when the preview read it.
  uint64_t Reading(const std::string& path, const std::function<uint64_t()>& read);
  // The starts of those of `files` that `told` picks, up to `limit` bytes
  // (as ReadStart), are about to be asked for, in this order, some perhaps
  // not at all. A preview reads them ahead: what it reads is kept with the
  // file's details, which the run checks before trusting it. Elsewhere
  // each is read when asked for, and nothing is done here.
  void WillReadStarts(const std::vector<File>& files, const std::function<bool(const File&)>& told,
                      size_t limit);

 private:
  std::string ExistingFolder(const std::string& path);
  // The directory function's answer for a path that is not a folder's.
  std::optional<DirEntry> EntryAt(const std::string& path, int mask);
  // The answers of the directory function that bear every one of `bits`.
  std::vector<DirEntry> EntriesBearing(const std::string& path, int mask, int bits);
  // Where `source` is the file `existing` already: the path it keeps.
  std::optional<std::string> AlreadyPlaced(const ResolvedPath& source, const std::string& existing);
  // Moves `source` to `target`, a name of the folder `listing` lists.
  Outcome Move(const ResolvedPath& source, const std::string& target, FolderListing& listing);
  Outcome MoveAcross(const std::string& source, const std::string& target);
  // A hidden name in `folder` for a file being made; SweepLeftovers removes
  // any that an interruption leaves.
  std::string TemporaryIn(std::string_view folder);
  void DiscardTemporary(const std::string& temporary) noexcept;
  // A file answered from the listing may have gone since: its failure is
  // then that of a missing file, as when it is looked for.
  void RefuseIfGone(const ResolvedPath& entry, const Failure& failure);
  void SweepFolder(const std::string& folder, int depth);
  bool PruneTree(const std::string& folder);
  void Forget(const ResolvedPath& entry);
  FileStart StartOf(const std::string& path, size_t limit);
  // Hands the reads ahead the paths up to a window past the next one.
  void FeedReads();

  FileSystem* fs_;
  std::unique_ptr<FileSystem::Anchor> anchor_;  // the run's folder, held for the run
  FolderCache cache_;
  Resolver resolver_;
  uint64_t next_temporary_;  // drawn at random, so two runs at once never meet
  int moved_ = 0;
  KeptReadings* keeping_ = nullptr;
  KeptReadings* using_ = nullptr;
  // The file that the Reading under way has read, as each read found it on
  // opening it: what it tells is kept only where every read found the same
  // file, unchanged.
  struct ReadFrom {
    std::string_view path;
    std::optional<EntryInfo> first;
    bool mixed = false;
    void Saw(const EntryInfo& info) {
      if (!first) {
        first = info;
      } else if (!FileIdentity::Of(*first).Matches(info)) {
        mixed = true;
      }
    }
  };
  ReadFrom* reading_ = nullptr;  // for the length of one Reading
  // The starts read ahead. Their paths are handed on a window at a time
  // and let go once passed: a large folder would else hold each twice more.
  struct StartsAhead {
    std::unique_ptr<FileSystem::Reads> reads;
    size_t limit;
    std::vector<std::string> paths;  // by place
    size_t fed = 0;                  // the places handed to `reads`
    size_t next = 0;                 // the first place neither asked for nor passed
  };
  std::optional<StartsAhead> ahead_;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_FILE_OPERATIONS_H_
