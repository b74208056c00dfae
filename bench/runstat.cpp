// Stand-in for /usr/bin/time where it is missing: runs a command and prints
// "elapsed=<seconds> cpu=<seconds> maxrss_kb=<KiB>" to stderr when it ends.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: runstat COMMAND [ARG...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    return 1;
  }
  if (pid == 0) {
    execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) < 0) {
    std::perror("wait4");
    return 1;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  std::fprintf(stderr, "elapsed=%.3f cpu=%.3f maxrss_kb=%ld\n", elapsed.count(),
               seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
