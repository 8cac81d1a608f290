// The report program's reading of the transcripts that the transcript tests
// produce, checked against the expected tables in
// tests/transcripts/reports.json (one entry per transcript, by key).
#pragma once

#include <string>
#include <vector>

#include "report/transcript.h"

// Reads transcript (a whole run's standard output, banner included) and
// checks its findings, its rows and its exit code against the entry key.
// A missing entry fails, printing the entry the report gives.
void ExpectReport(const std::string& key, const std::string& transcript);

// Whether the table has an entry for key.
bool HasReportExpectation(const std::string& key);

// Each row as its cells: the display name, the five verdicts, then
// "unrecognised line N: text" for each line the row could not place.
std::vector<std::vector<std::string>> RowsOf(const report::Report& report);
