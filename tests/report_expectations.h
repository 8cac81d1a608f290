// The report program's reading of the transcripts that the transcript tests
// produce, checked against the expected tables in
// tests/transcripts/reports.json (one entry per transcript, by key).
#pragma once

#include <string>

// Reads transcript (a whole run's standard output, banner included) and
// checks its findings, its rows and its exit code against the entry key.
// A missing entry fails, printing the entry the report gives.
void ExpectReport(const std::string& key, const std::string& transcript);

// Whether the table has an entry for key.
bool HasReportExpectation(const std::string& key);
