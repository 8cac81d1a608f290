// The report program's reading of any bytes as a transcript: no crash and
// no hang, the same report whether the lines end in LF or CR LF, and its
// three forms well formed: the JSON parses, the CSV splits back into one
// record of seven fields per mailbox, and the text table holds no control
// byte but its line ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "report/formats.h"
#include "report/transcript.h"

namespace {

// RFC 4180 records: each a list of fields.
std::vector<std::vector<std::string>> SplitCsv(std::string_view csv) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < csv.size(); ++i) {
    const char c = csv[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < csv.size() && csv[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"' && field.empty()) {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n') {
      fields.push_back(std::move(field));
      field.clear();
      records.push_back(std::move(fields));
      fields.clear();
      ++i;
    } else {
      field += c;
    }
  }
  if (quoted || !field.empty() || !fields.empty()) abort();  // the last record ends with CR LF
  return records;
}

std::string Rows(const report::Report& report) {
  std::string rows;
  for (const report::MailboxRow& row : report.mailboxes)
    rows += row.displayName + '\0' + row.mailboxAccess.text + '\0' + row.cdo.text + '\0' + row.smtpAddress.text + '\0' +
            row.sendAs.text + '\0' + row.webServices.text + '\0' + std::to_string(row.unrecognised.size()) + '\n';
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view transcript(reinterpret_cast<const char*>(data), size);
  const report::Report report = report::ReadTranscript(transcript);
  const int exitCode = report::ExitCode(report, false);
  if (exitCode < 0 || exitCode > 2 || report::ExitCode(report, true) > exitCode) abort();

  // A transcript without CR is read the same with CR LF line ends.
  if (transcript.find('\r') == std::string_view::npos) {
    std::string crLf;
    for (const char c : transcript) crLf += c == '\n' ? std::string_view("\r\n") : std::string_view(&c, 1);
    if (Rows(report::ReadTranscript(crLf)) != Rows(report)) abort();
  }

  if (!nlohmann::json::accept(report::FormatJson(report))) abort();

  const auto records = SplitCsv(report::FormatCsv(report));
  if (records.size() != report.mailboxes.size() + 1) abort();
  for (const auto& record : records)
    if (record.size() != 7) abort();
  for (size_t i = 0; i < report.mailboxes.size(); ++i)
    if (records[i + 1][0] != report.mailboxes[i].displayName) abort();

  for (const char c : report::FormatText(report)) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\n') || byte == 0x7F) abort();
  }
  return 0;
}
