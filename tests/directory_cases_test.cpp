// The directory's answers to the tool as one table of cases over one
// directory (tests/organisations/directory.json): the operator's lookup by
// SMTP address, the operator's account names, and the Send-As check, with
// one mailbox owner per case, each with its own DACL. The table runs on
// whichever directory the organisation names: its own lists, or a domain
// controller (scripts/samba-dc.sh names one in CALDROSE_ORGANISATION).
// Both give one transcript, except where a case says why a domain
// controller answers otherwise.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "directory/ad_wrapper.h"
#include "directory/send_as.h"
#include "in_process.h"
#include "platform/emulation/runtime/sid.h"

namespace {

using emulation::Sid;

// The organisation under test: the one CALDROSE_ORGANISATION names, else
// the table's own.
std::string OrganisationText() {
  const char* named = getenv("CALDROSE_ORGANISATION");
  const std::string path = named != nullptr && *named != '\0' ? named : CALDROSE_TEST_DATA "/directory.json";
  std::ifstream file(path);
  EXPECT_TRUE(file) << path;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

struct DirectoryCase {
  std::string what;
  std::string expected;
  // What a domain controller gives instead, and why; empty when the same.
  std::string onDomainController = {};
  std::string why = {};
};

std::string ToText(BSTR text) { return text == nullptr ? "(null)" : std::string(text, text + SysStringLen(text)); }

class DirectoryTable : public testing::Test {
 protected:
  void SetUp() override {
    const std::string organisation = OrganisationText();
    onDomainController_ = nlohmann::json::parse(organisation)["directory"].contains("ldap");
    StartEmulatedPlatform(organisation);
    directory_ = std::make_unique<IADWrapper>(nullptr);
    ASSERT_EQ(directory_->Open(), S_OK);
  }
  void TearDown() override {
    for (AccountNameList* list : {&names_, &namesOneByOne_}) {
      for (BSTR name : *list) SysFreeString(name);
      list->clear();
    }
    directory_.reset();
    StopEmulatedPlatform();
  }

  // What the tool finds for an address, and what it printed on the way.
  std::string Lookup(const char* address) {
    testing::internal::CaptureStdout();
    IADs* user = nullptr;
    const HRESULT hr = directory_->GetUserObject(address, &user);
    std::string found = testing::internal::GetCapturedStdout();
    if (user != nullptr) {
      VARIANT dn;
      VariantInit(&dn);
      BSTR attribute = SysAllocString(OLESTR("distinguishedName"));
      if (SUCCEEDED(user->Get(attribute, &dn)) && dn.vt == VT_BSTR) found += ToText(dn.bstrVal);
      SysFreeString(attribute);
      VariantClear(&dn);
      user->Release();
    }
    return found + (SUCCEEDED(hr) ? "" : " (failed)");
  }

  // The operator's account names, in the order the start-up reads them.
  std::string ReadNames() {
    IADs* user = nullptr;
    EXPECT_EQ(directory_->GetUserObject("operator@test.example", &user), S_OK);
    const HRESULT hr = user != nullptr ? directory_->GetAccountNames(user, names_) : E_FAIL;
    if (user != nullptr) user->Release();
    std::string text = SUCCEEDED(hr) ? "" : "failed: ";
    for (BSTR name : names_) {
      text += (text.empty() || text == "failed: " ? "" : ", ") + ToText(name);
      namesOneByOne_.push_back(SysAllocString(name));
    }
    return text;
  }

  // What opening path and reading attribute give: the statuses, and the
  // VARIANT's type and text (a SID's bytes as its text, strings joined).
  std::string Read(const std::string& path, const std::string& attribute) {
    const std::u16string widePath(path.begin(), path.end());
    IADs* object = nullptr;
    HRESULT hr = ADsGetObject(reinterpret_cast<LPCWSTR>(widePath.c_str()), IID_IADs, reinterpret_cast<void**>(&object));
    std::string text = Hex(hr);
    if (object == nullptr) return text;
    VARIANT value;
    VariantInit(&value);
    const std::u16string wideAttribute(attribute.begin(), attribute.end());
    BSTR name = SysAllocString(reinterpret_cast<LPCWSTR>(wideAttribute.c_str()));
    hr = object->Get(name, &value);
    text += ", " + Hex(hr) + Describe(value);
    SysFreeString(name);
    VariantClear(&value);
    object->Release();
    return text;
  }

  static std::string Hex(HRESULT hr) {
    char text[16];
    snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
  }

  static std::string Describe(const VARIANT& value) {
    char type[16];
    snprintf(type, sizeof type, " vt 0x%X", value.vt);
    std::string text = value.vt == VT_EMPTY ? "" : type;
    if (value.vt == VT_BSTR) text += " " + ToText(value.bstrVal);
    if (value.vt == (VT_ARRAY | VT_UI1)) {
      const Sid sid(static_cast<const BYTE*>(value.parray->pvData),
                    static_cast<const BYTE*>(value.parray->pvData) + value.parray->rgsabound[0].cElements);
      text += " " + emulation::SidText(sid);
    }
    if (value.vt == (VT_ARRAY | VT_VARIANT)) {
      const auto* elements = static_cast<const VARIANT*>(value.parray->pvData);
      for (ULONG i = 0; i < value.parray->rgsabound[0].cElements; ++i) text += " [" + Describe(elements[i]) + " ]";
    }
    return text;
  }

  // The check's outcome for one owner: "granted", or what it printed. The
  // names' index and the comparison with every name must agree.
  std::string SendAs(const std::string& owner) {
    const std::string address = owner + "@test.example";
    std::string outcomes[2];
    for (const bool indexed : {true, false}) {
      testing::internal::CaptureStdout();
      const bool granted =
          CheckSendAsPermission(*directory_, address.c_str(), indexed ? names_ : namesOneByOne_, owner.c_str());
      const std::string printed = testing::internal::GetCapturedStdout();
      outcomes[indexed ? 0 : 1] = granted && printed.empty() ? "granted" : printed;
    }
    EXPECT_EQ(outcomes[0], outcomes[1]) << owner << ": the index and the one-by-one comparison differ";
    return outcomes[0];
  }

  bool onDomainController_ = false;
  std::unique_ptr<IADWrapper> directory_;
  AccountNameList names_;
  AccountNameList namesOneByOne_{AccountNameList::Lookup::CompareEachName};
};

std::string NoSendAs(const std::string& owner) {
  return owner + ": No Send As permission for the {TEST\\operator} account operator.\n";
}

TEST_F(DirectoryTable, EveryDirectoryGivesTheSameTranscript) {
  const std::string operatorDn = "CN=Test Operator,CN=Users,DC=test,DC=example";
  std::vector<std::pair<DirectoryCase, std::string>> run;
  const auto lookup = [&](const char* address, std::string expected) {
    run.push_back({{std::string("lookup ") + address, std::move(expected)}, Lookup(address)});
  };
  // The address matches proxyAddresses' "smtp:" values without regard to
  // case, and only itself: escaped, "*" matches nobody and ")(" cannot
  // break the filter. Read as a wildcard, "grant-*" would also match the
  // other grant-* owners, and two matches find nobody.
  lookup("operator@test.example", operatorDn);
  lookup("OPERATOR@Test.Example", operatorDn);
  lookup("a*b(c)\\d@test.example", operatorDn);
  lookup("grant-*@test.example", "CN=grant-operator,OU=Mailboxes,DC=test,DC=example");
  lookup("*", "{*} Unable to find user in AD\n");
  lookup("nobody@test.example", "{nobody@test.example} Unable to find user in AD\n");

  // Paths and attributes: the statuses and VARIANT forms of each answer.
  const auto read = [&](const std::string& path, const std::string& attribute, std::string expected) {
    run.push_back({{"read " + path + " " + attribute, std::move(expected)}, Read(path, attribute)});
  };
  read("LDAP://RootDSE", "defaultNamingContext", "0x00000000, 0x00000000 vt 0x8 DC=test,DC=example");
  read("LDAP://dc01.test.example/RootDSE", "defaultNamingContext", "0x00000000, 0x00000000 vt 0x8 DC=test,DC=example");
  read("LDAP://elsewhere.test.example/RootDSE", "defaultNamingContext", "0x8007203A");
  read("LDAP://CN=Nobody,OU=Mailboxes,DC=test,DC=example", "objectSid", "0x80072030");
  read("LDAP://" + operatorDn, "objectSid", "0x00000000, 0x00000000 vt 0x2011 S-1-5-21-1000-2000-3000-1104");
  read("LDAP://" + operatorDn, "proxyAddresses",
       "0x00000000, 0x00000000 vt 0x200C [ vt 0x8 SMTP:operator@test.example ] [ vt 0x8 "
       "smtp:a*b(c)\\d@test.example ]");
  read("LDAP://" + operatorDn, "telephoneNumber", "0x00000000, 0x8000500D");
  // A constructed attribute only after GetInfoEx asked for it.
  read("LDAP://" + operatorDn, "tokenGroups", "0x00000000, 0x8000500D");

  run.push_back({{"account names", "TEST\\operator, TEST\\Domain Users, TEST\\Admins, TEST\\Operators",
                  "TEST\\operator, TEST\\Admins, TEST\\Operators, TEST\\Domain Users, BUILTIN\\Users",
                  "the domain controller lists the user's groups depth first with its primary group last, and "
                  "holds the domain's users in BUILTIN\\Users"},
                 ReadNames()});

  const auto sendAs = [&](const char* owner, const char* what, bool granted) {
    run.push_back({{std::string("Send As on ") + owner + " (" + what + ")", granted ? "granted" : NoSendAs(owner)},
                   SendAs(owner)});
  };
  sendAs("grant-operator", "a grant to the operator", true);
  sendAs("grant-group", "a grant to a group", true);
  sendAs("grant-nested", "a grant to a nested group", true);
  sendAs("grant-primary", "a grant to the primary group", true);
  sendAs("upper-case-right", "the right's GUID in upper case", true);
  sendAs("inherited-type-only", "the GUID as the inherited object type only", false);
  sendAs("no-control-access", "no control-access bit", false);
  sendAs("no-object-type", "no object type", false);
  sendAs("another-right", "another right", false);
  sendAs("someone-else", "a grant to someone else", false);
  sendAs("defaults-only", "no entry of the organisation's (the DC's defaults grant SELF)", false);
  sendAs("deny-then-grant", "a deny of Send As before a grant", false);
  sendAs("deny-all-rights", "a deny of all extended rights before a grant", false);
  sendAs("plain-deny", "a plain deny before a grant", false);
  sendAs("grant-then-deny", "a deny after the grant", true);
  sendAs("deny-someone-else", "a deny for someone else", true);
  sendAs("deny-another-right", "a deny of another right", true);
  sendAs("accented-name", "a grant to a name that differs in a letter beyond ASCII", false);

  // One line a case; a printed line's own end is dropped.
  const auto line = [](const std::string& what, std::string outcome, const std::string& why) {
    if (!outcome.empty() && outcome.back() == '\n') outcome.pop_back();
    return what + ": " + outcome + (why.empty() ? "" : "  [on a domain controller: " + why + "]") + "\n";
  };
  std::string expected, actual;
  for (const auto& [test, outcome] : run) {
    const bool differs = onDomainController_ && !test.onDomainController.empty();
    expected += line(test.what, differs ? test.onDomainController : test.expected, differs ? test.why : "");
    actual += line(test.what, outcome, differs ? test.why : "");
  }
  EXPECT_EQ(actual, expected) << (onDomainController_ ? "served by a domain controller" : "served by the organisation");
}

}  // namespace
