#ifndef VARNELO_TESTS_SUPPORT_TEMP_FOLDER_H_
#define VARNELO_TESTS_SUPPORT_TEMP_FOLDER_H_

#include <ctime>
#include <filesystem>
#include <map>
#include <string>

namespace varnelo::testing {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path(), the system's separator, relative with its "/" made the system's
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

// `path` with each "/" made the system's separator, as the file layer spells
// paths: the tests write sub-folders with "/" on every system.
std::string NativePath(std::string path);

// The UTF-8 path for the standard library, which would read a narrow one in
// the user's code page on Windows; and back.
std::filesystem::path PathOf(const std::string& path);
std::string TextOf(const std::filesystem::path& path);

// Writes `content` to `path`, making the folders above it.
void PutFile(const std::string& path, const std::string& content = "x");
std::string ReadFile(const std::string& path);
void MakeFolders(const std::string& path);
// Removes `path` and all below it: a link goes, never what it leads to.
void RemoveTree(const std::string& path);
bool Exists(const std::string& path);
// A second name for the file at `path`.
void MakeHardLink(const std::string& path, const std::string& link);
// What tells one file from another on its volume whatever its name: its
// inode, or Windows' file index.
unsigned long long FileIdentity(const std::string& path);
void SetModificationTime(const std::string& path, std::time_t time);
std::time_t ModificationTime(const std::string& path);

// Every entry below `root`, by relative path: a file's content (or what
// `file_value` makes of the file's path), "/" for a folder, "-> target" for a
// link (on Windows, where a link cannot be read, the way to the folder of
// the tree it leads to, or "elsewhere"), "|fifo" for anything else.
std::map<std::string, std::string> Tree(
    const std::string& root, std::string (*file_value)(const std::string& path) = ReadFile);

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_SUPPORT_TEMP_FOLDER_H_
