// Runs one program and writes to descriptor 3 how long it took, its peak
// resident size and how it ended: "SECONDS PEAK_KIB STATUS".
//   varnelo-bench-launch PROGRAM [ARGUMENT...]
//
// The kernel counts into a program's peak every memory image its process
// had, the one it was started from included. Started from this small
// process by a plain fork, a program's peak is its own, not the runner's
// (which holds whole decoded pictures at times).

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {

double Now() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: varnelo-bench-launch PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  double start = Now();
  pid_t child = fork();
  if (child == 0) {
    close(3);
    execvp(argv[1], argv + 1);
    std::fprintf(stderr, "cannot start %s\n", argv[1]);
    _exit(127);
  }
  if (child < 0) return 1;
  int status = 0;
  struct rusage usage = {};
  while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  double seconds = Now() - start;
  dprintf(3, "%.9f %ld %d\n", seconds, usage.ru_maxrss,
          WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return 0;
}
