#include "bench/measure.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

extern char** environ;

namespace varnelo::bench {
namespace {

class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return text;
    text.append(buffer, got);
  }
}

}  // namespace

Sample RunProgram(const std::vector<std::string>& argv) {
  std::vector<char*> arguments = {const_cast<char*>(VARNELO_BENCH_LAUNCH)};
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  int output[2];
  int result[2];
  if (pipe2(output, O_CLOEXEC) != 0 || pipe2(result, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe");
  }
  SpawnActions actions;
  posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(actions.get(), output[1], 1);
  posix_spawn_file_actions_adddup2(actions.get(), output[1], 2);
  posix_spawn_file_actions_adddup2(actions.get(), result[1], 3);
  pid_t launcher;
  int spawned =
      posix_spawn(&launcher, arguments[0], actions.get(), nullptr, arguments.data(), environ);
  close(output[1]);
  close(result[1]);
  Sample sample;
  if (spawned == 0) {
    sample.output = ReadAll(output[0]);
    std::string measured = ReadAll(result[0]);
    while (waitpid(launcher, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (std::sscanf(measured.c_str(), "%lf %ld %d", &sample.seconds, &sample.peak_kib,
                    &sample.exit_status) != 3) {
      sample.exit_status = -1;
    }
  } else {
    sample.output = "cannot start " + std::string(arguments[0]);
  }
  close(output[0]);
  close(result[0]);
  return sample;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void SettleVolume(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  syncfs(fd);
  close(fd);
}

long long FreeBytes(const std::string& path) {
  struct statvfs info;
  if (statvfs(path.c_str(), &info) != 0) return 0;
  return static_cast<long long>(info.f_bavail) * info.f_frsize;
}

}  // namespace varnelo::bench
