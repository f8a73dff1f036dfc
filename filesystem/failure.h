#ifndef VARNELO_FILESYSTEM_FAILURE_H_
#define VARNELO_FILESYSTEM_FAILURE_H_

#include <stdexcept>
#include <string>

#include "filesystem/file_system.h"

namespace varnelo {

// The numbers by which a command learns why it was interrupted. They are the
// numbers the commands were designed around, so the frame can compare them.
enum FailureNumber : int {
  kOverflow = 6,
  kSubscriptOutOfRange = 9,
  kBadFileName = 52,
  kFileNotFound = 53,
  kFileAlreadyExists = 58,
  kDiskFull = 61,
  kPermissionDenied = 70,
  kPathFileAccessError = 75,
  kPathNotFound = 76,
  kInvalidPicture = 481,  // a picture whose size cannot be read or counted: damaged, or no picture
};

// Thrown for what ends a command: the frame catches it, and so do only the
// walks whose rule is to pass over what they cannot read (the recursive
// search, the sweep of leftovers). What a command meets in the normal course
// of its work (a name taken, another volume) is an Outcome, not a Failure.
class Failure : public std::runtime_error {
 public:
  Failure(int number, const std::string& context);
  // `path`: the file the failure is about, where the user is to be told its name.
  Failure(int number, const std::string& context, std::string path);
  int number() const { return number_; }
  // Empty where the failure names no file.
  const std::string& path() const { return path_; }
  // This failure, told about the file at `path`.
  Failure About(std::string path) const;

 private:
  int number_;
  std::string path_;
};

// The one place where the system's error codes become failure numbers.
Failure FailureFromErrno(int error, const std::string& context);

// The outcome of a change that failed with `error`, for the errors that are
// outcomes (see Outcome); throws FailureFromErrno for any other.
Outcome OutcomeFromErrno(int error, const std::string& context);

#ifdef _WIN32
// The same for Windows' error codes (GetLastError).
Failure FailureFromWin32(unsigned long error, const std::string& context);
Outcome OutcomeFromWin32(unsigned long error, const std::string& context);
#endif

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_FAILURE_H_
