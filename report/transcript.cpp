#include "report/transcript.h"

#include <algorithm>
#include <iterator>

namespace report {

namespace {

constexpr std::string_view kBanner[] = {
    "Tamberlyn Utility - Caldrose.exe (IExchangeManageStore), Version 1.0",
    "Copyright (c) Tamberlyn. All rights reserved.",
};

constexpr std::string_view kUsage[] = {
    "Usage: Caldrose [Domain Controller Name]",
    "",
    "[Domain Controller Name]",
    "\tSpecifies an optional domain controller name for the LDAP query.",
    "",
    "This program uses IExchangeManageStore and CDO to open a mailbox.",
    "",
    "The program prompts the user for a MAPI profile.",
    "The user will then be prompted for a mailbox using the Global Address Book.",
    "",
    "NOTE: if the test fails please refer to the Administration Guide",
    "      for Exchange permission information",
    "",
};

// A mailbox's block starts with "<display name>: Opening message store
// using " and two lines, each a tab and a distinguished name.
constexpr std::string_view kOpeningSuffix = ": Opening message store using ";
constexpr std::string_view kCleanUpLine = "Exception caught for IADWrapper::Close";

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

bool IsHex(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsHexDigit); }

// "<prefix><status><suffix>" with a "%08lx" status: exactly eight digits.
std::optional<std::string_view> StatusLine(std::string_view line, std::string_view prefix,
                                           std::string_view suffix = ")") {
  if (line.size() != prefix.size() + 8 + suffix.size() || !line.starts_with(prefix) || !line.ends_with(suffix))
    return std::nullopt;
  const std::string_view status = line.substr(prefix.size(), 8);
  if (!IsHex(status)) return std::nullopt;
  return status;
}

// "<prefix><status>" with a "%I64x" status: one to sixteen digits.
bool IsWideStatusLine(std::string_view line, std::string_view prefix) {
  if (!line.starts_with(prefix)) return false;
  const std::string_view status = line.substr(prefix.size());
  return status.size() <= 16 && IsHex(status);
}

// "<prefix><status><rest>": a "%08lx" status followed by free text.
bool IsStatusThenText(std::string_view line, std::string_view prefix, std::string_view between) {
  if (line.size() < prefix.size() + 8 + between.size() || !line.starts_with(prefix)) return false;
  return IsHex(line.substr(prefix.size(), 8)) && line.substr(prefix.size() + 8).starts_with(between);
}

// The directory's lines about one SMTP address: "{address} ...". The
// address may hold anything, braces included, so the line is known by its
// end.
bool IsAddressLine(std::string_view line) {
  if (!line.starts_with('{')) return false;
  const std::string_view body = line.substr(1);
  for (const std::string_view ending : {"} Unable to find user in AD", "} Invalid variant type"})
    if (body.ends_with(ending)) return true;
  // The rest end in a "%I64x" value.
  const size_t space = body.rfind(' ');
  if (space == std::string_view::npos) return false;
  const std::string_view value = body.substr(space + 1);
  if (value.size() > 16 || !IsHex(value)) return false;
  const std::string_view text = body.substr(0, space + 1);
  for (const std::string_view ending :
       {"} Failed to get RootDSE ", "} Failed to get defaultNamingContext ", "} Failed to create recordset object ",
        "} Unable to get the user object ", "} Unable to get NTSecurityDescriptor ",
        "} Unable to get the DescretionaryACL ", "} Unable to get the AccessControlList ",
        "} Unable to enumerate the AccessControlList ", "} Unable to query the enumeration for the AccessControlList ",
        "} Unexpected variant for the AccessControlList "})
    if (text.ends_with(ending)) return true;
  // "{address} Unable to get AD object <ADsPath> due to <status>".
  return text.ends_with(" due to ") && text.find("} Unable to get AD object ") != std::string_view::npos;
}

// The COM error line of a directory method; its texts are free, and may run
// over several lines.
bool IsComErrorLine(std::string_view line, std::string_view method) {
  return line.starts_with(method) && line.substr(method.size()).starts_with(": COM Error 0x");
}

bool IsExceptionLine(std::string_view line, std::string_view method) {
  constexpr std::string_view kPrefix = "Exception caught for ";
  return line.size() == kPrefix.size() + method.size() && line.starts_with(kPrefix) && line.ends_with(method);
}

struct Placement {
  Section section;
  bool freeText = false;  // a COM error line: the lines after it may continue it
};

// Where a line printed before the first mailbox belongs, if it is the
// tool's.
std::optional<Placement> PlaceBeforeMailboxes(std::string_view line) {
  for (const std::string_view prefix :
       {"MAPIInitialize() failed (", "MAPILogonEx() failed (", "GetMsgStoresTable() failed (",
        "HrQueryAllRows() failed (", "OpenMsgStore() for this profile failed (", "QueryInterface() failed (",
        "OpenAddressBook() failed (", "Failed to open Active Directory (", "QueryIdentity() failed (",
        "OpenEntry failed for the current profile (", "Resolving SMTP address failed ("})
    if (StatusLine(line, prefix)) return Placement{Section::StartUp};
  if (line == "Could not find default message store for profile chosen" ||
      IsWideStatusLine(line, "Failed to create AD connection object ") || IsExceptionLine(line, "IADWrapper::Open") ||
      IsExceptionLine(line, "IADWrapper::Close"))
    return Placement{Section::StartUp};
  if (IsComErrorLine(line, "IADWrapper::Open")) return Placement{Section::StartUp, true};

  if (IsAddressLine(line) || IsExceptionLine(line, "IADWrapper::GetUserObject") ||
      IsExceptionLine(line, "IADWrapper::GetAccountNames") ||
      IsWideStatusLine(line, "Unable to build the array string ") ||
      IsWideStatusLine(line, "Unable to get the tokenGroups property ") ||
      IsWideStatusLine(line, "Unable to get the tokenGroups ") ||
      IsStatusThenText(line, "GetUserObject failed (", ") for ") ||
      IsStatusThenText(line, "GetAccountNames failed (", ") for "))
    return Placement{Section::OperatorLookup};
  if (IsComErrorLine(line, "IADWrapper::GetUserObject") || IsComErrorLine(line, "IADWrapper::GetAccountNames"))
    return Placement{Section::OperatorLookup, true};

  for (const std::string_view prefix : {"Display GAL failed (", "OpenEntry failed for user chosen from Address Book (",
                                        "GetProps failed (", "Failed to load user properties for address list ("})
    if (StatusLine(line, prefix)) return Placement{Section::Picker};
  if (line == "No addresses returned") return Placement{Section::Picker};
  return std::nullopt;
}

Verdict Passed(const char* outcome) { return Verdict{true, outcome, outcome, {}, {}, {}, {}}; }

Verdict NotRun() { return Verdict{false, "not run", "not run", {}, {}, {}, {}}; }

Verdict Missing() { return Verdict{false, "missing", "missing: no line", {}, {}, {}, {}}; }

std::string WithStatus(std::string text, std::string_view status) {
  if (!status.empty()) text += " (" + std::string(status) + ")";
  return text;
}

// Reads the lines of one mailbox's block in the order the tool prints
// them; a line out of that order is not placed.
class BlockReader {
 public:
  BlockReader(std::string_view displayName, size_t line) {
    row_.displayName = std::string(displayName);
    row_.line = line;
  }

  // Whether the line is one the block may hold at this point.
  bool Take(std::string_view line) {
    for (;;) {
      const std::optional<std::string_view> own = Own(line);
      switch (stage_) {
        case Stage::MailboxDn:
        case Stage::HomeMdbDn:
          if (line.starts_with('\t')) {
            stage_ = stage_ == Stage::MailboxDn ? Stage::HomeMdbDn : Stage::Mapi;
            return true;
          }
          stage_ = Stage::Mapi;
          continue;
        case Stage::Mapi:
          if (const auto status = StatusLine(line, "CreateStoreEntryID failed ("))
            return MapiFailed("entry ID", *status);
          if (!own) return false;
          if (const auto status = StatusLine(*own, "OpenMsgStore failed (")) return MapiFailed("open", *status);
          return Advance(*own == "Mailbox opened successfully", Stage::MapiOpened);
        case Stage::MapiOpened:
          if (!own) return false;
          if (const auto status = StatusLine(*own, "Open Root Folder failed ("))
            return MapiFailed("root folder", *status);
          return Advance(*own == "Root Folder opened successfully", Stage::MapiRootOpened);
        case Stage::MapiRootOpened:
          if (!own) return false;
          if (*own == "Failed to create a folder in mailbox") return MapiFailed("create", {});
          return Advance(*own == "Folder created successfully", Stage::MapiCreated);
        case Stage::MapiCreated:
          if (!own) return false;
          if (const auto status = StatusLine(*own, "Failed to get EntryID for created folder ("))
            return MapiFailed("entry ID of the folder", *status);
          if (const auto status = StatusLine(*own, "Failed to delete test folder, ("))
            return MapiFailed("delete", *status);
          return Advance(*own == "Test folder deleted successfully", Stage::MapiDeleted);
        case Stage::MapiDeleted:
          if (!own || *own != "MAPI test completed successfully") return false;
          row_.mailboxAccess = Passed("passed");
          stage_ = Stage::Cdo;
          return true;
        case Stage::Cdo:
          if (!own) return false;
          if (own->starts_with("Unable to extract Exchange server name(1): ")) return CdoReason("server name (1)", {});
          if (own->starts_with("Unable to extract Exchange server name(2): ")) return CdoReason("server name (2)", {});
          return Advance(own->starts_with("CDO Server Name: "), Stage::CdoServer);
        case Stage::CdoServer:
          return Advance(own && own->starts_with("CDO Mailbox DN: "), Stage::CdoMailboxDn);
        case Stage::CdoMailboxDn:
          if (!own) return false;
          if (const auto status = StatusLine(*own, "CreateInstance failed (0x"))
            return CdoReason("CreateInstance", *status);
          if (CdoException(*own)) return true;
          return Advance(*own == "CDO logon successful", Stage::CdoLoggedOn);
        case Stage::CdoLoggedOn:
          if (!own) return false;
          if (CdoException(*own)) return true;
          return Advance(*own == "Get default calendar folder successful", Stage::CdoFolder);
        case Stage::CdoFolder:
          if (!own) return false;
          if (CdoException(*own)) return true;
          if (!own->starts_with("Get calendar folder name successful: '") || !own->ends_with("'")) return false;
          named_ = true;
          stage_ = Stage::CdoNamed;
          return true;
        case Stage::CdoNamed:
          if (!own) return false;
          return CdoException(*own) || CdoVerdict(*own);
        case Stage::CdoException:
          if (line.starts_with("    Description = ")) {
            stage_ = Stage::CdoDescription;
            return true;
          }
          // The code's meaning may run over several lines.
          if (own) CdoVerdict(*own);
          return true;
        case Stage::CdoDescription:
          // So may the description.
          if (own) CdoVerdict(*own);
          return true;
        case Stage::CdoVerdict:
          return own && CdoVerdict(*own);
        case Stage::Smtp:
          if (own) {
            if (const auto status = StatusLine(*own, "Failed to resolve the SMTP address (")) {
              row_.smtpAddress =
                  Verdict{false, "failed", WithStatus("failed", *status), {}, std::string(*status), {}, {}};
              row_.sendAs = NotRun();
              row_.webServices = NotRun();
              stage_ = Stage::Done;
              return true;
            }
          }
          stage_ = Stage::SendAs;
          continue;
        case Stage::SendAs:
        case Stage::SendAsComError:
          if (SendAsLine(line, own)) return true;
          // The texts of a COM error line may run over several lines.
          return stage_ == Stage::SendAsComError;
        case Stage::Web:
        case Stage::WebUnableToExecute:
          if (own && *own == "Could not create temporary file for Verrick" && stage_ == Stage::Web)
            return WebFailed("could not create the report file");
          if (own && *own == "Could not open temporary file for Verrick")
            return WebFailed(stage_ == Stage::Web ? "could not open the report file"
                                                  : "unable to execute Verrick; could not open the report file");
          if (own && *own == "Unable to execute Verrick" && stage_ == Stage::Web) {
            stage_ = Stage::WebUnableToExecute;
            return true;
          }
          unableToExecute_ = stage_ == Stage::WebUnableToExecute;
          stage_ = Stage::WebReport;
          continue;
        case Stage::WebReport:
          // Verrick's report, copied as it is: every line is its own.
          if (!line.empty()) lastReportLine_ = line;
          return true;
        case Stage::Done:
          return false;
      }
      return false;
    }
  }

  // After the block's last line has been placed: nothing more is expected.
  bool Done() const { return stage_ == Stage::Done; }

  void Unrecognised(size_t number, std::string_view line) {
    row_.unrecognised.push_back(SourceLine{number, std::string(line)});
  }

  // The row, with a "missing" verdict for each probe whose line never came.
  MailboxRow Finish() {
    if (stage_ == Stage::Web) row_.webServices = Verdict{false, "no report", "no report", {}, {}, {}, {}};
    if (stage_ == Stage::WebUnableToExecute)
      row_.webServices = Verdict{false, "unable to execute", "unable to execute Verrick", {}, {}, {}, {}};
    if (stage_ == Stage::WebReport) {
      Verdict& web = row_.webServices;
      web.outcome = "report copied";
      web.lastLine = std::string(lastReportLine_);
      web.passed = !unableToExecute_ && lastReportLine_ == "Result: passed";
      web.text = std::string(unableToExecute_ ? "unable to execute Verrick; " : "") + "report copied" +
                 (lastReportLine_.empty() ? "" : ": " + web.lastLine);
    }
    for (Verdict* verdict : {&row_.mailboxAccess, &row_.cdo, &row_.smtpAddress, &row_.sendAs, &row_.webServices})
      if (verdict->outcome.empty()) *verdict = Missing();
    return std::move(row_);
  }

 private:
  enum class Stage {
    MailboxDn,
    HomeMdbDn,
    Mapi,
    MapiOpened,
    MapiRootOpened,
    MapiCreated,
    MapiDeleted,
    Cdo,
    CdoServer,
    CdoMailboxDn,
    CdoLoggedOn,
    CdoFolder,
    CdoNamed,
    CdoException,
    CdoDescription,
    CdoVerdict,
    Smtp,
    SendAs,
    SendAsComError,
    Web,
    WebUnableToExecute,
    WebReport,
    Done,
  };

  // The text after "<display name>: ", on a line about this mailbox.
  std::optional<std::string_view> Own(std::string_view line) const {
    const std::string& name = row_.displayName;
    if (line.size() < name.size() + 2 || !line.starts_with(name) || line.substr(name.size(), 2) != ": ")
      return std::nullopt;
    return line.substr(name.size() + 2);
  }

  bool Advance(bool matched, Stage next) {
    if (matched) stage_ = next;
    return matched;
  }

  bool MapiFailed(const char* step, std::string_view status) {
    row_.mailboxAccess = Verdict{
        false, "failed", WithStatus(std::string("failed at ") + step, status), step, std::string(status), {}, {}};
    stage_ = Stage::Cdo;
    return true;
  }

  // Why the CDO probe failed; the driver's verdict line follows.
  bool CdoReason(const char* reason, std::string_view status) {
    cdoReason_ = reason;
    cdoStatus_ = std::string(status);
    stage_ = Stage::CdoVerdict;
    return true;
  }

  bool CdoException(std::string_view own) {
    constexpr std::string_view kPrefix = "CDO COM exception: Code = ";
    if (!IsStatusThenText(own, kPrefix, ", WCode = ")) return false;
    const std::string_view wcode = own.substr(kPrefix.size() + 8 + 10);
    if (wcode.size() < 4 || !IsHex(wcode.substr(0, 4)) || !wcode.substr(4).starts_with(", Code meaning = "))
      return false;
    cdoReason_ = "COM exception";
    cdoStatus_ = std::string(own.substr(kPrefix.size(), 8));
    stage_ = Stage::CdoException;
    return true;
  }

  // The driver's "CDO test ..." line: completed only after the folder's
  // name was printed, failed only before.
  bool CdoVerdict(std::string_view own) {
    if (own == "CDO test completed successfully" && named_) {
      row_.cdo = Passed("passed");
    } else if (own == "CDO test failed" && !named_) {
      std::string text = "failed";
      if (!cdoReason_.empty()) {
        text += ": " + cdoReason_;
        if (cdoReason_ == "CreateInstance") text += " (0x" + cdoStatus_ + ")";
        if (cdoReason_ == "COM exception") text += " " + cdoStatus_;
      }
      row_.cdo = Verdict{false, "failed", text, cdoReason_, cdoStatus_, {}, {}};
    } else {
      return false;
    }
    stage_ = Stage::Smtp;
    return true;
  }

  // The Send-As check's lines: the directory's, then the step's verdict.
  bool SendAsLine(std::string_view line, const std::optional<std::string_view>& own) {
    bool placed = false;
    if (IsAddressLine(line) || IsExceptionLine(line, "IADWrapper::GetUserObject") ||
        IsExceptionLine(line, "IADWrapper::HasSendAsPermission")) {
      stage_ = Stage::SendAs;
      placed = true;
    } else if (IsComErrorLine(line, "IADWrapper::GetUserObject") ||
               IsComErrorLine(line, "IADWrapper::HasSendAsPermission")) {
      stage_ = Stage::SendAsComError;
      placed = true;
    } else if (own) {
      constexpr std::string_view kNoPermission = "No Send As permission for the {";
      constexpr std::string_view kNoPermissionEnd = "} account operator.";
      if (const auto status = StatusLine(*own, "Failed to check Active Directory for Send As permissions (")) {
        row_.sendAs =
            Verdict{false, "check failed", WithStatus("check failed", *status), {}, std::string(*status), {}, {}};
      } else if (own->size() >= kNoPermission.size() + kNoPermissionEnd.size() && own->starts_with(kNoPermission) &&
                 own->ends_with(kNoPermissionEnd)) {
        const std::string account(
            own->substr(kNoPermission.size(), own->size() - kNoPermission.size() - kNoPermissionEnd.size()));
        row_.sendAs = Verdict{false, "no permission", "no permission for " + account, {}, {}, account, {}};
      } else if (*own == "Active Directory permissions test completed successfully") {
        row_.sendAs = Passed("granted");
      } else {
        return false;
      }
      stage_ = Stage::Web;
      placed = true;
    }
    // Any line of the check shows that the address was resolved.
    if (placed && row_.smtpAddress.outcome.empty()) row_.smtpAddress = Passed("resolved");
    return placed;
  }

  bool WebFailed(const char* text) {
    row_.webServices = Verdict{false, text, text, {}, {}, {}, {}};
    stage_ = Stage::Done;
    return true;
  }

  MailboxRow row_;
  Stage stage_ = Stage::MailboxDn;
  bool named_ = false;
  std::string cdoReason_;
  std::string cdoStatus_;
  bool unableToExecute_ = false;
  std::string_view lastReportLine_;
};

std::vector<std::string_view> SplitLines(std::string_view text) {
  const size_t firstEnd = text.find('\n');
  const bool crLf = firstEnd != std::string_view::npos && firstEnd > 0 && text[firstEnd - 1] == '\r';
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (crLf && line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    start = next;
  }
  return lines;
}

}  // namespace

const char* SectionName(Section section) {
  switch (section) {
    case Section::StartUp:
      return "start-up";
    case Section::OperatorLookup:
      return "operator lookup";
    case Section::Picker:
      return "picker";
    case Section::Mailboxes:
      return "mailboxes";
    case Section::CleanUp:
      return "clean-up";
  }
  return "?";
}

bool MailboxRow::Passed() const {
  return mailboxAccess.passed && cdo.passed && smtpAddress.passed && sendAs.passed && webServices.passed &&
         unrecognised.empty();
}

size_t Report::UnrecognisedCount() const {
  size_t count = unrecognised.size();
  for (const MailboxRow& row : mailboxes) count += row.unrecognised.size();
  return count;
}

bool Report::AllPassed() const {
  return !unreadable && findings.empty() && unrecognised.empty() &&
         std::all_of(mailboxes.begin(), mailboxes.end(), [](const MailboxRow& row) { return row.Passed(); });
}

int ExitCode(const Report& report, bool lenient) {
  if (report.unreadable || (!lenient && report.UnrecognisedCount() != 0)) return 2;
  return report.AllPassed() ? 0 : 1;
}

Report ReadTranscript(std::string_view transcript) {
  Report report;
  if (transcript.empty()) {
    report.unreadable = "line 1: the input is empty; a run prints at least the tool's banner";
    return report;
  }
  const std::vector<std::string_view> lines = SplitLines(transcript);

  // The clean-up's lines end the transcript.
  size_t cleanUpStart = lines.size();
  while (cleanUpStart > 0 && lines[cleanUpStart - 1] == kCleanUpLine) --cleanUpStart;

  const auto isBlockStart = [&](size_t i) {
    return i + 1 < cleanUpStart && lines[i].ends_with(kOpeningSuffix) && lines[i + 1].starts_with('\t');
  };

  bool recognisedAny = false;
  std::optional<BlockReader> block;
  bool sawBlock = false;
  // The finding whose free text (a COM error's) the next lines may
  // continue; a plain index, which GCC's flow analysis follows.
  constexpr size_t kNoFinding = static_cast<size_t>(-1);
  size_t continuedFinding = kNoFinding;
  const auto finishBlock = [&] {
    if (block) report.mailboxes.push_back(block->Finish());
    block.reset();
  };

  for (size_t i = 0; i < cleanUpStart; ++i) {
    const std::string_view line = lines[i];
    const size_t number = i + 1;
    if (isBlockStart(i)) {
      // Without the empty line before it when the report before it did
      // not end its last line.
      finishBlock();
      block.emplace(line.substr(0, line.size() - kOpeningSuffix.size()), number);
      sawBlock = true;
      recognisedAny = true;
      continuedFinding = kNoFinding;
      continue;
    }
    // The empty line that opens each mailbox's block.
    if (line.empty() && isBlockStart(i + 1)) continue;
    if (block) {
      if (block->Take(line)) continue;
      if (!line.empty() || !block->Done()) {
        block->Unrecognised(number, line);
        continue;
      }
      finishBlock();
    }
    if (line.empty() && continuedFinding == kNoFinding) {
      // An empty line alone is a picked row that was not tested.
      report.findings.push_back(
          Finding{Section::Mailboxes, SourceLine{number, {}},
                  "a picked entry was not tested: it lacks one of its four properties (an empty line alone)"});
      continue;
    }
    if (!sawBlock) {
      if (line == kBanner[0] || line == kBanner[1]) {
        recognisedAny = true;
        continuedFinding = kNoFinding;
        continue;
      }
      if (line == kUsage[0]) {
        report.findings.push_back(Finding{Section::StartUp, SourceLine{number, std::string(line)},
                                          "the command line was refused: the tool printed its usage text"});
        for (size_t u = 1; u < std::size(kUsage) && i + 1 < cleanUpStart && lines[i + 1] == kUsage[u]; ++u) ++i;
        recognisedAny = true;
        continuedFinding = kNoFinding;
        continue;
      }
      constexpr std::string_view kDefaultStore = "Opening Default Message Store ";
      if (line.starts_with(kDefaultStore) && !report.defaultStore) {
        report.defaultStore = std::string(line.substr(kDefaultStore.size()));
        recognisedAny = true;
        continuedFinding = kNoFinding;
        continue;
      }
      if (const std::optional<Placement> placed = PlaceBeforeMailboxes(line)) {
        report.findings.push_back(Finding{placed->section, SourceLine{number, std::string(line)}, {}});
        continuedFinding = placed->freeText ? report.findings.size() - 1 : kNoFinding;
        recognisedAny = true;
        continue;
      }
      if (continuedFinding != kNoFinding) {
        report.findings[continuedFinding].line.text += "\n" + std::string(line);
        continue;
      }
    }
    report.unrecognised.push_back(SourceLine{number, std::string(line)});
  }
  finishBlock();

  for (size_t i = cleanUpStart; i < lines.size(); ++i) {
    report.findings.push_back(Finding{Section::CleanUp, SourceLine{i + 1, std::string(lines[i])}, {}});
    recognisedAny = true;
  }
  if (!recognisedAny)
    report.unreadable = "line 1: not a transcript of the tool: none of its lines is one the tool prints";
  return report;
}

}  // namespace report
