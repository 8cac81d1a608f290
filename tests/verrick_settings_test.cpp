// The organisation's settings for Verrick and the wait clock: read as
// strictly as the rest of the file.
#include <gtest/gtest.h>

#include <vector>

#include "platform/emulation/runtime/organisation.h"
#include "platform/emulation/runtime/web_services_index.h"

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

std::string ViewErrorOf(const std::string& text, const std::string& address = "ann@test.example") {
  try {
    emulation::ReadWebServicesView(text, address);
  } catch (const emulation::OrganisationError& error) {
    return error.what();
  }
  return "(accepted)";
}

// Verrick reads only what it needs for its one mailbox: the other
// sections, and the other entries of the address book and of its own
// mailboxes, however large or broken, are passed over, while what it reads
// is still checked, a duplicate key included.
TEST(VerrickSettings, VerricksViewPassesOverWhatItDoesNotNeed) {
  const std::string sections = R"("addressBook": [{"key": "bob", "stale": "broken"}, "not an entry",
        {"key": "ann", "proxyAddresses": ["SMTP:ann@test.example"]}],
      "verrick": {"servers": [{"name": "H", "endpoint": "https://h/ews"}],
                  "mailboxes": [{"address": "bob@test.example", "hang": "broken"},
                                {"address": "ann@test.example", "operatorAccess": true}]}, "waitScale": 0.5)";
  const std::string others =
      R"("directory": {"users": [{"name": 1}], "nested": [[{"a": "]}"}], {}]}, "servers": "none", "cdo": 7)";
  for (const std::string& text : {"{" + others + ", " + sections + "}", "{" + sections + ", " + others + "}"}) {
    const auto organisation = emulation::ReadWebServicesView(text, "ann@test.example");
    ASSERT_EQ(organisation.addressBook.size(), 1u) << text;
    EXPECT_EQ(organisation.addressBook[0].key, "ann");
    ASSERT_EQ(organisation.verrick.mailboxes.size(), 1u);
    EXPECT_TRUE(organisation.verrick.mailboxes[0].operatorAccess);
    EXPECT_NE(organisation.verrick.FindServer("h"), nullptr);
    EXPECT_EQ(organisation.waitScale, 0.5);
    EXPECT_NE(ErrorOf(text), "(accepted)") << "a full read refuses the broken sections";
    EXPECT_EQ(ViewErrorOf(text, "bob@test.example"), "verrick.mailboxes[0].hang: expected an object");
  }
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {R"({"directory": {}, "waitScale": 2})", "waitScale: expected a number above 0 and at most 1"},
      {R"({"directory": {}, "directory": 1})", "directory: given more than once"},
      {R"({"verrick": {"servers": [], "servers": []}})", "verrick.servers: given more than once"},
      {R"({"verrick": {"severs": []}})", "verrick.severs: unknown field"},
      {R"({"verrick": []})", "verrick: expected an object"},
      {R"({"addressBook": {}})", "addressBook: expected an array"},
      {R"({"addressBook": [{"key": "x"}, {"key": "ann", "proxyAddresses": ["smtp:ANN@test.example"], "key": "a"}]})",
       "addressBook[1].key: given more than once"},
      {R"({"verrick": {"mailboxes": [{"address": "ann@test.example", "report": "partial"}]}})",
       "verrick.mailboxes[0].report: expected one of \"written\", \"empty\", \"none\""},
      // Broken text where the view walks, or where it only passes over.
      {R"({"addressBook": [)", "not valid JSON: "},
      {R"({"directory": {"users": [}, "waitScale": 1})", "not valid JSON: "},
      {R"({"directory": "open string})", "not valid JSON: "},
      {R"({"waitScale": 1} trailing)", "not valid JSON: "},
      {R"({"waitScale" 1})", "not valid JSON: "},
      {"", "not valid JSON: "},
      {"[]", "the organisation: expected an object"},
  };
  for (const Case& c : cases) {
    const std::string error = ViewErrorOf(c.text);
    EXPECT_EQ(error.substr(0, std::string(c.error).size()), c.error) << c.text << ": " << error;
  }
}

// What the view finds is what a full read finds, however the file spells
// the address: any letter case, escape sequences, entries that are not
// objects beside those that are, the address elsewhere in the file, and a
// byte-order mark.
TEST(VerrickSettings, VerricksViewFindsWhatAFullReadFinds) {
  const std::string directory =
      R"("directory": {"namingContext": "DC=t", "users": [{"name": "u", "dn": "CN=u,DC=t",
        "proxyAddresses": ["SMTP:cyd@test.example"], "sid": "S-1-5-21-1-2-3-1001"}]})";
  const std::string addressBook = R"("addressBook": [
        {"key": "ann", "displayName": "Ann \"A\" Lee", "proxyAddresses": ["X400:c=US", "smtp:Ann@Test.Example"]},
        {"key": "bob", "proxyAddresses": ["SMTP:b\u006Fb@test.example"]},
        {"key": "second-ann", "proxyAddresses": ["SMTP:ann@test.example"]},
        {"key": "dee", "displayName": "dee@test.example", "proxyAddresses": ["SMTP:dee@test.example.org"]},
        {"key": "eve", "proxyAddresses": ["SMTP:eve@test.example"]}])";
  const std::string verrick = R"("verrick": {"mailboxes": [{"address": "BOB@test.example", "operatorAccess": true},
        {"address": "ann@test.example"}, {"address": "eve@test.exampl\u0065", "reportSize": 10}]})";
  const std::string withObjectsOnly = "{" + addressBook + ", " + directory + ", " + verrick + "}";
  std::string withAString = withObjectsOnly;
  withAString.insert(withAString.find("{\"key\": \"eve\""), "\"a string among entries\", ");
  for (const std::string& text : {withObjectsOnly, withAString, "\xEF\xBB\xBF" + withObjectsOnly}) {
    const emulation::Organisation full = [&] {
      if (text != withAString) return emulation::ParseOrganisation(text);
      std::string readable = text;  // the full read refuses the string entry
      readable.erase(readable.find("\"a string among entries\", "), 26);
      return emulation::ParseOrganisation(readable);
    }();
    // Through an index too, which is made only of a text whose every
    // element could be read.
    const std::string index = emulation::BuildWebServicesIndex(text, "version 1");
    EXPECT_EQ(index.empty(), text == withAString);
    for (const char* address : {"ann@test.example", "BOB@TEST.EXAMPLE", "cyd@test.example", "dee@test.example",
                                "eve@test.example", "test.example"}) {
      std::vector<emulation::Organisation> views = {emulation::ReadWebServicesView(text, address)};
      if (auto indexed = emulation::ReadIndexedWebServicesView(text, "version 1", index, address))
        views.push_back(std::move(*indexed));
      ASSERT_EQ(views.size(), index.empty() ? 1u : 2u) << address;
      const emulation::AddressEntry* expected = nullptr;
      for (const emulation::AddressEntry& entry : full.addressBook)
        if (expected == nullptr && emulation::HasSmtpProxyAddress(entry, address)) expected = &entry;
      const emulation::VerrickMailbox* settings = full.verrick.FindMailbox(address);
      for (const emulation::Organisation& view : views) {
        ASSERT_EQ(view.addressBook.size(), expected == nullptr ? 0u : 1u) << address;
        if (expected != nullptr) {
          EXPECT_EQ(view.addressBook[0].key, expected->key) << address;
        }
        ASSERT_EQ(view.verrick.mailboxes.size(), settings == nullptr ? 0u : 1u) << address;
        if (settings != nullptr) {
          EXPECT_EQ(view.verrick.mailboxes[0].address, settings->address) << address;
          EXPECT_EQ(view.verrick.mailboxes[0].reportSize, settings->reportSize) << address;
        }
      }
    }
  }
}

// An index serves only the version of the file it was made from; one that
// does not fit, whatever is wrong with it, sends the reader back to the
// view without it, and never past the text.
TEST(VerrickSettings, AnIndexServesOnlyTheTextItWasMadeFrom) {
  const std::string text = R"({"addressBook": [{"key": "ann", "proxyAddresses": ["SMTP:ann@test.example"]}],
      "waitScale": 0.5, "verrick": {"servers": [{"name": "H", "endpoint": "https://h/ews"}],
      "mailboxes": [{"address": "ann@test.example", "reportSize": 7}]}})";
  const std::string index = emulation::BuildWebServicesIndex(text, "version 1");
  ASSERT_FALSE(index.empty());
  const auto view = emulation::ReadIndexedWebServicesView(text, "version 1", index, "ANN@test.example");
  ASSERT_TRUE(view.has_value());
  EXPECT_EQ(view->addressBook.at(0).key, "ann");
  EXPECT_EQ(view->verrick.mailboxes.at(0).reportSize, 7u);
  EXPECT_NE(view->verrick.FindServer("h"), nullptr);
  EXPECT_EQ(view->waitScale, 0.5);

  EXPECT_FALSE(emulation::ReadIndexedWebServicesView(text, "version 2", index, "ann@test.example"));
  EXPECT_FALSE(emulation::ReadIndexedWebServicesView(" " + text, "version 1", index, "ann@test.example"));
  EXPECT_FALSE(emulation::ReadIndexedWebServicesView(text, "version 1", "", "ann@test.example"));
  EXPECT_FALSE(emulation::ReadIndexedWebServicesView(text, "", index, "ann@test.example"));
  for (const size_t cut : {size_t{1}, size_t{9}, index.size() / 2})
    EXPECT_FALSE(emulation::ReadIndexedWebServicesView(text, "version 1", index.substr(0, index.size() - cut),
                                                       "ann@test.example"));
  // Every byte damaged in turn: read or refused, but never out of bounds
  // (the sanitizers' builds run this too).
  for (size_t at = 0; at < index.size(); ++at) {
    for (const unsigned char flip : {0x01, 0x80, 0xFF}) {
      std::string damaged = index;
      damaged[at] = static_cast<char>(damaged[at] ^ flip);
      (void)emulation::ReadIndexedWebServicesView(text, "version 1", damaged, "ann@test.example");
    }
  }

  // Text that a view would refuse for some address has no index.
  for (const char* refused : {R"({"addressBook": [{"key": "bob", "stale": "broken"}]})",
                              R"({"verrick": {"mailboxes": [{"address": "bob@test.example", "hang": "broken"}]}})",
                              R"({"addressBook": [], "addressBook": []})", R"({"waitScale": 2})", R"({"verrick": [)"})
    EXPECT_EQ(emulation::BuildWebServicesIndex(refused, "version 1"), "") << refused;
}

}  // namespace
