// One whole run of the tool in this process, measured: the tool's own CPU
// time and that of its children (the Verrick processes) apart, the wall
// time, the peak memory and the platform calls the run made.
//
//   caldrose_whole_run ORGANISATION MAILBOXES
//
// picks the first MAILBOXES entries of the address book, as the dialog line
// "1,2,...,MAILBOXES" does, and prints one line of figures on standard
// output; the tool's own output is discarded. The emulation keeps only
// what is recent, as from the command line. The heap in use is taken at the
// start of every mailbox (its first call, the store entry ID): it grows
// over the first few dozen mailboxes, while the emulation's window of
// recently released objects fills, and is flat from there: the middle
// mailbox and the last start with the same heap.
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "driver/caldrose.h"
#include "platform/emulation/control.h"

namespace {

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

struct HeapAtMailboxStarts {
  long middleMailbox = 1;
  long lastMailbox = 1;
  size_t first = 0;
  size_t middle = 0;
  size_t last = 0;
  long mailboxes = 0;
} heap;

void TakeHeapAtMailboxStart(std::string_view operation) {
  if (operation != "IExchangeManageStore::CreateStoreEntryID") return;
  ++heap.mailboxes;
  // mallinfo2 walks the free lists: taken three times, not at every mailbox.
  if (heap.mailboxes != 1 && heap.mailboxes != heap.middleMailbox && heap.mailboxes != heap.lastMailbox) return;
  const struct mallinfo2 info = mallinfo2();
  const size_t inUse = info.uordblks + info.hblkhd;
  if (heap.mailboxes == 1) heap.first = inUse;
  if (heap.mailboxes == heap.middleMailbox) heap.middle = inUse;
  if (heap.mailboxes == heap.lastMailbox) heap.last = inUse;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "Usage: caldrose_whole_run ORGANISATION MAILBOXES\n");
    return 2;
  }
  const long mailboxes = strtol(argv[2], nullptr, 10);
  std::ifstream file(argv[1], std::ios::binary);
  if (!file || mailboxes < 1) {
    fprintf(stderr, "caldrose_whole_run: cannot read %s, or no mailboxes\n", argv[1]);
    return 2;
  }
  std::ostringstream text;
  text << file.rdbuf();
  setenv("CALDROSE_ORGANISATION", argv[1], 1);  // for Verrick

  std::string answers = "\n";
  for (long i = 1; i <= mailboxes; ++i) answers += (i == 1 ? "" : ",") + std::to_string(i);
  answers += "\n";
  FILE* input = fmemopen(answers.data(), answers.size(), "r");

  emulation::SetRetention(emulation::Retention::Recent);
  emulation::UseOrganisationText(text.str(), argv[1]);
  emulation::UseDialogInput(input);
  heap.middleMailbox = (mailboxes + 1) / 2;
  heap.lastMailbox = mailboxes;
  emulation::ObserveCalls(TakeHeapAtMailboxStart);
  fflush(stdout);
  const int saved = dup(fileno(stdout));
  if (freopen("/dev/null", "w", stdout) == nullptr) return 2;

  const auto started = std::chrono::steady_clock::now();
  char program[] = "caldrose";
  char* arguments[] = {program, nullptr};
  RunCaldrose(1, arguments);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  fflush(stdout);
  dup2(saved, fileno(stdout));
  rusage self{}, children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  const double own = Seconds(self.ru_utime) + Seconds(self.ru_stime);
  const double verrick = Seconds(children.ru_utime) + Seconds(children.ru_stime);
  const unsigned long calls = emulation::CallCount();
  printf(
      "mailboxes %ld  wall %.2f s  own CPU %.2f s (%.3f ms per mailbox)  Verrick CPU %.2f s (%.3f ms per mailbox)  "
      "platform calls %lu (%.1f per mailbox)  peak memory %ld KiB  heap at the first mailbox %zu KiB, at the "
      "middle %zu KiB, at the last %zu KiB\n",
      mailboxes, wall, own, own * 1000 / mailboxes, verrick, verrick * 1000 / mailboxes, calls,
      static_cast<double>(calls) / mailboxes, self.ru_maxrss, heap.first / 1024, heap.middle / 1024, heap.last / 1024);
  fclose(input);
  return 0;
}
