#include "filesystem/failure.h"

#include <cerrno>
#include <cstring>
#include <utility>

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
    case EDQUOT:
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

}  // namespace varnelo
