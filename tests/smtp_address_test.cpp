// SMTP address resolution against the emulated address book, and against
// an address book that adds nothing.
#include "messaging/smtp_address.h"

#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "in_process.h"
#include "platform/emulation/control.h"
#include "platform/emulation/mapi/mapi_objects.h"
#include "platform/emulation/mapi/unserved.h"

namespace {

using Json = nlohmann::json;

constexpr HRESULT kNoAddress = static_cast<HRESULT>(0x800B0001);

// One address-book entry per case, keyed by the case's name.
struct Case {
  const char* name;
  Json entry;  // without its key
  HRESULT status;
  const char* address;  // on success
};

const Case kCases[] = {
    {"FirstSmtpProxyWinsWhateverItsCase",
     {{"addressType", "EX"},
      {"emailAddress", "/o=T/cn=x"},
      {"proxyAddresses", {"X400:c=US;a= ;p=T;", "smtp:second@t.example", "SMTP:third@t.example"}}},
     S_OK,
     "second@t.example"},
    {"ProxiesWithoutSmtpDoNotFallBackToTheOwnAddress",
     {{"addressType", "SMTP"}, {"emailAddress", "own@t.example"}, {"proxyAddresses", {"X400:c=US;", "X500:/o=T"}}},
     kNoAddress,
     nullptr},
    {"NoProxiesAndAnSmtpTypeGiveTheOwnAddress",
     {{"addressType", "sMtP"}, {"emailAddress", "own@t.example"}},
     S_OK,
     "own@t.example"},
    {"NoProxiesAndAnotherTypeGiveNone", {{"addressType", "EX"}, {"emailAddress", "/o=T/cn=x"}}, kNoAddress, nullptr},
    {"NoProxiesAndNoOwnAddressGiveNone", {{"addressType", "SMTP"}}, kNoAddress, nullptr},
    {"NoProxiesAndNoTypeGiveNone", {{"emailAddress", "own@t.example"}}, kNoAddress, nullptr},
    {"AProxyOfTheTypeAloneHoldsNoAddress", {{"proxyAddresses", {"SMTP", "smtp:later@t.example"}}}, kNoAddress, nullptr},
    {"AProxyOfTheTypeAndItsColonHoldsAnEmptyAddress", {{"proxyAddresses", {"SMTP:"}}}, S_OK, ""},
    {"ShorterProxiesDoNotMatch", {{"proxyAddresses", {"SM", "smtp:x@t.example"}}}, S_OK, "x@t.example"},
};

class EmulatedAddressBook : public testing::Test {
 protected:
  void SetUp() override {
    Json organisation = {
        {"profiles", {{{"name", "Operator"}, {"identity", kCases[0].name}}}},
        {"addressBook", Json::array()},
    };
    for (const Case& c : kCases) {
      Json entry = c.entry;
      entry["key"] = c.name;
      organisation["addressBook"].push_back(entry);
    }
    organisation["faults"] = faults_;
    StartEmulatedPlatform(organisation.dump());
    char profile[] = "Operator";
    ASSERT_EQ(MAPILogonEx(0, profile, nullptr, 0, &session_), S_OK);
    ASSERT_EQ(session_->OpenAddressBook(0, nullptr, 0, &addressBook_), S_OK);
  }

  void TearDown() override {
    if (addressBook_ != nullptr) addressBook_->Release();
    if (session_ != nullptr) session_->Release();
    StopEmulatedPlatform();
  }

  HRESULT Resolve(const std::string& key, char** address) {
    std::vector<BYTE> entryId = emulation::MakeEntryId(emulation::kAddressBookProvider, key);
    return ResolveSmtpAddress(addressBook_, static_cast<ULONG>(entryId.size()), entryId.data(), "SMTP", address);
  }

  Json faults_ = Json::array();
  LPMAPISESSION session_ = nullptr;
  LPADRBOOK addressBook_ = nullptr;
};

TEST_F(EmulatedAddressBook, FollowsTheProxyAndAddressTypeRules) {
  for (const Case& c : kCases) {
    char* address = nullptr;
    EXPECT_EQ(Resolve(c.name, &address), c.status) << c.name;
    if (c.address != nullptr) {
      ASSERT_NE(address, nullptr) << c.name;
      EXPECT_STREQ(address, c.address) << c.name;
    } else {
      EXPECT_EQ(address, nullptr) << c.name;
    }
    delete[] address;
  }
}

TEST_F(EmulatedAddressBook, AnEmptyEntryIdIsAnInvalidArgumentAndLeavesTheAddress) {
  char kept[] = "kept";
  char* address = kept;
  BYTE byte = 0;
  EXPECT_EQ(ResolveSmtpAddress(addressBook_, 0, &byte, "SMTP", &address), E_INVALIDARG);
  EXPECT_EQ(ResolveSmtpAddress(addressBook_, 4, nullptr, "SMTP", &address), E_INVALIDARG);
  EXPECT_EQ(address, kept);
}

TEST_F(EmulatedAddressBook, AnUnknownEntryFailsInPrepareRecips) {
  char* address = nullptr;
  EXPECT_EQ(Resolve("nobody", &address), MAPI_E_NOT_FOUND);
  EXPECT_EQ(address, nullptr);
}

// Each case runs on a fresh platform: the ledger check of TearDown shows
// that the address list went back on every path.
struct FaultCase {
  const char* operation;
  const char* status;
  HRESULT expected;
};

class FaultyAddressBook : public EmulatedAddressBook, public testing::WithParamInterface<FaultCase> {
 protected:
  void SetUp() override {
    faults_ = {{{"operation", GetParam().operation}, {"status", GetParam().status}}};
    EmulatedAddressBook::SetUp();
  }
};

TEST_P(FaultyAddressBook, PlatformFailuresAreReportedAndTheListIsReleased) {
  char* address = nullptr;
  EXPECT_EQ(Resolve(kCases[0].name, &address), GetParam().expected);
  EXPECT_EQ(address, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyAddressBook,
                         testing::Values(FaultCase{"IAddrBook::PrepareRecips", "0x80040115",
                                                   static_cast<HRESULT>(0x80040115)},
                                         FaultCase{"MAPIAllocateBuffer", "0x8007000E", E_OUTOFMEMORY},
                                         FaultCase{"ScDupPropset", "0x8007000E", E_FAIL}),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                           std::string name = info.param.operation;
                           return name.substr(name.rfind(':') + 1);
                         });

// An address book whose PrepareRecips succeeds without adding anything.
class SilentAddressBook : public emulation::ObjectBase, public emulation::UnservedAddrBook<IAddrBook> {
 public:
  SilentAddressBook() : ObjectBase("silent address book"), UnservedAddrBook<IAddrBook>("IAddrBook") {}
  IUnknown* FaceFor(REFIID) override { return static_cast<IAddrBook*>(this); }
  HRESULT STDMETHODCALLTYPE PrepareRecips(ULONG, LPSPropTagArray, LPADRLIST) override { return S_OK; }
};

TEST(SmtpAddress, AnEntryTheAddressBookAddsNothingToHasNoAddress) {
  SilentAddressBook book;
  BYTE entryId[24] = {};
  char* address = nullptr;
  EXPECT_EQ(ResolveSmtpAddress(&book, sizeof entryId, entryId, "SMTP", &address), kNoAddress);
  EXPECT_EQ(address, nullptr);
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  emulation::ResetRun();
}

TEST(AddressList, EntriesAreCopiedAndReplaced) {
  LPADRLIST list = nullptr;
  ASSERT_EQ(CreateAddressList(2, &list), S_OK);
  EXPECT_EQ(list->cEntries, 2u);
  // The entries run past the declared one-element array, as MAPI lays them out.
  const ADRENTRY* entries = list->aEntries;
  EXPECT_EQ(entries[1].rgPropVals, nullptr);

  char name[] = "first";
  SPropValue value = {};
  value.ulPropTag = PR_DISPLAY_NAME_A;
  value.Value.lpszA = name;
  ASSERT_EQ(SetAddressListEntry(1, 1, &value, list), S_OK);
  name[0] = 'F';  // the entry holds its own copy
  EXPECT_STREQ(entries[1].rgPropVals[0].Value.lpszA, "first");

  char other[] = "second";
  value.Value.lpszA = other;
  ASSERT_EQ(SetAddressListEntry(1, 1, &value, list), S_OK);
  EXPECT_STREQ(entries[1].rgPropVals[0].Value.lpszA, "second");
  EXPECT_EQ(SetAddressListEntry(2, 1, &value, list), E_FAIL);

  // The list, and one copy: the replaced one was freed.
  EXPECT_EQ(emulation::LedgerLive().size(), 2u);
  FreePadrlist(list);
  EXPECT_EQ(emulation::LedgerLive(), std::vector<std::string>{});
  EXPECT_EQ(emulation::LedgerViolations(), std::vector<std::string>{});
  emulation::ResetRun();
}

}  // namespace
