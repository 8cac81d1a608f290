// caldrose-report: reads a saved transcript of a run of the tool, from a
// file or standard input, and writes one row per mailbox with one verdict
// per probe.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "report/formats.h"
#include "report/transcript.h"

#ifdef _WIN32
// The C runtime's own: in text mode it would end standard input at the
// first 0x1A byte and turn each LF written into CR LF.
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr const char* kUsage =
    "Usage: caldrose-report [--csv | --json] [--lenient] [TRANSCRIPT]\n"
    "\n"
    "Reads the saved standard output of a run of Caldrose (TRANSCRIPT, or standard\n"
    "input when it is absent or \"-\") and writes one row per mailbox with one verdict\n"
    "per probe: an aligned text table, or CSV (--csv), or JSON (--json).\n"
    "\n"
    "  --lenient  a line that belongs nowhere is listed but does not make the exit code 2\n"
    "\n"
    "Exit code: 0 when every verdict is a pass, 1 when one is not or the run printed\n"
    "a failure before or after the mailboxes, 2 when the input cannot be read as a\n"
    "transcript (the message names the line) or the command line is wrong.\n";

enum class Format { Text, Csv, Json };

bool ReadAll(std::FILE* file, std::string& text) {
  char buffer[65536];
  size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, file)) != 0) text.append(buffer, read);
  return std::ferror(file) == 0;
}

void Complain(const std::string& message) { std::fprintf(stderr, "caldrose-report: %s\n", message.c_str()); }

// What stands in the way of exit code 0 or 1, line by line, on standard
// error; the first few only, the report lists them all.
void ComplainOfUnrecognisedLines(const report::Report& report, const std::string& source, bool lenient,
                                 bool outsideBlocksListed) {
  constexpr size_t kShown = 10;
  size_t shown = 0;
  const auto complain = [&](const report::SourceLine& line, const report::MailboxRow* row) {
    if (shown++ >= kShown) return;
    std::string text = source + ": line " + std::to_string(line.number) + ": no line the tool prints ";
    text += row == nullptr ? "here" : "at this point of the block of \"" + row->displayName + "\"";
    text += ": " + line.text;
    Complain(report::ShowControlBytes(text));
  };
  if (!outsideBlocksListed)
    for (const report::SourceLine& line : report.unrecognised) complain(line, nullptr);
  for (const report::MailboxRow& row : report.mailboxes)
    for (const report::SourceLine& line : row.unrecognised) complain(line, &row);
  if (shown > kShown) Complain(source + ": " + std::to_string(shown - kShown) + " more such lines");
  if (report.UnrecognisedCount() != 0 && !lenient) Complain("--lenient lists such lines without failing");
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  Format format = Format::Text;
  bool lenient = false;
  std::string path;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!optionsEnded && argument == "--csv") {
      format = Format::Csv;
    } else if (!optionsEnded && argument == "--json") {
      format = Format::Json;
    } else if (!optionsEnded && argument == "--lenient") {
      lenient = true;
    } else if (!optionsEnded && (argument == "--help" || argument == "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && argument.size() > 1 && argument.starts_with('-')) {
      Complain("unknown option \"" + std::string(argument) + "\"");
      std::fputs(kUsage, stderr);
      return 2;
    } else if (!path.empty()) {
      Complain("one transcript at a time: \"" + path + "\" and \"" + std::string(argument) + "\"");
      return 2;
    } else {
      path = argument;
    }
  }

  std::string transcript;
  const bool fromStandardInput = path.empty() || path == "-";
  const std::string source = fromStandardInput ? "standard input" : path;
  if (fromStandardInput) {
    if (!ReadAll(stdin, transcript)) {
      Complain("cannot read standard input: " + std::string(std::strerror(errno)));
      return 2;
    }
  } else {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      Complain("cannot open \"" + path + "\": " + std::strerror(errno));
      return 2;
    }
    const bool read = ReadAll(file, transcript);
    std::fclose(file);
    if (!read) {
      Complain("cannot read \"" + path + "\": " + std::strerror(errno));
      return 2;
    }
  }

  const report::Report report = report::ReadTranscript(transcript);
  if (report.unreadable) {
    Complain(source + ": " + *report.unreadable);
    return 2;
  }

  std::string output;
  switch (format) {
    case Format::Text:
      output = report::FormatText(report);
      break;
    case Format::Csv:
      output = report::FormatCsv(report);
      break;
    case Format::Json:
      output = report::FormatJson(report);
      break;
  }
  if (format == Format::Csv) {
    // The findings are not records of the table.
    const std::string findings = report::FormatFindingsForCsv(report);
    std::fwrite(findings.data(), 1, findings.size(), stderr);
  }
  std::fwrite(output.data(), 1, output.size(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    Complain("cannot write the report: " + std::string(std::strerror(errno)));
    return 2;
  }
  ComplainOfUnrecognisedLines(report, source, lenient, format == Format::Csv);
  return report::ExitCode(report, lenient);
}
