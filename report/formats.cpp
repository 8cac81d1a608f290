#include "report/formats.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace report {

namespace {

// The length of the UTF-8 sequence at text[at], or 0 when none starts there.
size_t Utf8SequenceAt(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong form
    if (lead == 0xED) high = 0x9F;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string Hex2(unsigned value) {
  char text[8];
  snprintf(text, sizeof text, "%02x", value & 0xFF);
  return text;
}

// Columns a cell takes: characters when the cell is UTF-8, else bytes (a
// single-byte code page).
size_t Width(std::string_view cell) {
  size_t characters = 0;
  for (size_t at = 0; at < cell.size(); ++characters) {
    const size_t length = Utf8SequenceAt(cell, at);
    if (length == 0) return cell.size();
    at += length;
  }
  return characters;
}

std::string LineNumbers(const std::vector<SourceLine>& lines) {
  constexpr size_t kShown = 5;
  std::string text = lines.size() == 1 ? "line " : "lines ";
  for (size_t i = 0; i < lines.size() && i < kShown; ++i)
    text += (i == 0 ? "" : ", ") + std::to_string(lines[i].number);
  if (lines.size() > kShown) text += " and " + std::to_string(lines.size() - kShown) + " more";
  return text;
}

const std::array<const char*, 6> kColumns = {"Mailbox",      "Mailbox access", "CDO",
                                             "SMTP address", "Send-As",        "Web services"};

std::array<const Verdict*, 5> Verdicts(const MailboxRow& row) {
  return {&row.mailboxAccess, &row.cdo, &row.smtpAddress, &row.sendAs, &row.webServices};
}

std::string Summary(const Report& report) {
  const size_t total = report.mailboxes.size();
  if (total == 0) return "Caldrose report: no mailbox was tested.\n";
  size_t passed = 0;
  for (const MailboxRow& row : report.mailboxes) passed += row.Passed() ? 1 : 0;
  std::string text = "Caldrose report: " + std::to_string(total) + (total == 1 ? " mailbox; " : " mailboxes; ");
  if (passed == total) return text + (total == 1 ? "it passed every probe.\n" : "all passed every probe.\n");
  return text + std::to_string(passed) + " passed every probe, " + std::to_string(total - passed) + " did not.\n";
}

// A finding's line, and the further lines of its free text indented.
std::string FindingText(const Finding& finding, const char* indent) {
  std::string text;
  if (!finding.line.text.empty()) {
    size_t start = 0;
    for (;;) {
      const size_t end = finding.line.text.find('\n', start);
      if (start != 0) text += std::string("\n") + indent;
      text += ShowControlBytes(
          std::string_view(finding.line.text).substr(start, end == std::string::npos ? end : end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  if (!finding.note.empty()) text += (text.empty() ? "" : " (") + finding.note + (text.empty() ? "" : ")");
  return text;
}

// RFC 4180: a field with a comma, a quote, CR or LF is quoted, its quotes
// doubled.
std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + "\"";
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20) {
      out += "\\u00" + Hex2(c);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t length = Utf8SequenceAt(text, at); length != 0) {
      out.append(text.substr(at, length));
      at += length;
      continue;
    } else {
      out += "\\u00" + Hex2(c);  // a byte of a single-byte code page, read as Latin-1
    }
    ++at;
  }
  return out + "\"";
}

std::string JsonVerdict(const Verdict& verdict) {
  std::string out = "{\"passed\": " + std::string(verdict.passed ? "true" : "false") +
                    ", \"outcome\": " + JsonString(verdict.outcome) + ", \"text\": " + JsonString(verdict.text);
  if (!verdict.step.empty()) out += ", \"step\": " + JsonString(verdict.step);
  if (!verdict.status.empty()) out += ", \"status\": " + JsonString(verdict.status);
  if (!verdict.account.empty()) out += ", \"account\": " + JsonString(verdict.account);
  if (verdict.outcome == "report copied") out += ", \"lastLine\": " + JsonString(verdict.lastLine);
  return out + "}";
}

std::string JsonLines(const std::vector<SourceLine>& lines, const char* indent) {
  if (lines.empty()) return "[]";
  std::string out = "[";
  for (size_t i = 0; i < lines.size(); ++i)
    out += std::string(i == 0 ? "\n" : ",\n") + indent + "  {\"line\": " + std::to_string(lines[i].number) +
           ", \"text\": " + JsonString(lines[i].text) + "}";
  return out + "\n" + indent + "]";
}

}  // namespace

std::string ShowControlBytes(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    if (IsControl(static_cast<unsigned char>(c)))
      shown += "\\x" + Hex2(static_cast<unsigned char>(c));
    else
      shown += c;
  }
  return shown;
}

std::string FormatText(const Report& report) {
  std::string out = Summary(report);
  if (report.defaultStore) out += "Default message store: " + ShowControlBytes(*report.defaultStore) + "\n";

  if (!report.findings.empty()) {
    out += "\nFindings:\n";
    for (const Finding& finding : report.findings)
      out += "  line " + std::to_string(finding.line.number) + " (" + SectionName(finding.section) +
             "): " + FindingText(finding, "    ") + "\n";
  }

  if (!report.mailboxes.empty()) {
    bool anyUnrecognised = false;
    std::vector<std::vector<std::string>> table;
    table.emplace_back(kColumns.begin(), kColumns.end());
    for (const MailboxRow& row : report.mailboxes) {
      std::vector<std::string> cells = {ShowControlBytes(row.displayName)};
      for (const Verdict* verdict : Verdicts(row)) cells.push_back(ShowControlBytes(verdict->text));
      cells.push_back(row.unrecognised.empty() ? "" : LineNumbers(row.unrecognised));
      anyUnrecognised = anyUnrecognised || !row.unrecognised.empty();
      table.push_back(std::move(cells));
    }
    // The column of unrecognised lines only when a row has one.
    table[0].push_back(anyUnrecognised ? "Unrecognised" : "");
    const size_t columns = anyUnrecognised ? table[0].size() : table[0].size() - 1;
    // A column is as wide as its widest cell up to a bound; a longer cell
    // pushes the rest of its own row only, so that one long name does not
    // widen every row.
    constexpr size_t kWidestColumn = 64;
    std::vector<size_t> widths(columns, 0);
    for (const auto& cells : table)
      for (size_t c = 0; c < columns; ++c) widths[c] = std::min(std::max(widths[c], Width(cells[c])), kWidestColumn);
    const auto writeRow = [&](const std::vector<std::string>& cells) {
      std::string line;
      for (size_t c = 0; c < columns; ++c) {
        line += cells[c];
        if (c + 1 < columns) line.append(widths[c] - std::min(widths[c], Width(cells[c])) + 2, ' ');
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out += line + "\n";
    };
    out += "\n";
    writeRow(table[0]);
    std::vector<std::string> rule;
    for (size_t c = 0; c < columns; ++c) rule.push_back(std::string(widths[c], '-'));
    writeRow(rule);
    for (size_t r = 1; r < table.size(); ++r) writeRow(table[r]);
  }

  if (report.UnrecognisedCount() != 0) {
    out += "\nUnrecognised lines:\n";
    for (const SourceLine& line : report.unrecognised)
      out += "  line " + std::to_string(line.number) + ": " + ShowControlBytes(line.text) + "\n";
    // Under each row's name, which stands once: a name may be long.
    for (const MailboxRow& row : report.mailboxes) {
      if (row.unrecognised.empty()) continue;
      out += "  " + ShowControlBytes(row.displayName) + ":\n";
      for (const SourceLine& line : row.unrecognised)
        out += "    line " + std::to_string(line.number) + ": " + ShowControlBytes(line.text) + "\n";
    }
  }
  return out;
}

std::string FormatCsv(const Report& report) {
  std::string out;
  for (size_t c = 0; c < kColumns.size(); ++c) out += std::string(c == 0 ? "" : ",") + kColumns[c];
  out += ",Unrecognised lines\r\n";
  for (const MailboxRow& row : report.mailboxes) {
    out += CsvField(row.displayName);
    for (const Verdict* verdict : Verdicts(row)) out += "," + CsvField(verdict->text);
    std::string unrecognised;
    for (const SourceLine& line : row.unrecognised)
      unrecognised +=
          (unrecognised.empty() ? "" : "\n") + std::string("line ") + std::to_string(line.number) + ": " + line.text;
    out += "," + CsvField(unrecognised) + "\r\n";
  }
  return out;
}

std::string FormatFindingsForCsv(const Report& report) {
  std::string out;
  for (const Finding& finding : report.findings)
    out += "line " + std::to_string(finding.line.number) + " (" + SectionName(finding.section) +
           "): " + FindingText(finding, "    ") + "\n";
  for (const SourceLine& line : report.unrecognised)
    out += "line " + std::to_string(line.number) + " (unrecognised): " + ShowControlBytes(line.text) + "\n";
  return out;
}

std::string FormatJson(const Report& report) {
  std::string out = "{\n";
  out += "  \"passed\": " + std::string(report.AllPassed() ? "true" : "false") + ",\n";
  out += "  \"defaultStore\": " + (report.defaultStore ? JsonString(*report.defaultStore) : "null") + ",\n";
  out += "  \"findings\": [";
  for (size_t i = 0; i < report.findings.size(); ++i) {
    const Finding& finding = report.findings[i];
    out += std::string(i == 0 ? "\n" : ",\n") + "    {\"section\": " + JsonString(SectionName(finding.section)) +
           ", \"line\": " + std::to_string(finding.line.number) + ", \"text\": " + JsonString(finding.line.text);
    if (!finding.note.empty()) out += ", \"note\": " + JsonString(finding.note);
    out += "}";
  }
  out += report.findings.empty() ? "],\n" : "\n  ],\n";
  out += "  \"mailboxes\": [";
  for (size_t i = 0; i < report.mailboxes.size(); ++i) {
    const MailboxRow& row = report.mailboxes[i];
    out += std::string(i == 0 ? "\n" : ",\n") + "    {\n";
    out += "      \"displayName\": " + JsonString(row.displayName) + ",\n";
    out += "      \"line\": " + std::to_string(row.line) + ",\n";
    out += "      \"passed\": " + std::string(row.Passed() ? "true" : "false") + ",\n";
    out += "      \"mailboxAccess\": " + JsonVerdict(row.mailboxAccess) + ",\n";
    out += "      \"cdo\": " + JsonVerdict(row.cdo) + ",\n";
    out += "      \"smtpAddress\": " + JsonVerdict(row.smtpAddress) + ",\n";
    out += "      \"sendAs\": " + JsonVerdict(row.sendAs) + ",\n";
    out += "      \"webServices\": " + JsonVerdict(row.webServices) + ",\n";
    out += "      \"unrecognised\": " + JsonLines(row.unrecognised, "      ") + "\n";
    out += "    }";
  }
  out += report.mailboxes.empty() ? "],\n" : "\n  ],\n";
  out += "  \"unrecognised\": " + JsonLines(report.unrecognised, "  ") + "\n";
  return out + "}\n";
}

}  // namespace report
