#include <memory>
#include <utility>
#include <vector>

#include "filesystem/failure.h"
#include "filesystem/file_system.h"
#include "filesystem/win32.h"

namespace varnelo {
namespace {

[[noreturn]] void Fail(const std::string& context) {
  throw FailureFromWin32(GetLastError(), context);
}

Outcome NotCreated(const std::string& context) { return OutcomeFromWin32(GetLastError(), context); }

// Windows drops the spaces and dots that end a name, so a name of nothing
// else ("   ", typed by mistake) would stand for the folder above it, or
// for the current folder: no folder can bear it, and none is found.
bool NamesNothing(std::wstring_view path) {
  size_t start = path.find_last_of(L"\\/:");
  std::wstring_view name = path.substr(start == std::wstring_view::npos ? 0 : start + 1);
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_not_of(L" .") == std::wstring_view::npos;
}

// The path as Windows is to take it: whole and without the 260-character
// limit of its plain paths, which a deep folder of the user's exceeds.
// "\\?\" paths are taken as spelt, so the path is made whole first.
std::wstring LongPath(const std::string& path) {
  std::wstring wide = WideFromUtf8(path);
  if (wide.starts_with(L"\\\\?\\")) return wide;
  if (NamesNothing(wide)) throw FailureFromWin32(ERROR_PATH_NOT_FOUND, "path " + path);
  DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) Fail("path " + path);
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  if (length == 0) Fail("path " + path);
  full.resize(length);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() { return CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0; }

 private:
  HANDLE handle_;
};

// Links and junctions are the reparse points that stand for another name;
// the others (a file kept in the cloud, say) are the files they look like.
// A reparse point that does not tell its tag (Wine's listing of a Linux
// link) is taken for a link: walking through one that is could lead out of
// the folder, or round in a loop.
bool IsLink(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (tag == 0 || IsReparseTagNameSurrogate(tag));
}

EntryKind KindOf(DWORD attributes, DWORD tag) {
  bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (IsLink(attributes, tag)) return folder ? EntryKind::kFolderLink : EntryKind::kFile;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::kOther;
  return folder ? EntryKind::kFolder : EntryKind::kFile;
}

// A listing may hold names that no Windows call can open (a Linux folder
// seen through Wine, a name with "?" or "*"): they are entries no command
// touches.
bool IsOpenableName(std::wstring_view name) {
  for (wchar_t c : name) {
    if (c < 0x20 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos) {
      return false;
    }
  }
  return !name.ends_with(L' ') && !name.ends_with(L'.');
}

Entry EntryOf(const WIN32_FIND_DATAW& data) {
  bool exact;
  std::string name = Utf8FromWide(data.cFileName, &exact);
  EntryKind kind = KindOf(data.dwFileAttributes, data.dwReserved0);
  if (!exact || !IsOpenableName(data.cFileName)) kind = EntryKind::kOther;
  return {std::move(name), kind, IsLink(data.dwFileAttributes, data.dwReserved0),
          (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0,
          (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0};
}

// Times of the volume count 100 ns steps since 1601.
constexpr int64_t kSteps1601To1970 = 116444736000000000;

// A time of the volume as one since 1970.
struct timespec TimeOf(FILETIME time) {
  int64_t steps = static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) -
                  kSteps1601To1970;
  int64_t seconds = steps / 10000000, rest = steps % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  return {static_cast<time_t>(seconds), static_cast<long>(rest * 100)};
}

FILETIME FileTimeOf(struct timespec time) {
  auto steps = static_cast<uint64_t>(int64_t{time.tv_sec} * 10000000 + time.tv_nsec / 100 +
                                     kSteps1601To1970);
  return {static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
}

// Opens the entry itself, never what a link leads to; folders too.
HANDLE OpenEntry(const std::wstring& path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsAbsent(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_DIRECTORY || error == ERROR_BAD_NETPATH ||
         error == ERROR_BAD_NET_NAME || error == ERROR_INVALID_DRIVE || error == ERROR_NOT_READY;
}

// What the volume tells of an open entry, as the commands know entries.
EntryInfo InfoOf(const BY_HANDLE_FILE_INFORMATION& info, DWORD reparse_tag) {
  DWORD attributes = info.dwFileAttributes;
  return {KindOf(attributes, reparse_tag),
          IsLink(attributes, reparse_tag),
          (attributes & FILE_ATTRIBUTE_READONLY) == 0,
          TimeOf(info.ftLastWriteTime),
          info.dwVolumeSerialNumber,
          (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
          info.nNumberOfLinks,
          (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
          (attributes & FILE_ATTRIBUTE_HIDDEN) != 0,
          (attributes & FILE_ATTRIBUTE_SYSTEM) != 0};
}

class Win32FileSystem : public FileSystem {
 public:
  std::vector<Entry> ReadFolder(const std::string& folder) override {
    std::wstring pattern = LongPath(folder);
    if (!pattern.ends_with(L'\\')) pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    std::unique_ptr<void, BOOL (*)(HANDLE)> find(
        FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                         FIND_FIRST_EX_LARGE_FETCH),
        FindClose);
    std::vector<Entry> entries;
    if (find.get() == INVALID_HANDLE_VALUE) {
      find.release();
      if (GetLastError() == ERROR_FILE_NOT_FOUND) return entries;  // a volume's empty root
      Fail("list " + folder);
    }
    do {
      std::wstring_view name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      entries.push_back(EntryOf(data));
    } while (FindNextFileW(find.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) Fail("list " + folder);
    return entries;
  }

  std::optional<EntryInfo> Inspect(const std::string& path) override {
    Handle entry(OpenEntry(LongPath(path), FILE_READ_ATTRIBUTES));
    if (!entry.valid()) {
      if (IsAbsent(GetLastError())) return std::nullopt;
      Fail("inspect " + path);
    }
    BY_HANDLE_FILE_INFORMATION info;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandle(entry.get(), &info)) Fail("inspect " + path);
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        !GetFileInformationByHandleEx(entry.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
      Fail("inspect " + path);
    }
    return InfoOf(info, tag.ReparseTag);
  }

  void MakeFolder(const std::string& path) override {
    if (!CreateDirectoryW(LongPath(path).c_str(), nullptr)) Fail("make folder " + path);
  }

  void RemoveFolder(const std::string& path) override {
    // A link to a folder, or a junction, goes as the folder would: only the link.
    if (!RemoveDirectoryW(LongPath(path).c_str())) Fail("remove folder " + path);
  }

  // A file is deleted only once it lies whole elsewhere (or is the
  // command's own): its read-only mark, which Windows alone heeds on
  // deletion, does not keep a second copy of it behind.
  void DeleteFile(const std::string& path) override {
    std::wstring file = LongPath(path);
    if (DeleteFileW(file.c_str())) return;
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesW(file.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) &&
        SetFileAttributesW(file.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
      if (DeleteFileW(file.c_str())) return;
      error = GetLastError();
      SetFileAttributesW(file.c_str(), attributes);
    }
    throw FailureFromWin32(error, "delete " + path);
  }

  Outcome Rename(const std::string& from, const std::string& to) override {
    // Without MOVEFILE_REPLACE_EXISTING the volume refuses any name taken
    // in its letter case, and without MOVEFILE_COPY_ALLOWED another volume.
    if (MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), 0)) return Outcome::kDone;
    return NotCreated("rename " + from);
  }

  void ReplaceFile(const std::string& from, const std::string& to) override {
    if (!MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      Fail("rename " + from);
    }
  }

  Outcome CopyFile(const std::string& from, const std::string& to) override {
    std::wstring target = LongPath(to);
    // The copy keeps the times and attributes, a link is copied as the link,
    // and the data go past the cache: on the disk when this returns, a
    // read-only copy included, which could not be opened to be flushed.
    if (!CopyFileExW(LongPath(from).c_str(), target.c_str(), nullptr, nullptr, nullptr,
                     COPY_FILE_FAIL_IF_EXISTS | COPY_FILE_COPY_SYMLINK | COPY_FILE_NO_BUFFERING)) {
      DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return Outcome::kNameTaken;
      DeleteFileW(target.c_str());  // whatever part of it was made
      throw FailureFromWin32(error, "copy " + from);
    }
    return Outcome::kDone;
  }

  Outcome WriteFile(const std::string& path, std::string_view data) override {
    Handle file(CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return NotCreated("write " + path);
    for (size_t put = 0; put < data.size();) {
      DWORD step = static_cast<DWORD>(std::min<size_t>(data.size() - put, 1 << 30)), written;
      if (!::WriteFile(file.get(), data.data() + put, step, &written, nullptr)) {
        Fail("write " + path);
      }
      put += written;
    }
    if (!file.Close()) Fail("write " + path);
    return Outcome::kDone;
  }

  FileStart ReadFile(const std::string& path, size_t limit) override {
    Handle file(OpenEntry(LongPath(path), GENERIC_READ));
    if (!file.valid()) Fail("read " + path);
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.get(), &info)) Fail("read " + path);
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
      throw Failure(kPathFileAccessError, "read " + path + ": not a file");
    }
    std::string data(limit, '\0');
    size_t got = 0;
    while (got < limit) {
      DWORD step = static_cast<DWORD>(std::min<size_t>(limit - got, 1 << 30)), read;
      if (!::ReadFile(file.get(), data.data() + got, step, &read, nullptr)) Fail("read " + path);
      if (read == 0) break;
      got += read;
    }
    data.resize(got);
    // Neither a folder nor a link, so no reparse tag to tell.
    return {std::move(data), InfoOf(info, 0)};
  }

  void SyncFolder(const std::string& folder) override {
    // The volume journals its names itself; a folder can be flushed only
    // with write access, which a folder of the user's may not give. Only a
    // folder that is gone fails here.
    Handle handle(OpenEntry(LongPath(folder), GENERIC_READ | GENERIC_WRITE));
    if (handle.valid()) {
      FlushFileBuffers(handle.get());
      return;
    }
    if (IsAbsent(GetLastError())) Fail("sync " + folder);
  }

  void SetModificationTime(const std::string& path, struct timespec mtime) override {
    Handle entry(OpenEntry(LongPath(path), FILE_WRITE_ATTRIBUTES));
    const FILETIME time = FileTimeOf(mtime);
    if (!entry.valid() || !SetFileTime(entry.get(), nullptr, nullptr, &time)) {
      Fail("set the time of " + path);
    }
  }
};

}  // namespace

FileSystem* FileSystem::Default() {
  static Win32FileSystem* instance = new Win32FileSystem;
  return instance;
}

}  // namespace varnelo
