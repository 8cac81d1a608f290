#include "platform/emulation/runtime/verrick_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <unordered_set>

#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/organisation.h"
#include "platform/emulation/runtime/organisation_reader.h"

namespace emulation {

namespace {

// Bytes written as pairs of hexadecimal digits, "48690a".
std::string ReadHexBytes(const std::string& text, const std::string& field) {
  const bool valid = text.size() % 2 == 0 && std::all_of(text.begin(), text.end(), [](char c) {
                       return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                     });
  if (!valid) Fail(field, "expected pairs of hexadecimal digits such as \"48690a\"");
  std::string bytes;
  for (size_t i = 0; i < text.size(); i += 2) bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  return bytes;
}

WebServicesServer ReadServer(const Json& json, const std::string& path) {
  Members members(json, path);
  WebServicesServer server;
  server.name = members.RequiredString("name");
  server.endpoint = members.RequiredString("endpoint");
  server.reachable = members.OptionalBool("reachable").value_or(true);
  members.CheckNoOthers();
  return server;
}

}  // namespace

VerrickMailbox ReadVerrickMailbox(const Json& json, const std::string& path) {
  // A report of this size is large enough for every test of the copy.
  constexpr uint64_t kLargestReport = 16 * 1024 * 1024;
  Members members(json, path);
  VerrickMailbox mailbox;
  mailbox.address = members.RequiredString("address");
  mailbox.operatorAccess = members.OptionalBool("operatorAccess").value_or(false);
  mailbox.report = static_cast<VerrickReport>(members.Choice("report", {"written", "empty", "none"}));
  if (const Json* size = members.Find("reportSize")) {
    if (!size->is_number_unsigned() || size->get<uint64_t>() > kLargestReport)
      Fail(members.Field("reportSize"), "expected a whole number of bytes up to " + std::to_string(kLargestReport));
    mailbox.reportSize = size->get<size_t>();
  }
  if (const auto hex = members.OptionalString("reportBytes")) {
    if (mailbox.reportSize) Fail(members.Field("reportBytes"), "cannot be given together with reportSize");
    mailbox.reportBytes = ReadHexBytes(*hex, members.Field("reportBytes"));
  }
  if ((mailbox.reportSize || mailbox.reportBytes) && mailbox.report != VerrickReport::Written)
    Fail(members.Field("report"), "must be \"written\" when the report's size or bytes are given");
  if (const Json* hang = members.Find("hang")) {
    Members hangSection(*hang, members.Field("hang"));
    const Json* seconds = hangSection.Find("seconds");
    if (seconds == nullptr) Fail(hangSection.Field("seconds"), "missing");
    if (!seconds->is_number() || seconds->get<double>() <= 0 || seconds->get<double>() > kLongestVerrickHangSeconds)
      Fail(hangSection.Field("seconds"), "expected a number of seconds above 0 and at most 30");
    mailbox.hangSeconds = seconds->get<double>();
    mailbox.hangWhile = static_cast<VerrickHang>(hangSection.Choice("while", {"starting", "writing", "finished"}));
    hangSection.CheckNoOthers();
  }
  members.CheckNoOthers();
  return mailbox;
}

const WebServicesServer* VerrickSettings::FindServer(std::string_view name) const {
  for (const WebServicesServer& server : servers)
    if (SameText(server.name, name)) return &server;
  return nullptr;
}

const VerrickMailbox* VerrickSettings::FindMailbox(std::string_view address) const {
  for (const VerrickMailbox& mailbox : mailboxes)
    if (SameText(mailbox.address, address)) return &mailbox;
  return nullptr;
}

VerrickSettings ReadVerrickSettings(const Json* json) {
  VerrickSettings settings;
  if (json == nullptr) return settings;
  Members members(*json, "verrick");
  settings.installed = members.OptionalBool("installed").value_or(true);
  if (const Json* servers = members.OptionalArray("servers"))
    for (size_t i = 0; i < servers->size(); ++i) {
      const std::string path = Indexed(members.Field("servers"), i);
      WebServicesServer server = ReadServer((*servers)[i], path);
      if (settings.FindServer(server.name) != nullptr) Fail(path + ".name", "\"" + server.name + "\" is used twice");
      settings.servers.push_back(std::move(server));
    }
  if (const Json* mailboxes = members.OptionalArray("mailboxes")) {
    // One per mailbox of an organisation of thousands: checked by set.
    std::unordered_set<std::string> addresses;
    for (size_t i = 0; i < mailboxes->size(); ++i) {
      const std::string path = Indexed(members.Field("mailboxes"), i);
      VerrickMailbox mailbox = ReadVerrickMailbox((*mailboxes)[i], path);
      if (!addresses.insert(LowerCase(mailbox.address)).second)
        Fail(path + ".address", "\"" + mailbox.address + "\" is used twice");
      settings.mailboxes.push_back(std::move(mailbox));
    }
  }
  members.CheckNoOthers();
  return settings;
}

double ReadWaitScale(const Json* value) {
  if (value == nullptr) return 1;
  if (!value->is_number() || value->get<double>() <= 0 || value->get<double>() > 1)
    Fail("waitScale", "expected a number above 0 and at most 1");
  return value->get<double>();
}

}  // namespace emulation
