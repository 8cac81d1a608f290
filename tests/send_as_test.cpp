// The directory lookups in-process: the Send-As check's failures and the
// cases only the organisation's own directory can hold, and the operator's
// account names.
#include "directory/send_as.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "directory/ad_wrapper.h"
#include "in_process.h"
#include "platform/emulation/control.h"

namespace {

using Json = nlohmann::json;

constexpr const char* kSendAs = "{ab721a54-1e2f-11d0-9819-00aa0040529b}";
constexpr const char* kOperatorSid = "S-1-5-21-1-2-3-1104";
constexpr const char* kGroupSid = "S-1-5-21-1-2-3-1200";
constexpr const char* kOtherSid = "S-1-5-21-1-2-3-1300";
constexpr const char* kAdminsInCapitals = "S-1-5-21-1-2-3-1301";
constexpr const char* kAccentedCapitals = "S-1-5-21-1-2-3-1302";

Json Ace(const char* trustee, int aceType, int flags, int mask, const char* objectType = kSendAs) {
  Json ace = {{"trustee", trustee}, {"aceType", aceType}, {"flags", flags}, {"accessMask", mask}};
  if (objectType != nullptr) ace["objectType"] = objectType;
  return ace;
}

// The operator (in "Admins", nested in "Operators") and a mailbox owner
// whose DACL is dacl.
Json Organisation(const Json& dacl) {
  Json organisation = Json::parse(OperatorOrganisationText());
  Json& directory = organisation["directory"];
  directory["users"] = {
      {{"name", "operator"},
       {"dn", "CN=Test Operator,CN=Users,DC=test,DC=example"},
       {"proxyAddresses", {"SMTP:operator@test.example"}},
       {"sid", kOperatorSid},
       {"memberOf", {"Admins", "Unnamed"}}},
      {{"name", "owner"},
       {"dn", "CN=Owner,CN=Users,DC=test,DC=example"},
       {"proxyAddresses", {"SMTP:owner@test.example", "smtp:a*b(c)\\d@test.example"}},
       {"sid", "S-1-5-21-1-2-3-1105"},
       {"dacl", dacl.is_array() ? dacl : Json::array({dacl})}},
  };
  directory["groups"] = {{{"name", "Admins"}, {"sid", kGroupSid}, {"memberOf", {"Operators"}}},
                         {{"name", "Operators"}, {"sid", "S-1-5-21-1-2-3-1201"}},
                         {{"name", "Unnamed"}, {"sid", "S-1-5-21-1-2-3-1202"}}};
  directory["accounts"] = {{{"sid", kOperatorSid}, {"domain", "TEST"}, {"name", "operator"}},
                           {{"sid", kGroupSid}, {"domain", "TEST"}, {"name", "Admins"}},
                           {{"sid", "S-1-5-21-1-2-3-1201"}, {"domain", ""}, {"name", "Operators"}},
                           {{"sid", kOtherSid}, {"domain", "TEST"}, {"name", "other"}},
                           // Other accounts whose names differ from the
                           // operator's groups only in letter case.
                           {{"sid", kAdminsInCapitals}, {"domain", "test"}, {"name", "ADMINS"}},
                           {{"sid", kAccentedCapitals}, {"domain", "TEST"}, {"name", "OP\u00c9RATORS"}}};
  return organisation;
}

class Directory : public testing::Test {
 protected:
  void Start(const Json& organisation) {
    StartEmulatedPlatform(organisation.dump());
    directory_ = std::make_unique<IADWrapper>(nullptr);
    testing::internal::CaptureStdout();
    ASSERT_EQ(directory_->Open(), S_OK);
  }
  // What the run printed since Start.
  std::string Printed() { return testing::internal::GetCapturedStdout(); }
  void TearDown() override {
    for (BSTR name : names_) SysFreeString(name);
    names_.clear();
    directory_.reset();
    StopEmulatedPlatform();
  }
  // The operator's account names, as the start-up reads them.
  HRESULT ReadNames() {
    IADs* user = nullptr;
    const HRESULT found = directory_->GetUserObject("operator@test.example", &user);
    EXPECT_EQ(found, S_OK);
    const HRESULT hr = directory_->GetAccountNames(user, names_);
    if (user != nullptr) user->Release();
    return hr;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (BSTR name : names_) names.push_back(std::string(name, name + SysStringLen(name)));
    return names;
  }

  std::unique_ptr<IADWrapper> directory_;
  AccountNameList names_;
  AccountNameList namesComparedOneByOne_{AccountNameList::Lookup::CompareEachName};
};

struct SendAsCase {
  const char* what;
  Json dacl;
  const char* printed;  // after the mailbox's lines; empty for a grant
};

// The cases a domain controller cannot hold (accounts whose names differ
// only in case, an element that is not an entry); the others are the table
// of directory_cases_test.cpp, which runs on both directories.
TEST_F(Directory, SendAsOverEntriesOnlyTheOrganisationCanHold) {
  const char* const kNone = "Owner: No Send As permission for the {TEST\\operator} account operator.\n";
  const std::vector<SendAsCase> cases = {
      {"a grant to a name that differs only in case", {Ace(kAdminsInCapitals, 5, 1, 0x100)}, ""},
      {"a deny to a name that differs only in case",
       {Ace(kAdminsInCapitals, 6, 1, 0x100), Ace(kOperatorSid, 5, 1, 0x100)},
       kNone},
      {"an element that is not an entry",
       {{{"variantType", 8}}, Ace(kOperatorSid, 5, 1, 0x100)},
       "{owner@test.example} Unexpected variant for the AccessControlList 8\n"
       "Owner: No Send As permission for the {TEST\\operator} account operator.\n"},
  };
  // The names' index and the comparison with every name give the same
  // outcome.
  for (const SendAsCase& test : cases) {
    for (const bool indexed : {true, false}) {
      Start(Organisation(test.dacl));
      ASSERT_EQ(ReadNames(), S_OK);
      if (!indexed)
        for (BSTR name : names_) namesComparedOneByOne_.push_back(SysAllocString(name));
      const AccountNameList& names = indexed ? names_ : namesComparedOneByOne_;
      const bool granted = CheckSendAsPermission(*directory_, "owner@test.example", names, "Owner");
      EXPECT_EQ(granted, std::string(test.printed).empty()) << test.what << (indexed ? "" : ", one by one");
      EXPECT_EQ(Printed(), test.printed) << test.what << (indexed ? "" : ", one by one");
      for (BSTR name : namesComparedOneByOne_) SysFreeString(name);
      namesComparedOneByOne_.clear();
      TearDown();
    }
  }
}

// The Send-As check's own failures, each reached by a planned fault on the
// last call of its operation in the run (the check comes after the
// operator's names were read) or by the directory's answer.
struct CheckFailure {
  const char* what;
  const char* operation;  // planned to fail, or null
  const char* status;
  std::function<void(Json&)> arrange;
  const char* address;
  std::string printed;
};

TEST_F(Directory, TheSendAsCheckReportsWhatItCouldNotRead) {
  const std::string owner = "{owner@test.example} ";
  const std::string failed = "Owner: Failed to check Active Directory for Send As permissions ";
  const std::string none = "Owner: No Send As permission for the {TEST\\operator} account operator.\n";
  const auto nothing = [](Json&) {};
  const std::vector<CheckFailure> cases = {
      {"the owner's object cannot be opened", "ADsGetObject", "0x80072030", nothing, "owner@test.example",
       owner + "Unable to get AD object LDAP://CN=Owner,CN=Users,DC=test,DC=example due to ffffffff80072030\n" + owner +
           "Unable to get the user object ffffffff80072030\n" + failed + "(80072030)\n"},
      {"nobody has the address", nullptr, nullptr, nothing, "nobody@test.example",
       "{nobody@test.example} Unable to find user in AD\n{nobody@test.example} Unable to get the user object 0\n" +
           none},
      {"the descriptor cannot be read", "IADs::Get", "0x8000500D", nothing, "owner@test.example",
       owner + "Unable to get NTSecurityDescriptor ffffffff8000500d\n" + failed + "(8000500d)\n"},
      {"the descriptor comes as bytes", nullptr, nullptr,
       [](Json& o) { o["directory"]["users"][1]["descriptorAsOctets"] = true; }, "owner@test.example",
       owner + "Invalid variant type\n" + none},
      {"the descriptor is no security descriptor", "IADsSecurityDescriptor::QueryInterface", "0x80004002", nothing,
       "owner@test.example", failed + "(80004002)\n"},
      {"the list cannot be read", "IADsSecurityDescriptor::get_DiscretionaryAcl", "0x80004005", nothing,
       "owner@test.example", owner + "Unable to get the DescretionaryACL ffffffff80004005\n" + failed + "(80004005)\n"},
      {"the list is no access-control list", "IADsAccessControlList::QueryInterface", "0x80004002", nothing,
       "owner@test.example",
       owner + "Unable to get the AccessControlList ffffffff80004002\n" + failed + "(80004002)\n"},
      {"the list gives no enumerator", "IADsAccessControlList::get__NewEnum", "0x80004005", nothing,
       "owner@test.example",
       owner + "Unable to enumerate the AccessControlList ffffffff80004005\n" + failed + "(80004005)\n"},
      {"the enumerator is no IEnumVARIANT", "IEnumVARIANT::QueryInterface", "0x80004002", nothing, "owner@test.example",
       owner + "Unable to query the enumeration for the AccessControlList ffffffff80004002\n" + failed +
           "(80004002)\n"},
      {"the enumeration fails", "IEnumVARIANT::Next", "0x80004005", nothing, "owner@test.example",
       failed + "(80004005)\n"},
      // "nTSecurityDescriptor", the check's last string.
      {"a string cannot be allocated", "SysAllocString", "0x8007000E", nothing, "owner@test.example",
       "Exception caught for IADWrapper::HasSendAsPermission\n" + failed + "(80004005)\n"},
  };
  for (const CheckFailure& c : cases) {
    Json organisation = Organisation(Json::array({Ace(kOperatorSid, 5, 1, 0x100)}));
    c.arrange(organisation);
    if (c.operation != nullptr) {
      // A run without the fault shows which call of the operation is the
      // check's last.
      Start(organisation);
      ASSERT_EQ(ReadNames(), S_OK);
      CheckSendAsPermission(*directory_, c.address, names_, "Owner");
      Printed();
      unsigned occurrence = 0;
      for (const emulation::Event& event : emulation::Journal())
        if (event.kind == emulation::Event::Kind::Call && event.operation == c.operation) ++occurrence;
      TearDown();
      organisation["faults"] = {{{"operation", c.operation}, {"status", c.status}, {"occurrence", occurrence}}};
    }
    Start(organisation);
    ASSERT_EQ(ReadNames(), S_OK);
    EXPECT_FALSE(CheckSendAsPermission(*directory_, c.address, names_, "Owner")) << c.what;
    EXPECT_EQ(Printed(), c.printed) << c.what;
    TearDown();
  }
}

TEST(AccountNames, TheIndexFindsWhatComparingEachNameFinds) {
  const std::vector<std::u16string> names = {u"TEST\\operator", u"TEST\\Admins", u"Operators", u"",
                                             u"TEST\\Zo\u00eb", u"TAB\there"};
  const std::vector<std::u16string> trustees = {u"test\\OPERATOR",    u"TEST\\Admins ",  u"operators", u"",
                                                u"TEST\\ZO\u00cb",    u"TEST\\zo\u00eb", u"tab\there", u"TEST\\Admin",
                                                u"NT AUTHORITY\\SELF"};
  AccountNameList indexed;
  AccountNameList oneByOne(AccountNameList::Lookup::CompareEachName);
  for (const std::u16string& name : names) {
    indexed.push_back(SysAllocString(name.c_str()));
    oneByOne.push_back(SysAllocString(name.c_str()));
  }
  indexed.push_back(nullptr);  // passed over
  oneByOne.push_back(nullptr);
  int found = 0;
  for (const std::u16string& text : trustees) {
    BSTR trustee = SysAllocString(text.c_str());
    EXPECT_EQ(indexed.Contains(trustee), oneByOne.Contains(trustee)) << testing::PrintToString(text);
    found += oneByOne.Contains(trustee) ? 1 : 0;
    SysFreeString(trustee);
  }
  EXPECT_EQ(found, 5);                     // all but the trailing space, the accent, the shorter name and SELF
  EXPECT_TRUE(indexed.Contains(nullptr));  // a null trustee is the empty name
  for (AccountNameList* list : {&indexed, &oneByOne})
    while (!list->empty()) {
      SysFreeString(list->front());
      list->erase(list->begin());
    }
}

TEST_F(Directory, AnEmptyNameListIsAnInvalidArgument) {
  Start(Organisation(Json::array({Ace(kOperatorSid, 5, 1, 0x100)})));
  EXPECT_FALSE(CheckSendAsPermission(*directory_, "owner@test.example", names_, "Owner"));
  EXPECT_EQ(Printed(), "Owner: Failed to check Active Directory for Send As permissions (80070057)\n");
}

TEST_F(Directory, AccountNamesComeOwnNameFirstThenTheTokenGroupsInOrder) {
  Start(Organisation(Json::array()));
  // The direct groups first, then the nested one; "Unnamed" has no account
  // and is left out; "Operators" has an empty domain.
  EXPECT_EQ(ReadNames(), S_OK);
  EXPECT_EQ(Names(), (std::vector<std::string>{"TEST\\operator", "TEST\\Admins", "Operators"}));
  EXPECT_EQ(Printed(), "");
}

TEST_F(Directory, AnUnresolvableLastGroupFailsTheNamesFoundBeforeIt) {
  Json organisation = Organisation(Json::array());
  organisation["directory"]["accounts"].erase(0);  // the operator's own SID
  organisation["directory"]["users"][0]["memberOf"] = Json::array({"Admins"});
  organisation["directory"]["groups"][1]["memberOf"] = Json::array({"Unnamed"});
  Start(organisation);
  EXPECT_EQ(ReadNames(), E_FAIL);
  EXPECT_EQ(Names(), (std::vector<std::string>{"TEST\\Admins", "Operators"}));
  EXPECT_EQ(Printed(), "");
}

}  // namespace
