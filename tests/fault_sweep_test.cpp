// The fault sweep: the start-up runs once while the emulation journals
// every platform call; then, for every call of that run, it runs again with
// that one call failing (with the failure status typical for it) and again
// with it answering a warning. Every run must exit with 0, leave the ledger
// empty, reach the MAPI shutdown, and print the line the tool defines for
// that call; a warning the tool passes over changes nothing it prints.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "in_process.h"
#include "platform/emulation/control.h"
#include "platform/emulation/runtime/fault_points.h"

namespace {

using Json = nlohmann::json;

constexpr HRESULT kWarning = 0x00000001;         // S_FALSE
constexpr HRESULT kErrorsReturned = 0x00040380;  // MAPI_W_ERRORS_RETURNED
constexpr unsigned kAnyOccurrence = 0;

struct Expectation {
  const char* operation;
  unsigned occurrence;    // kAnyOccurrence: every call of the operation
  const char* onFailure;  // the line the tool prints; null: nothing changes
  const char* onWarning;  // the line the tool prints; null: nothing changes
};

// What the tool prints when each call of the start-up fails or warns, with
// the failure status the registry names for the operation.
const Expectation kExpectations[] = {
    {"MAPIInitialize", kAnyOccurrence, "MAPIInitialize() failed (80040605)\n", nullptr},
    {"MAPILogonEx", kAnyOccurrence, "MAPILogonEx() failed (80040111)\n", nullptr},
    {"IMAPISession::GetMsgStoresTable", kAnyOccurrence, "GetMsgStoresTable() failed (80004005)\n", nullptr},
    {"HrQueryAllRows", kAnyOccurrence, "HrQueryAllRows() failed (80004005)\n", nullptr},
    {"IMAPISession::OpenMsgStore", kAnyOccurrence, "OpenMsgStore() for this profile failed (80004005)\n", nullptr},
    {"IMsgStore::QueryInterface", kAnyOccurrence, "QueryInterface() failed (80004002)\n", nullptr},
    {"IMAPISession::OpenAddressBook", kAnyOccurrence, "OpenAddressBook() failed (80004005)\n", nullptr},
    // The empty credentials and the connection string.
    {"SysAllocString", 1, "Exception caught for IADWrapper::Open\n", nullptr},
    {"SysAllocString", 2, "Exception caught for IADWrapper::Open\n", nullptr},
    {"CoCreateInstance", 1, "Failed to create AD connection object ffffffff80040154\n", nullptr},
    {"OleRun", 1, "Failed to create AD connection object ffffffff80004005\n", nullptr},
    {"_Connection::QueryInterface", kAnyOccurrence, "Failed to create AD connection object ffffffff80004002\n",
     nullptr},
    {"Connection15::put_ConnectionTimeout", kAnyOccurrence,
     "IADWrapper::Open: COM Error 0x800A0E78 - Unknown error 0x800A0E78 - Source: (null) - Description (null)\n",
     nullptr},
    {"Connection15::Open", kAnyOccurrence,
     "IADWrapper::Open: COM Error 0x800A0E78 - Unknown error 0x800A0E78 - Source: (null) - Description (null)\n",
     "Failed to open Active Directory (00000001)\n"},
    {"IMAPISession::QueryIdentity", kAnyOccurrence, "QueryIdentity() failed (80004005)\n", nullptr},
    {"IAddrBook::OpenEntry", kAnyOccurrence, "OpenEntry failed for the current profile (80004005)\n", nullptr},
    {"HrGetOneProp", kAnyOccurrence, "QueryIdentity() failed (80004005)\n", nullptr},
    {"IMailUser::GetProps", kAnyOccurrence, "QueryIdentity() failed (80004005)\n",
     "QueryIdentity() failed (8004010f)\n"},
    // The one-entry address list, then the copy of its values.
    {"MAPIAllocateBuffer", 1, "Resolving SMTP address failed (8007000e)\n", nullptr},
    {"MAPIAllocateBuffer", 2, "Resolving SMTP address failed (80004005)\n", nullptr},
    {"ScDupPropset", kAnyOccurrence, "Resolving SMTP address failed (80004005)\n", nullptr},
    {"IAddrBook::PrepareRecips", kAnyOccurrence, "Resolving SMTP address failed (80004005)\n", nullptr},
    // The operator's user object: RootDSE, its naming context, the query.
    {"ADsGetObject", 1, "{operator@test.example} Failed to get RootDSE ffffffff80072030\n", nullptr},
    {"SysAllocString", 3, "Exception caught for IADWrapper::GetUserObject\n", nullptr},
    {"IADs::Get", 1, "{operator@test.example} Failed to get defaultNamingContext ffffffff8000500d\n", nullptr},
    {"CoCreateInstance", 2, "{operator@test.example} Failed to create recordset object ffffffff80040154\n", nullptr},
    {"OleRun", 2, "{operator@test.example} Failed to create recordset object ffffffff80004005\n", nullptr},
    {"_Recordset::QueryInterface", kAnyOccurrence,
     "{operator@test.example} Failed to create recordset object ffffffff80004002\n", nullptr},
    // The query text: the lookup's exception, then the close of the
    // recordset that never opened.
    {"SysAllocString", 4,
     "Exception caught for IADWrapper::GetUserObject\nException caught for IADWrapper::GetUserObject\n", nullptr},
    {"Recordset15::Open", kAnyOccurrence,
     "IADWrapper::GetUserObject: COM Error 0x80040E14 - IDispatch error #3092 - Source: (null) - Description (null) "
     "- Command <LDAP://DC=test,DC=example>;(&(objectCategory=person)(proxyAddresses=smtp:operator@test.example));"
     "adspath;subtree\nException caught for IADWrapper::GetUserObject\nGetUserObject failed (80004005) for "
     "operator@test.example\n",
     nullptr},
    {"Recordset15::get_EOF", kAnyOccurrence, "IADWrapper::GetUserObject: COM Error 0x800A0E78", nullptr},
    {"Recordset15::get_RecordCount", kAnyOccurrence, "IADWrapper::GetUserObject: COM Error 0x800A0E78", nullptr},
    {"Recordset15::get_Fields", kAnyOccurrence, "IADWrapper::GetUserObject: COM Error 0x800A0E78", nullptr},
    {"Fields15::get_Item", kAnyOccurrence, "IADWrapper::GetUserObject: COM Error 0x800A0CC1", nullptr},
    {"Field20::get_Value", kAnyOccurrence, "IADWrapper::GetUserObject: COM Error 0x800A0E78", nullptr},
    {"Recordset15::Close", kAnyOccurrence, "IADWrapper::GetUserObject: COM Error 0x800A0E78", nullptr},
    {"ADsGetObject", 2,
     "{operator@test.example} Unable to get AD object LDAP://CN=Test Operator,CN=Users,DC=test,DC=example due to "
     "ffffffff80072030\nGetUserObject failed (80072030) for operator@test.example\n",
     nullptr},
    // The operator's account names; a name that cannot be found is left out
    // without a line.
    {"ADsBuildVarArrayStr", kAnyOccurrence,
     "Unable to build the array string ffffffff8007000e\nGetAccountNames failed (8007000e) for operator@test.example\n",
     nullptr},
    {"IADs::GetInfoEx", kAnyOccurrence, "Unable to get the tokenGroups property ffffffff8000500d\n", nullptr},
    {"SysAllocString", kAnyOccurrence, "Exception caught for IADWrapper::GetAccountNames\n", nullptr},
    {"IADs::Get", 2, "", nullptr},
    {"AllocADsMem", kAnyOccurrence, "", nullptr},
    {"SafeArrayAccessData", kAnyOccurrence, "", nullptr},
    {"LookupAccountSidW", kAnyOccurrence, "", nullptr},
    {"VarBstrCat", kAnyOccurrence,
     "IADWrapper::GetAccountNames: COM Error 0x8007000E - Not enough memory resources are available to complete this "
     "operation. - Source: (null) - Description (null)\nGetAccountNames failed (80004005) for operator@test.example\n",
     nullptr},
    {"IADs::Get", 3,
     "Unable to get the tokenGroups ffffffff8000500d\nGetAccountNames failed (8000500d) for operator@test.example\n",
     nullptr},
    {"Connection15::Close", kAnyOccurrence, "Exception caught for IADWrapper::Close\n", nullptr},
    // The picker: without a desktop window the dialog has no parent.
    {"GetDesktopWindow", kAnyOccurrence, nullptr, nullptr},
    {"IAddrBook::Address", kAnyOccurrence, "Display GAL failed (80004005)\n", nullptr},
};

const Expectation* ExpectationFor(const std::string& operation, unsigned occurrence) {
  for (const Expectation& expectation : kExpectations)
    if (operation == expectation.operation &&
        (expectation.occurrence == kAnyOccurrence || expectation.occurrence == occurrence))
      return &expectation;
  return nullptr;
}

struct FaultPoint {
  std::string operation;
  unsigned occurrence;
};

// Every call that a run made, each operation's calls counted from 1.
std::vector<FaultPoint> CallsOf(const std::vector<emulation::Event>& journal) {
  std::vector<FaultPoint> points;
  std::map<std::string, unsigned> counts;
  for (const emulation::Event& event : journal)
    if (event.kind == emulation::Event::Kind::Call && emulation::FindFaultPoint(event.operation) != nullptr)
      points.push_back({event.operation, ++counts[event.operation]});
  return points;
}

std::string WithFault(const FaultPoint& point, HRESULT status) {
  Json organisation = Json::parse(OperatorOrganisationText());
  organisation["faults"] = {
      {{"operation", point.operation}, {"occurrence", point.occurrence}, {"status", static_cast<int64_t>(status)}}};
  return organisation.dump();
}

// Runs the start-up on organisation and checks what every run must give.
std::string CheckedRun(const std::string& organisation, const std::string& what) {
  const std::string out = RunInProcess(organisation, "\n\n");
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{}) << what;
  EXPECT_EQ(emulation::LedgerViolations(), std::vector<std::string>{}) << what;
  const auto journal = emulation::Journal();
  EXPECT_TRUE(!journal.empty() && journal.back() == emulation::Call("MAPIUninitialize")) << what << ": no shutdown";
  emulation::ResetRun();
  return out;
}

bool HasLine(const std::string& out, const char* line) {
  return out.find(line) != std::string::npos && (out.find(line) == 0 || out[out.find(line) - 1] == '\n');
}

TEST(FaultSweep, EveryCallOfTheStartUpFailsAndWarnsCleanly) {
  emulation::ResetRun();
  const std::string baseline = CheckedRun(OperatorOrganisationText(), "the run without faults");
  RunInProcess(OperatorOrganisationText(), "\n\n");
  const std::vector<FaultPoint> points = CallsOf(emulation::Journal());
  emulation::ResetRun();

  std::map<std::string, unsigned> operations;
  for (const FaultPoint& point : points) {
    ++operations[point.operation];
    const std::string name = point.operation + " #" + std::to_string(point.occurrence);
    const Expectation* expected = ExpectationFor(point.operation, point.occurrence);
    if (expected == nullptr) {
      ADD_FAILURE() << name << " is a call the sweep does not classify: add it to kExpectations";
      continue;
    }
    const HRESULT failure = emulation::FindFaultPoint(point.operation)->typicalFailure;
    const std::string failed = CheckedRun(WithFault(point, failure), name + " failing");
    if (expected->onFailure != nullptr)
      EXPECT_TRUE(HasLine(failed, expected->onFailure)) << name << " failing printed:\n" << failed;
    else
      EXPECT_EQ(failed, baseline) << name << " failing";

    const HRESULT warning = point.operation == "IMailUser::GetProps" ? kErrorsReturned : kWarning;
    const std::string warned = CheckedRun(WithFault(point, warning), name + " warning");
    if (expected->onWarning != nullptr)
      EXPECT_TRUE(HasLine(warned, expected->onWarning)) << name << " warning printed:\n" << warned;
    else
      EXPECT_EQ(warned, baseline) << name << " warning";
  }
  std::cout << "fault sweep: " << points.size() << " fault points, " << operations.size() << " operations\n";
  EXPECT_GE(points.size(), 20u);
}

}  // namespace
