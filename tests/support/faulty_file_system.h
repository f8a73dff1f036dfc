#ifndef VARNELO_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H_
#define VARNELO_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H_

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "filesystem/failure.h"
#include "filesystem/file_system.h"

namespace varnelo::testing {

enum class Operation {
  kReadFolder,
  kInspect,
  kMakeFolder,
  kRemoveFolder,
  kDeleteFile,
  kRename,
  kReplaceFile,
  kCopyFile,
  kWriteFile,
  kReadFile,
  kSyncFolder,
  kSetModificationTime,
};

// The real file system (or `target`), with chosen calls made to fail: the `nth` call
// (counting from 1) of an operation throws the failure `number`, or answers
// `outcome`, instead of doing its work. Counts every call, so a test can
// learn how many there are.
class FaultyFileSystem : public FileSystemWrapper {
 public:
  explicit FaultyFileSystem(FileSystem* target = FileSystem::Default())
      : FileSystemWrapper(target) {}

  void FailAt(Operation operation, int nth, int number) { faults_[{operation, nth}] = number; }
  // REQUIRES: `operation` is one that answers an Outcome.
  void AnswerAt(Operation operation, int nth, Outcome outcome) {
    answers_[{operation, nth}] = outcome;
  }
  int Calls(Operation operation) const {
    auto it = calls_.find(operation);
    return it == calls_.end() ? 0 : it->second;
  }
  bool Failed() const { return failed_; }

  std::vector<Entry> ReadFolder(const std::string& folder) override {
    Check(Operation::kReadFolder);
    return FileSystemWrapper::ReadFolder(folder);
  }
  std::optional<EntryInfo> Inspect(const std::string& path) override {
    Check(Operation::kInspect);
    return FileSystemWrapper::Inspect(path);
  }
  void MakeFolder(const std::string& path) override {
    Check(Operation::kMakeFolder);
    FileSystemWrapper::MakeFolder(path);
  }
  void RemoveFolder(const std::string& path) override {
    Check(Operation::kRemoveFolder);
    FileSystemWrapper::RemoveFolder(path);
  }
  void DeleteFile(const std::string& path) override {
    Check(Operation::kDeleteFile);
    FileSystemWrapper::DeleteFile(path);
  }
  Outcome Rename(const std::string& from, const std::string& to) override {
    if (auto answer = Answer(Operation::kRename)) return *answer;
    return FileSystemWrapper::Rename(from, to);
  }
  void ReplaceFile(const std::string& from, const std::string& to) override {
    Check(Operation::kReplaceFile);
    FileSystemWrapper::ReplaceFile(from, to);
  }
  Outcome CopyFile(const std::string& from, const std::string& to) override {
    if (auto answer = Answer(Operation::kCopyFile)) return *answer;
    return FileSystemWrapper::CopyFile(from, to);
  }
  Outcome WriteFile(const std::string& path, std::string_view data) override {
    if (auto answer = Answer(Operation::kWriteFile)) return *answer;
    return FileSystemWrapper::WriteFile(path, data);
  }
  void SyncFolder(const std::string& folder) override {
    Check(Operation::kSyncFolder);
    FileSystemWrapper::SyncFolder(folder);
  }
  void SetModificationTime(const std::string& path, struct timespec mtime) override {
    Check(Operation::kSetModificationTime);
    FileSystemWrapper::SetModificationTime(path, mtime);
  }
  FileStart ReadFile(const std::string& path, size_t limit) override {
    Check(Operation::kReadFile);
    return FileSystemWrapper::ReadFile(path, limit);
  }

 private:
  // Counts the call; throws the failure chosen for it.
  int Check(Operation operation) {
    int call = ++calls_[operation];
    auto fault = faults_.find({operation, call});
    if (fault != faults_.end()) {
      failed_ = true;
      throw Failure(fault->second, "injected");
    }
    return call;
  }
  std::optional<Outcome> Answer(Operation operation) {
    auto answer = answers_.find({operation, Check(operation)});
    if (answer == answers_.end()) return std::nullopt;
    return answer->second;
  }

  std::map<Operation, int> calls_;
  std::map<std::pair<Operation, int>, int> faults_;
  std::map<std::pair<Operation, int>, Outcome> answers_;
  bool failed_ = false;
};

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_SUPPORT_FAULTY_FILE_SYSTEM_H_
