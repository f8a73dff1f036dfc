#include "filesystem/failure.h"

#include <cerrno>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include "filesystem/win32.h"
#endif

namespace varnelo {

Failure::Failure(int number, const std::string& context)
    : std::runtime_error(context + " (failure " + std::to_string(number) + ")"), number_(number) {}

Failure::Failure(int number, const std::string& context, std::string path)
    : Failure(number, context) {
  path_ = std::move(path);
}

Failure Failure::About(std::string path) const {
  Failure failure = *this;
  failure.path_ = std::move(path);
  return failure;
}

Failure FailureFromErrno(int error, const std::string& context) {
  int number;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      number = kPathNotFound;
      break;
    case EEXIST:
    case ENOTEMPTY:
      number = kFileAlreadyExists;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case ETXTBSY:
      number = kPermissionDenied;
      break;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      number = kDiskFull;
      break;
    case ENAMETOOLONG:
    case EILSEQ:
      number = kBadFileName;
      break;
    default:
      number = kPathFileAccessError;
      break;
  }
  return Failure(number, context + ": " + std::strerror(error));
}

Outcome OutcomeFromErrno(int error, const std::string& context) {
  switch (error) {
    case EEXIST:
    case ENOTEMPTY:
      return Outcome::kNameTaken;
    case EXDEV:
      return Outcome::kOtherVolume;
    default:
      throw FailureFromErrno(error, context);
  }
}

#ifdef _WIN32
namespace {

// Not among mingw's names, though Windows gives it.
constexpr unsigned long kErrorDiskQuotaExceeded = 1295;

}  // namespace

Failure FailureFromWin32(unsigned long error, const std::string& context) {
  int number;
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:  // a file where a folder was named
      number = kPathNotFound;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_DIR_NOT_EMPTY:
      number = kFileAlreadyExists;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_PRIVILEGE_NOT_HELD:
      number = kPermissionDenied;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kErrorDiskQuotaExceeded:
      number = kDiskFull;
      break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_NO_UNICODE_TRANSLATION:
      number = kBadFileName;
      break;
    default:
      number = kPathFileAccessError;
      break;
  }
  return Failure(number, context + ": Windows error " + std::to_string(error));
}

Outcome OutcomeFromWin32(unsigned long error, const std::string& context) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_DIR_NOT_EMPTY:
      return Outcome::kNameTaken;
    case ERROR_NOT_SAME_DEVICE:
      return Outcome::kOtherVolume;
    default:
      throw FailureFromWin32(error, context);
  }
}
#endif

}  // namespace varnelo
