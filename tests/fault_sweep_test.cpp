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
  const char* onFailure;  // the line the tool prints
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
    {"SysAllocString", kAnyOccurrence, "Exception caught for IADWrapper::Open\n", nullptr},
    {"CoCreateInstance", kAnyOccurrence, "Failed to create AD connection object ffffffff80040154\n", nullptr},
    {"OleRun", kAnyOccurrence, "Failed to create AD connection object ffffffff80004005\n", nullptr},
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
    {"Connection15::Close", kAnyOccurrence, "Exception caught for IADWrapper::Close\n", nullptr},
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
  const std::string out = RunInProcess(organisation, "\n");
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
  RunInProcess(OperatorOrganisationText(), "\n");
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
    EXPECT_TRUE(HasLine(failed, expected->onFailure)) << name << " failing printed:\n" << failed;

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
