// Verrick processes started one after another as the tool's platform
// starts them: with the organisation file named in the environment and its
// web services index shared. Prints the mean wall and CPU seconds of one
// process (the CPU time from wait4), so that scripts/measure_whole_runs.py
// can set them beside those of Verrick run on its own.
//
//   caldrose_verrick_runs VERRICK ORGANISATION ADDRESS RUNS
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/emulation/runtime/organisation.h"
#include "platform/emulation/runtime/web_services_index.h"

extern char** environ;

namespace {

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 || atoi(argv[4]) <= 0) {
    fprintf(stderr, "Usage: caldrose_verrick_runs VERRICK ORGANISATION ADDRESS RUNS\n");
    return 2;
  }
  const int runs = atoi(argv[4]);
  try {
    const emulation::OrganisationFile file(argv[2]);
    const emulation::SharedWebServicesIndex index(emulation::BuildWebServicesIndex(file.text(), file.identity()));
    if (!index.shared()) {
      fprintf(stderr, "caldrose_verrick_runs: no index of %s could be shared\n", argv[2]);
      return 1;
    }
    setenv("CALDROSE_ORGANISATION", argv[2], 1);
    // Verrick writes into a file that exists.
    char report[] = "/tmp/caldrose-verrick-runs-XXXXXX";
    const int reportFd = mkstemp(report);
    if (reportFd < 0) {
      perror("caldrose_verrick_runs: report file");
      return 1;
    }
    close(reportFd);
    std::string address = argv[3];
    std::string displayName = "Mailbox";
    char* arguments[] = {argv[1], address.data(), displayName.data(), report, nullptr};
    double wall = 0, cpu = 0;
    int failed = 0;
    for (int run = 0; run < runs && failed == 0; ++run) {
      const auto start = std::chrono::steady_clock::now();
      pid_t pid = 0;
      if (posix_spawn(&pid, argv[1], nullptr, nullptr, arguments, environ) != 0) {
        failed = -1;
        break;
      }
      int status = 0;
      rusage usage{};
      if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = pid;
      wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      cpu += Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    }
    unlink(report);
    if (failed != 0) {
      fprintf(stderr, "caldrose_verrick_runs: %s could not be started or failed\n", argv[1]);
      return 1;
    }
    printf("%.6f %.6f\n", wall / runs, cpu / runs);
  } catch (const emulation::OrganisationError& error) {
    fprintf(stderr, "caldrose_verrick_runs: %s\n", error.what());
    return 1;
  }
  return 0;
}
