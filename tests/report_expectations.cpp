#include "report_expectations.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "report/transcript.h"

namespace {

using Json = nlohmann::json;

const Json& Expectations() {
  static const Json table = [] {
    std::ifstream file(CALDROSE_REPORT_CASES, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return Json::parse(text.str());
  }();
  return table;
}

// The report as the table writes it: the findings as "section: line" (with
// the note after the line, if any), the rows as their cells.
Json Actual(const report::Report& report) {
  Json findings = Json::array();
  for (const report::Finding& finding : report.findings) {
    std::string text = std::string(report::SectionName(finding.section)) + ": " + finding.line.text;
    if (!finding.note.empty()) text += " [" + finding.note + "]";
    findings.push_back(text);
  }
  Json unrecognised = Json::array();
  for (const report::SourceLine& line : report.unrecognised)
    unrecognised.push_back(std::to_string(line.number) + ": " + line.text);
  Json actual = {{"findings", findings}, {"rows", RowsOf(report)}, {"exitCode", report::ExitCode(report, false)}};
  if (!unrecognised.empty()) actual["unrecognised"] = unrecognised;
  return actual;
}

}  // namespace

std::vector<std::vector<std::string>> RowsOf(const report::Report& report) {
  std::vector<std::vector<std::string>> rows;
  for (const report::MailboxRow& row : report.mailboxes) {
    std::vector<std::string> cells = {row.displayName,      row.mailboxAccess.text, row.cdo.text,
                                      row.smtpAddress.text, row.sendAs.text,        row.webServices.text};
    for (const report::SourceLine& line : row.unrecognised)
      cells.push_back("unrecognised line " + std::to_string(line.number) + ": " + line.text);
    rows.push_back(std::move(cells));
  }
  return rows;
}

bool HasReportExpectation(const std::string& key) { return Expectations().contains(key); }

void ExpectReport(const std::string& key, const std::string& transcript) {
  const Json actual = Actual(report::ReadTranscript(transcript));
  if (!HasReportExpectation(key)) {
    ADD_FAILURE() << "tests/transcripts/reports.json has no entry \"" << key << "\"; the report gives:\n"
                  << Json{{key, actual}}.dump(2);
    return;
  }
  EXPECT_EQ(actual, Expectations().at(key)) << "the report of " << key << " gives:\n" << actual.dump(2);
}
