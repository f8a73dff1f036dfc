#include "tests/support/linux_side.h"

#include <stdexcept>

#include "filesystem/win32.h"
#include "tests/support/temp_folder.h"
#include "tests/support/windows_process.h"

namespace varnelo::testing {
namespace {

template <typename Function>
Function* WineExport(const wchar_t* module, const char* name) {
  return reinterpret_cast<Function*>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(module), name)));
}

// One argument of a command line, as Windows programs split them.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L'"';
}

}  // namespace

bool UnderWine() { return WineExport<const char*()>(L"ntdll.dll", "wine_get_version") != nullptr; }

bool IsReparsePoint(const std::filesystem::path& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string LinuxPathOf(const std::string& path) {
  auto* unix_name = WineExport<char*(const wchar_t*)>(L"kernel32.dll", "wine_get_unix_file_name");
  char* name = unix_name ? unix_name(WideFromUtf8(NativePath(path)).c_str()) : nullptr;
  if (!name) throw std::runtime_error("no Linux path for " + path);
  std::string linux_path = name;
  HeapFree(GetProcessHeap(), 0, name);
  return linux_path;
}

void RunOnLinuxSide(const std::vector<std::string>& command) {
  const TempFolder marks;
  const std::string mark = marks / "ended well";
  std::wstring line = L"/bin/sh -c " + Quoted(LR"(mark=$1; shift; "$@" && : >"$mark")") + L" sh " +
                      Quoted(WideFromUtf8(LinuxPathOf(mark)));
  for (const std::string& argument : command) line += L' ' + Quoted(WideFromUtf8(argument));
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process =
      StartProcess(line, startup, false, command.front() + " on the Linux side");
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int waited = 0; !Exists(mark); waited += 5) {
    if (waited > 30000) throw std::runtime_error(command.front() + " failed on the Linux side");
    Sleep(5);
  }
}

}  // namespace varnelo::testing
