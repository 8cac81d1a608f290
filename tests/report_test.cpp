// The report program on transcripts that no test organisation makes the
// tool print: display names with any bytes, Verrick reports of any shape,
// lines the report cannot place, CR LF, truncated and foreign input. The
// transcripts the tool prints are read by the transcript tests themselves
// (report_expectations.h).
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "report/formats.h"
#include "report/transcript.h"
#include "report_expectations.h"
#include "tool_runner.h"

namespace {

using Json = nlohmann::json;

std::string Lines(const std::string& name, std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += name + ": " + line + "\n";
  return text;
}

std::string Opening(const std::string& name) {
  return name +
         ": Opening message store using \n\t/o=T/ou=S/cn=Recipients/cn=x\n\t/o=T/ou=S/cn=Configuration/cn=Servers/"
         "cn=HOST1/cn=Microsoft Private MDB\n";
}

std::string MapiPassed(const std::string& name) {
  return Opening(name) +
         Lines(name, {"Mailbox opened successfully", "Root Folder opened successfully", "Folder created successfully",
                      "Test folder deleted successfully", "MAPI test completed successfully"});
}

std::string CdoStart(const std::string& name) {
  return Lines(name, {"CDO Server Name: HOST1", "CDO Mailbox DN: /o=T/ou=S/cn=Recipients/cn=x"});
}

std::string CdoPassed(const std::string& name) {
  return CdoStart(name) +
         Lines(name, {"CDO logon successful", "Get default calendar folder successful",
                      "Get calendar folder name successful: 'Calendar'", "CDO test completed successfully"});
}

const std::string kPassedReport =
    "Verrick web services check\nDisplay name: x\nAddress: x@test.example\nMailbox: found on server HOST1\n"
    "Web services: https://host1/EWS/Exchange.asmx is reachable\nOperator access: allowed\nResult: passed\n";

// A block whose every probe passes, up to what follows the Send-As line.
std::string Block(const std::string& name, const std::string& afterSendAs = kPassedReport) {
  return "\n" + MapiPassed(name) + CdoPassed(name) +
         Lines(name, {"Active Directory permissions test completed successfully"}) + afterSendAs;
}

const std::string kBanner2 = kBanner;
const std::string kStartup = kBanner2 + "Opening Default Message Store Mailbox - Test Operator\n";

using Row = std::vector<std::string>;
Row Passed(const std::string& name) {
  return {name, "passed", "passed", "resolved", "granted", "report copied: Result: passed"};
}

struct Case {
  const char* name;
  std::string transcript;
  std::vector<std::string> findings;  // "section: line"
  std::vector<Row> rows;              // cells, then "unrecognised line N: text" for each
  int exitCode;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

std::vector<std::string> FindingsOf(const report::Report& report) {
  std::vector<std::string> findings;
  for (const report::Finding& finding : report.findings)
    findings.push_back(std::string(report::SectionName(finding.section)) + ": " + finding.line.text);
  for (const report::SourceLine& line : report.unrecognised)
    findings.push_back("unrecognised line " + std::to_string(line.number) + ": " + line.text);
  return findings;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::vector<Case> Cases() {
  const std::string odd = "Smith, Jane: \"J\" 100% {x}";
  const std::string latin1 = "\xC9l\xE8ve \x01";
  const std::string liar = "Ada: CDO test failed";
  const std::string ada = "Ada";
  const std::string bob = "Bob";
  const std::string mapiAndCdo = "\n" + MapiPassed(ada) + CdoPassed(ada);
  const std::string sendAsGranted = Lines(ada, {"Active Directory permissions test completed successfully"});
  return {
      // The name is the first line's; ": ", quotes, "%", control bytes and
      // bytes of any code page are its own, and so is a name that reads
      // like one of the tool's lines.
      {"DisplayNamesHoldAnything",
       kStartup + Block(odd) + Block(latin1) + Block("") + Block(liar),
       {},
       {Passed(odd), Passed(latin1), Passed(""), Passed(liar)},
       0},
      {"WithoutTheBanner", "Opening Default Message Store M\n" + Block(ada), {}, {Passed(ada)}, 0},

      // Verrick's report is copied as it is: its lines are the block's,
      // empty ones and ones that read like the tool's included, and one
      // without a line end is ended by the next block's empty line.
      {"AReportWithoutItsLastLineEnd",
       kStartup + Block(ada, "Result: passed") + "\n" + MapiPassed(bob) + CdoPassed(bob) +
           Lines(bob, {"Active Directory permissions test completed successfully"}) + kPassedReport,
       {},
       {Passed(ada), Passed(bob)},
       0},
      {"AReportWithEmptyAndToolLikeLines",
       kStartup +
           Block(ada,
                 "\nAda: MAPI test completed successfully\n\nAda: Opening message store using \nResult: passed\n\n") +
           Block(bob),
       {},
       {Passed(ada), Passed(bob)},
       0},
      {"EveryOutcomeOfTheWebServicesProbe",
       kStartup + Block("a", "") + Block("b", Lines("b", {"Unable to execute Verrick"})) +
           Block("c", Lines("c", {"Unable to execute Verrick", "Could not open temporary file for Verrick"})) +
           Block("d", Lines("d", {"Unable to execute Verrick"}) + "Verrick web services check\n") +
           Block("e", Lines("e", {"Could not open temporary file for Verrick"})) +
           Block("f", Lines("f", {"Could not create temporary file for Verrick"})) +
           Block("g", "Verrick web services check\nResult: failed\n"),
       {},
       {{"a", "passed", "passed", "resolved", "granted", "no report"},
        {"b", "passed", "passed", "resolved", "granted", "unable to execute Verrick"},
        {"c", "passed", "passed", "resolved", "granted", "unable to execute Verrick; could not open the report file"},
        {"d", "passed", "passed", "resolved", "granted",
         "unable to execute Verrick; report copied: Verrick web services check"},
        {"e", "passed", "passed", "resolved", "granted", "could not open the report file"},
        {"f", "passed", "passed", "resolved", "granted", "could not create the report file"},
        {"g", "passed", "passed", "resolved", "granted", "report copied: Result: failed"}},
       1},

      // The directory's lines before the Send-As verdict, a COM error's
      // text over several lines included.
      {"TheSendAsCheckWithTheDirectorysLines",
       kStartup + mapiAndCdo + "{ada@x} Unable to find user in AD\n{ada@x} Unable to get the user object 0\n" +
           Lines(ada, {"No Send As permission for the {D\\op} account operator."}) + kPassedReport + mapiAndCdo +
           "IADWrapper::GetUserObject: COM Error 0x80004005 - Unspecified error - Source: ADO - Description two\n"
           "lines - Command <LDAP://DC=x>;(&(objectCategory=person)(proxyAddresses=smtp:ada@x));adspath;subtree\n"
           "{ada@x} Unable to get the user object ffffffff80004005\n" +
           Lines(ada, {"Failed to check Active Directory for Send As permissions (80004005)"}) + kPassedReport +
           mapiAndCdo + "{a} b} Unable to get AD object LDAP://CN=a,DC=x due to ffffffff80070005\n" +
           "{ada@x} Unexpected variant for the AccessControlList 8\n" +
           Lines(ada, {"No Send As permission for the {} account operator."}) + kPassedReport,
       {},
       {{ada, "passed", "passed", "resolved", "no permission for D\\op", "report copied: Result: passed"},
        {ada, "passed", "passed", "resolved", "check failed (80004005)", "report copied: Result: passed"},
        {ada, "passed", "passed", "resolved", "no permission for ", "report copied: Result: passed"}},
       1},
      {"ACdoExceptionWhoseTextsRunOverSeveralLines",
       kStartup + "\n" + MapiPassed(ada) + CdoStart(ada) +
           Lines(ada, {"CDO COM exception: Code = 80040111, WCode = 0000, Code meaning = one\ntwo"}) +
           "    Description = three\n\nfour.\n" + Lines(ada, {"CDO test failed"}) + sendAsGranted + kPassedReport,
       {},
       {{ada, "passed", "failed: COM exception 80040111", "resolved", "granted", "report copied: Result: passed"}},
       1},

      // Lines it cannot place stay in the row, or above the table.
      {"ALineTheToolNeverPrints",
       kStartup + "\n" + Opening(ada) + Lines(ada, {"Mailbox opened successfully", "Something new"}) +
           Lines(ada, {"Root Folder opened successfully", "Folder created successfully",
                       "Test folder deleted successfully", "MAPI test completed successfully"}) +
           CdoPassed(ada) + sendAsGranted + kPassedReport,
       {},
       {{ada, "passed", "passed", "resolved", "granted", "report copied: Result: passed",
         "unrecognised line 9: Ada: Something new"}},
       2},
      {"ALineOutOfItsOrder",
       kStartup + "\n" + Opening(ada) + Lines(ada, {"CDO test failed"}) + MapiPassed(ada).substr(Opening(ada).size()) +
           CdoPassed(ada) + sendAsGranted + kPassedReport,
       {},
       {{ada, "passed", "passed", "resolved", "granted", "report copied: Result: passed",
         "unrecognised line 8: Ada: CDO test failed"}},
       2},
      {"LinesBeforeTheMailboxesThatAreNotTheTools",
       kStartup + "Something else\n" + "GetProps failed (8004)\n" + Block(ada),
       {"unrecognised line 4: Something else", "unrecognised line 5: GetProps failed (8004)"},
       {Passed(ada)},
       2},

      // A run cut short: what never came is missing.
      {"ATranscriptCutShort",
       kStartup + "\n" + MapiPassed(ada) + CdoPassed(ada),
       {},
       {{ada, "passed", "passed", "missing: no line", "missing: no line", "missing: no line"}},
       1},
      {"ATranscriptCutInTheOpeningLine",
       kStartup + "\nAda: Opening message store using \n\t/o=T",
       {},
       {{ada, "missing: no line", "missing: no line", "missing: no line", "missing: no line", "missing: no line"}},
       1},

      // The clean-up's lines come after the last report; an empty line
      // alone is a picked row that was not tested.
      {"TheCleanUpAfterTheLastReport",
       kStartup + Block(ada) + "Exception caught for IADWrapper::Close\nException caught for IADWrapper::Close\n",
       {"clean-up: Exception caught for IADWrapper::Close", "clean-up: Exception caught for IADWrapper::Close"},
       {Passed(ada)},
       1},
      {"ARowThatWasNotTested", kStartup + "\n" + Block(ada), {"mailboxes: "}, {Passed(ada)}, 1},
      {"TheOperatorLookupsComErrorOverSeveralLines",
       kStartup +
           "IADWrapper::GetUserObject: COM Error 0x80004005 - x - Source: y - Description one\ntwo - Command null\n"
           "GetUserObject failed (80004005) for op@x\n" +
           Block(ada),
       {"operator lookup: IADWrapper::GetUserObject: COM Error 0x80004005 - x - Source: y - Description one\ntwo - "
        "Command null",
        "operator lookup: GetUserObject failed (80004005) for op@x"},
       {Passed(ada)},
       1},
  };
}

class ReportOf : public testing::TestWithParam<Case> {};

TEST_P(ReportOf, ATranscriptGivesItsRowsAndExitCode) {
  const Case& c = GetParam();
  // The Windows build's transcripts end their lines with CR LF.
  for (const std::string& transcript : {c.transcript, WithCrLf(c.transcript)}) {
    const report::Report report = report::ReadTranscript(transcript);
    EXPECT_EQ(FindingsOf(report), c.findings);
    EXPECT_EQ(RowsOf(report), c.rows);
    EXPECT_EQ(report::ExitCode(report, false), c.exitCode);
    // Lenient, a line it cannot place makes the exit code 1.
    EXPECT_EQ(report::ExitCode(report, true), c.exitCode == 2 ? 1 : c.exitCode);
  }
}

std::string NameOf(const testing::TestParamInfo<Case>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Transcripts, ReportOf, testing::ValuesIn(Cases()), NameOf);

TEST(ReportOfForeignInput, IsRefusedWithTheLineAndWhy) {
  for (const std::string& input :
       {std::string(), std::string("hello\n\nworld\n"), std::string("\n\n"), std::string("\0\xff\n", 3)}) {
    const report::Report report = report::ReadTranscript(input);
    ASSERT_TRUE(report.unreadable.has_value()) << input;
    EXPECT_TRUE(report.unreadable->starts_with("line 1: ")) << *report.unreadable;
    EXPECT_EQ(report::ExitCode(report, true), 2);
  }
}

// A small report, for the three forms.
report::Report SmallReport() {
  const std::string name = "Doe, \"Jo\" \xC9l\xE8ve";
  return report::ReadTranscript(kBanner2 +
                                "Opening Default Message Store Mailbox - Zo\xC3\xAB\nGetProps failed (8004010f)\n" +
                                Block("Zo\xC3\xAB") + Block(name, "Result: passed\tfor\x01now\n") + "\n" +
                                Opening("x") + Lines("x", {"What is this"}));
}

TEST(ReportForms, TheTextTableAlignsItsColumnsAndShowsControlBytes) {
  EXPECT_EQ(report::FormatText(SmallReport()),
            "Caldrose report: 3 mailboxes; 1 passed every probe, 2 did not.\n"
            "Default message store: Mailbox - Zo\xC3\xAB\n"
            "\n"
            "Findings:\n"
            "  line 4 (picker): GetProps failed (8004010f)\n"
            "\n"
            "Mailbox          Mailbox access    CDO               SMTP address      Send-As           Web services"
            "                                 Unrecognised\n"
            "---------------  ----------------  ----------------  ----------------  ----------------  "
            "-------------------------------------------  ------------\n"
            "Zo\xC3\xAB              passed            passed            resolved          granted           "
            "report copied: Result: passed\n"
            "Doe, \"Jo\" \xC9l\xE8ve  passed            passed            resolved          granted           "
            "report copied: Result: passed\\x09for\\x01now\n"
            "x                missing: no line  missing: no line  missing: no line  missing: no line  "
            "missing: no line                             line 49\n"
            "\n"
            "Unrecognised lines:\n"
            "  x:\n"
            "    line 49: x: What is this\n");
}

TEST(ReportForms, CsvQuotesAsRfc4180Says) {
  EXPECT_EQ(
      report::FormatCsv(SmallReport()),
      "Mailbox,Mailbox access,CDO,SMTP address,Send-As,Web services,Unrecognised lines\r\n"
      "Zo\xC3\xAB,passed,passed,resolved,granted,report copied: Result: passed,\r\n"
      "\"Doe, \"\"Jo\"\" \xC9l\xE8ve\",passed,passed,resolved,granted,report copied: Result: passed\tfor\x01now,\r\n"
      "x,missing: no line,missing: no line,missing: no line,missing: no line,missing: no line,"
      "line 49: x: What is this\r\n");
  EXPECT_EQ(report::FormatFindingsForCsv(SmallReport()), "line 4 (picker): GetProps failed (8004010f)\n");
}

TEST(ReportForms, JsonIsValidWhateverTheBytes) {
  const Json json = Json::parse(report::FormatJson(SmallReport()));
  EXPECT_EQ(json["passed"], false);
  EXPECT_EQ(json["defaultStore"], "Mailbox - Zo\xC3\xAB");
  EXPECT_EQ(json["findings"],
            Json::parse(R"json([{"section": "picker", "line": 4, "text": "GetProps failed (8004010f)"}])json"));
  ASSERT_EQ(json["mailboxes"].size(), 3u);
  // Bytes that are not UTF-8 read as Latin-1.
  EXPECT_EQ(json["mailboxes"][1]["displayName"], "Doe, \"Jo\" \xC3\x89l\xC3\xA8ve");
  EXPECT_EQ(json["mailboxes"][1]["webServices"]["lastLine"], "Result: passed\tfor\x01now");
  EXPECT_EQ(json["mailboxes"][0]["passed"], true);
  EXPECT_EQ(json["mailboxes"][0]["sendAs"],
            Json::parse(R"({"passed": true, "outcome": "granted", "text": "granted"})"));
  EXPECT_EQ(json["mailboxes"][2]["unrecognised"], Json::parse(R"([{"line": 49, "text": "x: What is this"}])"));
}

// Many mailboxes: one pass over the lines, whatever their number.
TEST(ReportScale, TenThousandMailboxesAreReadInUnderASecond) {
  std::string transcript = kStartup;
  for (int i = 0; i < 10000; ++i) {
    const std::string name = "Mailbox " + std::to_string(i);
    transcript += i % 10 == 0 ? "\n" + Opening(name) + Lines(name, {"OpenMsgStore failed (80040111)"}) +
                                    CdoPassed(name) + Lines(name, {"Failed to resolve the SMTP address (80040200)"})
                              : Block(name);
  }
  const auto start = std::chrono::steady_clock::now();
  const report::Report report = report::ReadTranscript(transcript);
  const std::string table = report::FormatText(report);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(report.mailboxes.size(), 10000u);
  EXPECT_EQ(report.mailboxes[9990].mailboxAccess.text, "failed at open (80040111)");
  EXPECT_TRUE(report.mailboxes[9999].Passed());
  EXPECT_EQ(report::ExitCode(report, false), 1);
#ifdef NDEBUG
  EXPECT_LT(seconds, 1.0) << transcript.size() << " bytes";
#else
  // Unoptimised and sanitized builds only catch a reading that is not
  // linear; the optimised one holds the second.
  EXPECT_LT(seconds, 20.0) << transcript.size() << " bytes";
#endif
}

// A long name stands once in the text, however many rows and lines there
// are: the text grows with the transcript, not with their product.
TEST(ReportScale, ALongNameDoesNotMultiplyTheText) {
  const std::string longName(100000, 'N');
  std::string outOfPlace;
  for (int i = 0; i < 1000; ++i) outOfPlace += "out of place\n";
  std::string transcript = kStartup + "\n" + Opening(longName) + outOfPlace;
  for (int i = 0; i < 1000; ++i) transcript += Block("M" + std::to_string(i));
  const report::Report report = report::ReadTranscript(transcript);
  ASSERT_EQ(report.mailboxes.size(), 1001u);
  EXPECT_EQ(report.mailboxes[0].unrecognised.size(), 1000u);
  EXPECT_LT(report::FormatText(report).size(), 2 * transcript.size());
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(ReportProgram, ReadsAFileOrStandardInputAndExitsByTheVerdicts) {
  const std::string passing = kStartup + Block("Ada");
  const std::string failing = kStartup + Block("Ada", "");
  const std::string unplaced = kStartup + "what\n" + Block("Ada");
  TemporaryFile file(failing);
  struct Run {
    std::vector<std::string> args;
    std::string input;
    int exitCode;
    std::string errContains;
  };
  const Run runs[] = {
      {{}, passing, 0, ""},
      {{"-"}, passing, 0, ""},
      {{file.path()}, "", 1, ""},
      {{"--csv", file.path()}, "", 1, ""},
      {{}, unplaced, 2, "standard input: line 4: no line the tool prints here: what"},
      {{"--lenient"}, unplaced, 1, "standard input: line 4: no line the tool prints here: what"},
      {{}, "", 2, "standard input: line 1: the input is empty"},
      {{"/nonexistent/transcript.txt"}, "", 2, "cannot open \"/nonexistent/transcript.txt\": No such file"},
      {{"--tsv"}, "", 2, "unknown option \"--tsv\""},
      {{"a", "b"}, "", 2, "one transcript at a time"},
  };
  for (const Run& run : runs) {
    std::vector<std::string> argv = {CALDROSE_REPORT_BINARY};
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    const ToolRun result = RunCommand(argv, "", run.input);
    std::string what = run.input.substr(0, 20);
    for (const std::string& arg : run.args) what += " " + arg;
    EXPECT_EQ(result.exitCode, run.exitCode) << what << "\n" << result.err;
    if (run.errContains.empty())
      EXPECT_EQ(result.err, "") << what;
    else
      EXPECT_NE(result.err.find(run.errContains), std::string::npos) << what << "\n" << result.err;
  }
  EXPECT_EQ(RunCommand({CALDROSE_REPORT_BINARY, file.path()}, "", "").out,
            RunCommand({CALDROSE_REPORT_BINARY}, "", failing).out);
}

class ReportProgramBuild : public OnEachBuild {};
CALDROSE_ON_EACH_BUILD(ReportProgramBuild);

// Each build reads a Windows transcript (CR LF, and a 0x1A byte that the C
// runtime's text mode would take for the end) from standard input, and
// writes what the reader gives, byte for byte, in each form.
TEST_P(ReportProgramBuild, WritesWhatTheReaderGivesForAWindowsTranscript) {
  const std::string transcript = WithCrLf(kStartup + Block("Ada") + Block("Sub\x1Astitute", ""));
  const report::Report report = report::ReadTranscript(transcript);
  std::vector<std::string> program = {CALDROSE_REPORT_BINARY};
  if (GetParam() == Build::Windows) program = {"wine", "C:\\caldrose\\caldrose-report.exe"};
  const std::pair<const char*, std::string> forms[] = {{"--csv", report::FormatCsv(report)},
                                                       {"--json", report::FormatJson(report)},
                                                       {"--lenient", report::FormatText(report)}};
  for (const auto& [option, expected] : forms) {
    std::vector<std::string> argv = program;
    argv.push_back(option);
    const ToolRun run = RunCommand(argv, "", transcript);
    EXPECT_EQ(run.out, expected) << option;
    EXPECT_EQ(run.err, "") << option;
    EXPECT_EQ(run.exitCode, 1) << option;
  }
}

// The README shows the report of the sample run: it must be what the
// program gives for it.
TEST(ReportProgram, GivesTheReadmesSampleReport) {
  const ToolRun run = RunTool({}, "", "\n1,2,3\n");
  const ToolRun report = RunCommand({CALDROSE_REPORT_BINARY}, "", run.out);
  EXPECT_EQ(report.exitCode, 1);
  EXPECT_EQ(report.err, "");
  // In the README, the output stands as a block indented by six spaces.
  std::string block;
  std::istringstream lines(report.out);
  for (std::string line; std::getline(lines, line);) block += (line.empty() ? "" : "      ") + line + "\n";
  EXPECT_NE(ReadFile(CALDROSE_README).find(block), std::string::npos) << "the README should show:\n" << block;
}

}  // namespace
