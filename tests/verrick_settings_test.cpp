// The organisation's settings for Verrick and the wait clock: read as
// strictly as the rest of the file.
#include <gtest/gtest.h>

#include "platform/emulation/runtime/organisation.h"

namespace {

std::string ErrorOf(const std::string& text) {
  try {
    emulation::ParseOrganisation(text);
  } catch (const emulation::OrganisationError& error) {
    return error.what();
  }
  return "(accepted)";
}

TEST(VerrickSettings, ABrokenSettingNamesTheFieldAndTheProblem) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {R"({"verrick": []})", "verrick: expected an object"},
      {R"({"verrick": {"instaled": false}})", "verrick.instaled: unknown field"},
      {R"({"verrick": {"installed": "no"}})", "verrick.installed: expected true or false"},
      {R"({"verrick": {"servers": [{"name": "H"}]}})", "verrick.servers[0].endpoint: missing"},
      {R"({"verrick": {"servers": [{"name": "H", "endpoint": "e"}, {"name": "h", "endpoint": "e"}]}})",
       "verrick.servers[1].name: \"h\" is used twice"},
      {R"({"verrick": {"mailboxes": [{"operatorAccess": true}]}})", "verrick.mailboxes[0].address: missing"},
      {R"({"verrick": {"mailboxes": [{"address": "a@x"}, {"address": "b@x"}, {"address": "A@X"}]}})",
       "verrick.mailboxes[2].address: \"A@X\" is used twice"},
      {R"({"verrick": {"mailboxes": [{"address": "a@b", "report": "partial"}]}})",
       "verrick.mailboxes[0].report: expected one of \"written\", \"empty\", \"none\""},
      {R"({"verrick": {"mailboxes": [{"address": "a@b", "reportSize": -1}]}})",
       "verrick.mailboxes[0].reportSize: expected a whole number of bytes up to 16777216"},
      {R"({"verrick": {"mailboxes": [{"address": "a@b", "reportBytes": "0g"}]}})",
       "verrick.mailboxes[0].reportBytes: expected pairs of hexadecimal digits such as \"48690a\""},
      {R"({"verrick": {"mailboxes": [{"address": "a@b", "reportSize": 1, "reportBytes": "00"}]}})",
       "verrick.mailboxes[0].reportBytes: cannot be given together with reportSize"},
      {R"({"verrick": {"mailboxes": [{"address": "a@b", "report": "none", "reportSize": 1}]}})",
       "verrick.mailboxes[0].report: must be \"written\" when the report's size or bytes are given"},
      {R"({"verrick": {"mailboxes": [{"address": "a@b", "hang": {"seconds": 31}}]}})",
       "verrick.mailboxes[0].hang.seconds: expected a number of seconds above 0 and at most 30"},
      {R"({"verrick": {"mailboxes": [{"address": "a@b", "hang": {"while": "writing"}}]}})",
       "verrick.mailboxes[0].hang.seconds: missing"},
      {R"({"verrick": {"mailboxes": [{"address": "a@b", "hang": {"seconds": 1, "when": "writing"}}]}})",
       "verrick.mailboxes[0].hang.when: unknown field"},
      {R"({"verrick": {"mailboxes": [{"address": "a@b"}, {"address": "A@B"}]}})",
       "verrick.mailboxes[1].address: \"A@B\" is used twice"},
      {R"({"waitScale": 0})", "waitScale: expected a number above 0 and at most 1"},
      {R"({"waitScale": "fast"})", "waitScale: expected a number above 0 and at most 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.text), c.error) << c.text;
}

TEST(VerrickSettings, AreReadWithTheirDefaults) {
  const auto organisation = emulation::ParseOrganisation(R"({"waitScale": 0.01, "verrick": {
      "servers": [{"name": "HOST1", "endpoint": "https://host1/ews"}],
      "mailboxes": [{"address": "Ann@Test.Example"},
                    {"address": "bob@test.example", "operatorAccess": true, "reportBytes": "48690a",
                     "hang": {"seconds": 0.5, "while": "writing"}}]}})");
  EXPECT_EQ(organisation.waitScale, 0.01);
  const emulation::VerrickSettings& verrick = organisation.verrick;
  EXPECT_TRUE(verrick.installed);
  ASSERT_NE(verrick.FindServer("host1"), nullptr);
  EXPECT_TRUE(verrick.FindServer("host1")->reachable);
  const emulation::VerrickMailbox* ann = verrick.FindMailbox("ann@test.example");
  ASSERT_NE(ann, nullptr);
  EXPECT_FALSE(ann->operatorAccess);
  EXPECT_EQ(ann->report, emulation::VerrickReport::Written);
  EXPECT_EQ(ann->hangSeconds, 0);
  const emulation::VerrickMailbox* bob = verrick.FindMailbox("bob@test.example");
  ASSERT_NE(bob, nullptr);
  EXPECT_EQ(bob->reportBytes, std::optional<std::string>("Hi\n"));
  EXPECT_EQ(bob->hangWhile, emulation::VerrickHang::Writing);
  EXPECT_EQ(emulation::ParseOrganisation("{}").waitScale, 1);
}

// Verrick reads only the address book, its own settings and the wait
// scale: the other sections, however large or broken, are passed over,
// while what it reads is still checked, a duplicate key included.
TEST(VerrickSettings, TheWebServicesReadPassesOverTheOtherSections) {
  const std::string sections = R"("addressBook": [{"key": "ann", "proxyAddresses": ["SMTP:ann@test.example"]}],
      "verrick": {"mailboxes": [{"address": "ann@test.example", "operatorAccess": true}]}, "waitScale": 0.5)";
  const std::string others =
      R"("directory": {"users": [{"name": 1}], "nested": [[{"a": []}], {}]}, "servers": "none", "cdo": 7)";
  for (const std::string& text : {"{" + others + ", " + sections + "}", "{" + sections + ", " + others + "}"}) {
    const auto organisation = emulation::ParseOrganisation(text, emulation::Sections::WebServices);
    ASSERT_EQ(organisation.addressBook.size(), 1u) << text;
    EXPECT_EQ(organisation.addressBook[0].key, "ann");
    ASSERT_NE(organisation.verrick.FindMailbox("ann@test.example"), nullptr);
    EXPECT_TRUE(organisation.verrick.FindMailbox("ann@test.example")->operatorAccess);
    EXPECT_EQ(organisation.waitScale, 0.5);
    EXPECT_NE(ErrorOf(text), "(accepted)") << "a full read refuses the broken sections";
  }
  const auto errorOfWebServicesRead = [](const std::string& text) -> std::string {
    try {
      emulation::ParseOrganisation(text, emulation::Sections::WebServices);
    } catch (const emulation::OrganisationError& error) {
      return error.what();
    }
    return "(accepted)";
  };
  EXPECT_EQ(errorOfWebServicesRead(R"({"directory": {}, "waitScale": 2})"),
            "waitScale: expected a number above 0 and at most 1");
  EXPECT_EQ(errorOfWebServicesRead(R"({"directory": {}, "directory": 1})"), "directory: given more than once");
}

}  // namespace
