// Reads a saved transcript of a run of the tool (its standard output) back
// into one verdict per picked mailbox and probe, and the lines printed
// before the first mailbox (start-up, operator lookup, picker) or at the
// clean-up. Standard C++ alone: it runs wherever the transcript was saved.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace report {

// One line of the transcript as it was printed, without its line end;
// numbered from 1.
struct SourceLine {
  size_t number = 0;
  std::string text;
};

enum class Section { StartUp, OperatorLookup, Picker, Mailboxes, CleanUp };
const char* SectionName(Section section);

// A line reported once, above the table.
struct Finding {
  Section section = Section::StartUp;
  SourceLine line;   // a COM error's free text may have continued over further lines
  std::string note;  // what the line means, where the line alone does not say it
};

// The verdict on one probe of one mailbox.
struct Verdict {
  bool passed = false;
  std::string outcome;   // "passed", "failed", "resolved", "granted", "report copied", "not run", ...
  std::string text;      // the table's cell
  std::string step;      // mailbox access: the failing step; CDO: the reason
  std::string status;    // the status the line printed, as printed
  std::string account;   // Send-As: the account named by the no-permission line
  std::string lastLine;  // web services: the copied report's last line that is not empty
};

struct MailboxRow {
  std::string displayName;
  size_t line = 0;  // the block's first line
  Verdict mailboxAccess;
  Verdict cdo;
  Verdict smtpAddress;
  Verdict sendAs;
  Verdict webServices;
  std::vector<SourceLine> unrecognised;

  bool Passed() const;
};

struct Report {
  std::optional<std::string> defaultStore;  // from "Opening Default Message Store ..."
  std::vector<Finding> findings;
  std::vector<MailboxRow> mailboxes;
  // Lines that belong to no mailbox and are none of the tool's.
  std::vector<SourceLine> unrecognised;
  // Set when the input is no transcript at all: why, for its first line.
  std::optional<std::string> unreadable;

  size_t UnrecognisedCount() const;
  // Every verdict a pass, no finding and no unrecognised line.
  bool AllPassed() const;
};

// Reads the transcript: LF or CR LF line ends (as the first line has it),
// any bytes. Never throws for any input, and takes time linear in its size.
Report ReadTranscript(std::string_view transcript);

// 0 when everything passed, 1 when a verdict is not a pass or a finding was
// printed, 2 when the input is no transcript or (unless lenient) holds a
// line that cannot be placed.
int ExitCode(const Report& report, bool lenient);

}  // namespace report
