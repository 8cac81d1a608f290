// The report's three forms: an aligned text table for a ticket, CSV for a
// spreadsheet and JSON for a program.
#pragma once

#include <string>
#include <string_view>

#include "report/transcript.h"

namespace report {

// text with each control byte as \xNN, so that it stays on one line.
std::string ShowControlBytes(std::string_view text);

// The default: a summary, the findings above the table, the table, and the
// unrecognised lines below it. Control bytes show as \xNN.
std::string FormatText(const Report& report);

// One record per mailbox, quoted as RFC 4180 says, CR LF between records,
// bytes as the transcript had them. The findings are not rows: see
// FormatFindingsForCsv.
std::string FormatCsv(const Report& report);

// The findings, one line each, for standard error beside the CSV.
std::string FormatFindingsForCsv(const Report& report);

// One object for the run, with one object per mailbox. Bytes that are not
// UTF-8 are read as Latin-1 (\u00NN), so that the JSON is valid whatever
// the transcript held.
std::string FormatJson(const Report& report);

}  // namespace report
