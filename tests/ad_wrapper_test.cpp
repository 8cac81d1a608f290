// The directory gateway's connection, driven in-process on the emulated
// platform.
#include "directory/ad_wrapper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "in_process.h"
#include "platform/emulation/control.h"

namespace {

class AdWrapper : public testing::Test {
 protected:
  void Start(const char* organisation) { StartEmulatedPlatform(organisation); }
  void TearDown() override { StopEmulatedPlatform(); }
};

TEST_F(AdWrapper, ClosingWithoutAConnectionDoesNothing) {
  Start("{}");
  testing::internal::CaptureStdout();
  {
    IADWrapper never(nullptr);
    never.Close();
    IADWrapper opened("dc01");
    EXPECT_EQ(opened.Open(), S_OK);
    EXPECT_TRUE(opened.HasConnection());
    opened.Close();
    EXPECT_FALSE(opened.HasConnection());
    opened.Close();
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(AdWrapper, AFailedCreationLeavesNoConnection) {
  Start(R"({"faults": [{"operation": "OleRun", "status": "0x80004005"}]})");
  IADWrapper directory(nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(directory.Open(), E_FAIL);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to create AD connection object ffffffff80004005\n");
  EXPECT_FALSE(directory.HasConnection());
}

TEST(AdWrapperWithoutCom, CannotCreateItsConnection) {
  // COM is set up by MAPI's initialisation; before it nothing is created.
  testing::internal::CaptureStdout();
  {
    IADWrapper directory(nullptr);
    EXPECT_EQ(directory.Open(), CO_E_NOTINITIALIZED);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Failed to create AD connection object ffffffff800401f0\n");
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  emulation::ResetRun();
}

// Each ADO method the tool calls, failing with an error object: the COM
// error line shows the object's texts only when the call layer asks
// ISupportErrorInfo about the interface that declares the method, which is
// the only interface the failing object supports error information for.
struct AdoErrorCase {
  const char* operation;
  const char* declaringInterface;
  // A success status planned on InterfaceSupportsErrorInfo: the object
  // denies error information for the interface.
  const char* supportsErrorInfo = nullptr;
};

void PrintTo(const AdoErrorCase& c, std::ostream* out) { *out << c.operation; }

class AdoErrorObject : public testing::TestWithParam<AdoErrorCase> {
 protected:
  void TearDown() override { StopEmulatedPlatform(); }
};

constexpr char kLookupQuery[] =
    "<LDAP://DC=test,DC=example>;(&(objectCategory=person)(proxyAddresses=smtp:operator@test.example));adspath;"
    "subtree";

TEST_P(AdoErrorObject, ShowsInTheComErrorLine) {
  const AdoErrorCase& c = GetParam();
  const std::string operation = c.operation;
  nlohmann::json organisation = nlohmann::json::parse(OperatorOrganisationText());
  organisation["faults"] = {{{"operation", operation},
                             {"status", "0x80004005"},
                             {"source", operation + " source"},
                             {"description", operation + " failed"}}};
  if (c.supportsErrorInfo != nullptr)
    organisation["faults"].push_back(
        {{"operation", "ISupportErrorInfo::InterfaceSupportsErrorInfo"}, {"status", c.supportsErrorInfo}});
  StartEmulatedPlatform(organisation.dump());

  const bool opening = operation.starts_with("Connection15::");
  testing::internal::CaptureStdout();
  {
    IADWrapper directory(nullptr);
    if (directory.Open() == S_OK) {
      IADs* user = nullptr;
      EXPECT_EQ(directory.GetUserObject("operator@test.example", &user), E_FAIL);
      EXPECT_EQ(user, nullptr);
    }
  }
  const std::string printed = testing::internal::GetCapturedStdout();

  const std::string texts = c.supportsErrorInfo != nullptr
                                ? "Source: (null) - Description (null)"
                                : "Source: " + operation + " source - Description " + operation + " failed";
  const std::string line = opening ? "IADWrapper::Open: COM Error 0x80004005 - Unspecified error - " + texts + "\n"
                                   : "IADWrapper::GetUserObject: COM Error 0x80004005 - Unspecified error - " + texts +
                                         " - Command " + kLookupQuery + "\n";
  EXPECT_NE(printed.find(line), std::string::npos) << printed;
  // Every failure here is one of the same interface's methods (after a
  // failed open, the connection's close fails too).
  std::vector<std::string> asked;
  for (const std::string& call : emulation::CallTrace())
    if (call.starts_with("ISupportErrorInfo::InterfaceSupportsErrorInfo(")) asked.push_back(call);
  EXPECT_FALSE(asked.empty());
  for (const std::string& call : asked)
    EXPECT_EQ(call, std::string("ISupportErrorInfo::InterfaceSupportsErrorInfo(") + c.declaringInterface + ")");
}

INSTANTIATE_TEST_SUITE_P(
    EachMethod, AdoErrorObject,
    testing::Values(AdoErrorCase{"Connection15::put_ConnectionTimeout", "Connection15"},
                    AdoErrorCase{"Connection15::Open", "Connection15"},
                    AdoErrorCase{"Recordset15::Open", "Recordset15"},
                    AdoErrorCase{"Recordset15::get_EOF", "Recordset15"},
                    AdoErrorCase{"Recordset15::get_RecordCount", "Recordset15"},
                    AdoErrorCase{"Recordset15::get_Fields", "Recordset15"},
                    AdoErrorCase{"Recordset15::Close", "Recordset15"}, AdoErrorCase{"Fields15::get_Item", "Fields15"},
                    AdoErrorCase{"Field20::get_Value", "Field20"},
                    AdoErrorCase{"Recordset15::get_EOF", "Recordset15", "0x00000001"}),
    [](const testing::TestParamInfo<AdoErrorCase>& info) {
      std::string name = info.param.operation;
      name.erase(std::remove_if(name.begin(), name.end(), [](char ch) { return ch == ':' || ch == '_'; }), name.end());
      return name + (info.param.supportsErrorInfo != nullptr ? "WithoutErrorInfo" : "");
    });

}  // namespace
