#ifndef VARNELO_FILESYSTEM_FAILURE_H_
#define VARNELO_FILESYSTEM_FAILURE_H_

#include <stdexcept>
#include <string>

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
  kCrossDevice = 74,  // "can't rename with different drive": a link or rename must become a copy
  kPathFileAccessError = 75,
  kPathNotFound = 76,
  kInvalidPicture = 481,  // a picture file whose size cannot be read: damaged, or no picture
};

// Thrown by every operation that fails; caught only by the command frame.
class Failure : public std::runtime_error {
 public:
  Failure(int number, const std::string& context);
  int number() const { return number_; }

 private:
  int number_;
};

// The one place where the system's error codes become failure numbers.
Failure FailureFromErrno(int error, const std::string& context);

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_FAILURE_H_
