#include "tests/support/windows_process.h"

#include <stdexcept>

namespace varnelo::testing {

PROCESS_INFORMATION StartProcess(std::wstring line, const STARTUPINFOW& startup,
                                 bool inherit_handles, const std::string& what) {
  constexpr int kStarts = 5;
  STARTUPINFOW info = startup;
  PROCESS_INFORMATION process = {};
  DWORD error = 0;
  for (int start = 1; start <= kStarts; ++start) {
    if (start > 1) Sleep(100 * (start - 1));
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherit_handles, 0, nullptr, nullptr,
                       &info, &process)) {
      return process;
    }
    error = GetLastError();
  }
  throw std::runtime_error("cannot start " + what + " (error " + std::to_string(error) + ", " +
                           std::to_string(kStarts) + " starts)");
}

}  // namespace varnelo::testing
