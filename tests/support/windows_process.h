#ifndef VARNELO_TESTS_SUPPORT_WINDOWS_PROCESS_H_
#define VARNELO_TESTS_SUPPORT_WINDOWS_PROCESS_H_

#include <string>

#include "filesystem/win32.h"

namespace varnelo::testing {

// Starts the command `line` as CreateProcessW does, with `startup` and with
// the inheritable handles where `inherit_handles` says; the caller closes
// both handles it returns. On a loaded machine Wine now and then fails to
// start a program at all, so a failed start is made again a few times before
// it throws, naming `what` and the last error.
PROCESS_INFORMATION StartProcess(std::wstring line, const STARTUPINFOW& startup,
                                 bool inherit_handles, const std::string& what);

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_SUPPORT_WINDOWS_PROCESS_H_
