#ifndef VARNELO_FILESYSTEM_FILE_OPERATIONS_H_
#define VARNELO_FILESYSTEM_FILE_OPERATIONS_H_

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "filesystem/file_search.h"
#include "filesystem/file_system.h"
#include "filesystem/resolver.h"

namespace varnelo {

// Attribute bits, as masks of the directory function and answers of GetAttr.
inline constexpr int kReadOnly = 1;
inline constexpr int kHidden = 2;
inline constexpr int kSystem = 4;
inline constexpr int kDirectory = 16;
inline constexpr int kLink = 1024;

// The name prefix of the copies under way; a crash may leave one, and the
// next command removes it.
inline constexpr std::string_view kTemporaryPrefix = ".varnelo-partial-";

struct File {
  std::string path;                         // the full path
  int attributes = 0;                       // as the listing tells them: kHidden, kSystem, kLink
  struct timespec date_last_modified = {};  // filled by GetFile only

  const std::string& Path() const { return path; }
};

class Failure;
class FileOperations;

// Throws kBadFileName for a path whose folder part holds a control
// character, as typed text can (the drop box's two-line prompt, say). A
// file's own name may hold one: Linux allows it, and such files are sorted.
void RefuseControlCharacters(const std::string& path);

class Folder {
 public:
  Folder(FileOperations* operations, std::string path)
      : operations_(operations), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }
  // Every file directly in the folder, hidden ones included, in name order
  // (without regard to letter case), read afresh at each call.
  std::vector<File> Files() const;

 private:
  FileOperations* operations_;
  std::string path_;
};

// The file operations every command is built on, with the rules the commands
// were designed around: names found without regard to letter case, a name
// beginning with "." hidden, folder paths holding a control character refused
// with kBadFileName, a single listing position for the directory function, no
// link followed below the folder of the running command, and no file ever
// replaced or half written. Failures are thrown as Failure.
class FileOperations {
 public:
  explicit FileOperations(FileSystem* fs) : fs_(fs), resolver_(fs) {}
  FileOperations(const FileOperations&) = delete;
  FileOperations& operator=(const FileOperations&) = delete;

  // The recursive file search, whose list of files found lasts as long as
  // this object.
  FileSearch& search() { return search_; }

  // Starts a command on `folder`: forgets the names learnt by an earlier
  // command, removes copies left half made by a crash in the folder and its
  // first-level sub-folders, and follows no link below the folder from now on.
  void BeginCommand(const std::string& folder);

  // The directory function. For a path ending in "/", the entries of that
  // folder ("." and ".." among the folders); else the entry at the path.
  // Answers the bare name of the first entry whose attribute bits among
  // kHidden, kSystem and kDirectory all lie in `mask`, or "" when none does
  // (also for a missing folder).
  std::string Dir(const std::string& path, int mask);
  // The next answer of the last Dir call; "" at the end.
  std::string DirNext();

  // The attribute bits of the entry at `path`; kFileNotFound when none.
  int GetAttr(const std::string& path);
  // The bits of GetAttr that the entry's kind and name alone tell
  // (kDirectory, with kLink for a link to a folder; kHidden; kSystem): all a
  // walk needs to tell folders from files, known from the folder's listing
  // without a look at each entry. kFileNotFound when there is none.
  int GetKindAttr(const std::string& path);

  // Creates one folder: kPathFileAccessError when the name is taken,
  // kPathNotFound when the parent folder is missing.
  void MakeFolder(const std::string& path);

  // Deletes the file at `path`; kFileNotFound when there is none.
  void DeleteFile(const std::string& path);

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
  // The last component of `path` without its last "." and what follows.
  static std::string GetBaseName(std::string_view path);
  // The file at `path` with its time of last change; kFileNotFound when none.
  File GetFile(const std::string& path);
  // Removes the folder and all it holds; a folder link loses only the link.
  void DeleteFolder(const std::string& path);
  // Deletes the files below the folder at `path` that `remove` accepts (it
  // is asked with their paths spelt from `path` as given), then every folder
  // left empty, this one included. Hidden folders, links to folders and
  // whatever is neither file nor folder stay untouched, and so do the
  // folders that hold them. Answers whether the folder is gone.
  bool PruneFolder(const std::string& path,
                   const std::function<bool(const std::string& file)>& remove);

  // Up to `limit` bytes from the start of the plain file at `path`, fewer
  // only where the file ends: kFileNotFound when no file is there.
  std::string ReadStart(const std::string& path, size_t limit);

  // The first of "name", "name (2)", "name (3)", ... (see NumberedName) that
  // no entry of `folder` bears in any letter case.
  std::string FreeName(const std::string& folder, const std::string& name);

  // Moves the file `source` into `folder` under `name` or, when that is
  // taken, under the first free numbered variant, and answers the path it
  // now has. One rename on the same volume; across volumes a whole copy is
  // made before the source is deleted. A name already held by the very same
  // file (left so by an interrupted run) is reused.
  std::string MoveInto(const std::string& source, const std::string& folder,
                       const std::string& name);

  // As MoveInto, but the source stays: the new name is a hard link where the
  // volume allows, else a whole copy.
  std::string CopyInto(const std::string& source, const std::string& folder,
                       const std::string& name);

 private:
  enum class Placing { kMove, kCopy };
  std::string Place(const std::string& source, const std::string& folder, const std::string& name,
                    Placing placing);
  bool PlaceAcross(const std::string& source, const std::string& target);
  // A hidden name in `folder` for a file being made; the next command sweeps
  // away any that an interruption leaves.
  std::string TemporaryIn(std::string_view folder);
  void DiscardTemporary(const std::string& temporary) noexcept;
  bool IsSameEntry(const std::string& a, const std::string& b);
  // A file answered from the names the command learnt may have gone since:
  // its failure is then that of a missing file, as when it is looked for.
  void RefuseIfGone(const ResolvedPath& entry, const Failure& failure);
  void SweepTemporaries(const std::string& folder, int depth);
  void FillListing(const std::string& folder, int mask);
  // The entries of `folder` in listing order. A command walks its folders
  // pass after pass: each is read again only once the command has changed
  // it. The folder is the user's to leave alone while a command runs; a file
  // gone meanwhile still fails when it is acted on.
  const std::vector<Entry>& Listed(const std::string& folder);
  void RemoveTree(const std::string& folder);
  bool PruneTree(const std::string& folder, const std::string& spelt,
                 const std::function<bool(const std::string& file)>& remove);
  std::string ExistingFolder(const std::string& path);

  FileSystem* fs_;
  Resolver resolver_;
  std::vector<std::string> listing_;
  size_t position_ = 0;
  std::string pending_folder_;  // a listing whose first answer, ".", was given before it was read
  int pending_mask_ = 0;
  struct Listing {
    Resolver::ChangeMark mark;
    std::vector<Entry> entries;
  };
  TextMap<Listing> listings_;
  // The files of the folder walked last, as File objects, kept while its
  // files stand (a folder made in it leaves them as they are).
  struct FilesMemo {
    std::string folder;
    Resolver::ChangeMark mark;
    std::vector<File> files;
  } files_memo_;
  unsigned temporaries_made_ = 0;
  FileSearch search_{*this};
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_FILE_OPERATIONS_H_
