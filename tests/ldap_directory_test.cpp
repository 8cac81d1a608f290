// The LDAP directory without a domain controller: the security descriptor's
// binary form, and a server that does not answer. Its answers from a real
// domain controller are the directory table's (directory_cases_test.cpp
// through scripts/samba-dc.sh).
#include "platform/emulation/directory/ldap_directory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "directory/ad_wrapper.h"
#include "in_process.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Append(Bytes& bytes, const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }

Bytes Le16(unsigned value) { return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)}; }
Bytes Le32(unsigned value) {
  return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
          static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

Bytes Ace(unsigned char type, unsigned char aceFlags, unsigned mask, const Bytes& objectPart, const char* trustee) {
  Bytes body = Le32(mask);
  Append(body, objectPart);
  Append(body, *emulation::ParseSid(trustee));
  Bytes ace = {type, aceFlags};
  Append(ace, Le16(static_cast<unsigned>(body.size() + 4)));
  Append(ace, body);
  return ace;
}

// A self-relative descriptor with a DACL of aces and nothing else.
Bytes Descriptor(const std::vector<Bytes>& aces, unsigned control = 0x8004) {
  Bytes list;
  for (const Bytes& ace : aces) Append(list, ace);
  Bytes bytes = {1, 0};
  Append(bytes, Le16(control));
  Append(bytes, Le32(0));   // owner
  Append(bytes, Le32(0));   // group
  Append(bytes, Le32(0));   // SACL
  Append(bytes, Le32(20));  // DACL, right after the header
  Append(bytes, {4, 0});
  Append(bytes, Le16(static_cast<unsigned>(list.size() + 8)));
  Append(bytes, Le16(static_cast<unsigned>(aces.size())));
  Append(bytes, Le16(0));
  Append(bytes, list);
  return bytes;
}

// Send As and Change Password as the directory stores GUIDs: the first
// three fields little-endian.
const Bytes kSendAsGuid = {0x54, 0x1a, 0x72, 0xab, 0x2f, 0x1e, 0xd0, 0x11,
                           0x98, 0x19, 0x00, 0xaa, 0x00, 0x40, 0x52, 0x9b};
const Bytes kChangePasswordGuid = {0x53, 0x1a, 0x72, 0xab, 0x2f, 0x1e, 0xd0, 0x11,
                                   0x98, 0x19, 0x00, 0xaa, 0x00, 0x40, 0x52, 0x9b};

TEST(LdapDirectory, TheDaclComesFromTheDescriptorsBytesInListOrder) {
  Bytes bothTypes = Le32(3);
  Append(bothTypes, kSendAsGuid);
  Append(bothTypes, kChangePasswordGuid);
  Bytes inheritedOnly = Le32(2);
  Append(inheritedOnly, kSendAsGuid);
  const Bytes descriptor =
      Descriptor({Ace(5, 0x12, 0x100, bothTypes, "S-1-5-21-1-2-3-1104"), Ace(1, 0, 0x100, {}, "S-1-5-10"),
                  Ace(6, 0, 0x80000100, inheritedOnly, "S-1-1-0"), Ace(6, 0, 0x100, Le32(0), "S-1-5-11")});
  const auto entries = emulation::DaclOfDescriptor(descriptor);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 4u);
  const auto& grant = (*entries)[0];
  EXPECT_EQ(emulation::SidText(grant.trustee), "S-1-5-21-1-2-3-1104");
  EXPECT_EQ(grant.aceType, 5);
  EXPECT_EQ(grant.aceFlags, 0x12);
  EXPECT_EQ(grant.flags, 3);
  EXPECT_EQ(grant.accessMask, 0x100);
  EXPECT_EQ(grant.objectType, "{ab721a54-1e2f-11d0-9819-00aa0040529b}");  // the object type, not the inherited one
  EXPECT_EQ((*entries)[1].aceType, 1);
  EXPECT_EQ(emulation::SidText((*entries)[1].trustee), "S-1-5-10");
  EXPECT_FALSE((*entries)[1].objectType);
  // The inherited object type alone is no object type; a mask keeps its
  // high bit as the platform's LONG does.
  EXPECT_FALSE((*entries)[2].objectType);
  EXPECT_EQ(emulation::SidText((*entries)[2].trustee), "S-1-1-0");
  EXPECT_EQ((*entries)[2].accessMask, static_cast<long>(static_cast<int32_t>(0x80000100)));
  EXPECT_EQ(emulation::SidText((*entries)[3].trustee), "S-1-5-11");

  // No DACL, not self-relative, and every cut short: no list, and no read
  // beyond the bytes.
  EXPECT_FALSE(emulation::DaclOfDescriptor(Descriptor({}, 0x8000)));
  EXPECT_FALSE(emulation::DaclOfDescriptor(Descriptor({}, 0x0004)));
  for (size_t size = 0; size < descriptor.size(); ++size)
    EXPECT_FALSE(emulation::DaclOfDescriptor(Bytes(descriptor.begin(), descriptor.begin() + static_cast<long>(size))))
        << size;
}

std::string Text(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// What the operator's lookup prints, through the named controller or none.
std::string LookupPrints(const nlohmann::json& organisation, const char* controller) {
  StartEmulatedPlatform(organisation.dump());
  std::string printed;
  {
    IADWrapper directory(controller);
    EXPECT_EQ(directory.Open(), S_OK);
    testing::internal::CaptureStdout();
    IADs* user = nullptr;
    directory.GetUserObject("operator@test.example", &user);
    if (user != nullptr) user->Release();
    printed = testing::internal::GetCapturedStdout();
  }
  StopEmulatedPlatform();
  return printed;
}

TEST(LdapDirectory, AServerThatDoesNotAnswerIsADomainThatCannotBeContacted) {
  nlohmann::json unreachable = nlohmann::json::parse(Text(CALDROSE_TEST_DATA "/directory.json"));
  // Nothing listens on port 1 of this machine.
  unreachable["directory"]["ldap"] = {{"url", "ldap://127.0.0.1:1"}, {"bindName", "x"}, {"password", "x"}};
  nlohmann::json noDomain = nlohmann::json::parse(OperatorOrganisationText());
  noDomain["directory"] = nlohmann::json::object();
  for (const char* controller : {static_cast<const char*>(nullptr), "dc01.test.example"}) {
    const std::string printed = LookupPrints(unreachable, controller);
    EXPECT_EQ(printed, LookupPrints(noDomain, controller));
    EXPECT_NE(printed.find(controller == nullptr ? "8007054b" : "8007203a"), std::string::npos) << printed;
  }
}

}  // namespace
