#ifndef VARNELO_FILESYSTEM_FILE_SEARCH_H_
#define VARNELO_FILESYSTEM_FILE_SEARCH_H_

#include <string>
#include <vector>

namespace varnelo {

class FileOperations;

// Finds the files at any depth below a folder whose names match a wildcard
// pattern, without regard to letter case, as full paths. What the searches
// find is gathered in one list that lasts as long as the search: each search
// appends to it.
class FileSearch {
 public:
  // REQUIRES: `fs` outlives this object.
  explicit FileSearch(FileOperations& fs) : fs_(fs) {}
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;

  // Searches below `folder` and answers every path gathered so far, those
  // of earlier searches first. Folders are never among them. The answer
  // holds until the next search.
  const std::vector<std::string>& FindFiles(std::string folder, std::string pattern);

  // Appends the matching files of `folder` (which ends in "/"): first the
  // folder's own in listing order, then the whole tree of each sub-folder in
  // turn. Hidden folders are searched, links to folders never. Nothing that
  // fails inside reaches the caller: what cannot be read yields nothing.
  void SearchFolder(const std::string& folder, const std::string& pattern);

  // `folder` ending in "/", as every path found below it begins.
  static std::string AsFolderPath(std::string folder);

 private:
  FileOperations& fs_;
  std::vector<std::string> results_;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_FILE_SEARCH_H_
