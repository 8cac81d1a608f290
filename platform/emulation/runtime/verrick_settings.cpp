#include "platform/emulation/runtime/verrick_settings.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "platform/emulation/runtime/organisation.h"

namespace emulation {

namespace {

using Json = nlohmann::json;

bool SameText(std::string_view left, std::string_view right) {
  return left.size() == right.size() && strncasecmp(left.data(), right.data(), left.size()) == 0;
}

[[noreturn]] void Fail(const std::string& field, const std::string& problem) {
  throw OrganisationError(field + ": " + problem);
}

std::string Indexed(const std::string& field, size_t index) { return field + "[" + std::to_string(index) + "]"; }

// One JSON object read strictly: each member taken at most once, and the
// members nobody took reported as unknown.
class Section {
 public:
  Section(const Json& object, std::string path) : object_(object), path_(std::move(path)) {
    if (!object_.is_object()) Fail(path_, "expected an object");
  }

  std::string Field(const char* name) const { return path_ + "." + name; }

  const Json* Find(const char* name) {
    taken_.emplace_back(name);
    const auto found = object_.find(name);
    return found == object_.end() ? nullptr : &*found;
  }

  std::optional<std::string> String(const char* name) {
    const Json* value = Find(name);
    if (value == nullptr) return std::nullopt;
    if (!value->is_string()) Fail(Field(name), "expected a string");
    return value->get<std::string>();
  }

  std::string RequiredString(const char* name) {
    const auto value = String(name);
    if (!value) Fail(Field(name), "missing");
    if (value->empty()) Fail(Field(name), "must not be empty");
    return *value;
  }

  std::optional<bool> Bool(const char* name) {
    const Json* value = Find(name);
    if (value == nullptr) return std::nullopt;
    if (!value->is_boolean()) Fail(Field(name), "expected true or false");
    return value->get<bool>();
  }

  const Json* Array(const char* name) {
    const Json* value = Find(name);
    if (value != nullptr && !value->is_array()) Fail(Field(name), "expected an array");
    return value;
  }

  // One of the given words; the first is the default.
  size_t Choice(const char* name, std::initializer_list<const char*> words) {
    const auto value = String(name);
    if (!value) return 0;
    size_t index = 0;
    for (const char* word : words) {
      if (*value == word) return index;
      ++index;
    }
    std::string list;
    for (const char* word : words) list += (list.empty() ? "\"" : ", \"") + std::string(word) + "\"";
    Fail(Field(name), "expected one of " + list);
  }

  void CheckNoOthers() const {
    for (const auto& [name, value] : object_.items())
      if (std::find(taken_.begin(), taken_.end(), name) == taken_.end()) Fail(path_ + "." + name, "unknown field");
  }

 private:
  const Json& object_;
  std::string path_;
  std::vector<std::string> taken_;
};

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
  Section section(json, path);
  WebServicesServer server;
  server.name = section.RequiredString("name");
  server.endpoint = section.RequiredString("endpoint");
  server.reachable = section.Bool("reachable").value_or(true);
  section.CheckNoOthers();
  return server;
}

VerrickMailbox ReadMailbox(const Json& json, const std::string& path) {
  // A report of this size is large enough for every test of the copy.
  constexpr uint64_t kLargestReport = 16 * 1024 * 1024;
  Section section(json, path);
  VerrickMailbox mailbox;
  mailbox.address = section.RequiredString("address");
  mailbox.operatorAccess = section.Bool("operatorAccess").value_or(false);
  mailbox.report = static_cast<VerrickReport>(section.Choice("report", {"written", "empty", "none"}));
  if (const Json* size = section.Find("reportSize")) {
    if (!size->is_number_unsigned() || size->get<uint64_t>() > kLargestReport)
      Fail(section.Field("reportSize"), "expected a whole number of bytes up to " + std::to_string(kLargestReport));
    mailbox.reportSize = size->get<size_t>();
  }
  if (const auto hex = section.String("reportBytes")) {
    if (mailbox.reportSize) Fail(section.Field("reportBytes"), "cannot be given together with reportSize");
    mailbox.reportBytes = ReadHexBytes(*hex, section.Field("reportBytes"));
  }
  if ((mailbox.reportSize || mailbox.reportBytes) && mailbox.report != VerrickReport::Written)
    Fail(section.Field("report"), "must be \"written\" when the report's size or bytes are given");
  if (const Json* hang = section.Find("hang")) {
    Section hangSection(*hang, section.Field("hang"));
    const Json* seconds = hangSection.Find("seconds");
    if (seconds == nullptr) Fail(hangSection.Field("seconds"), "missing");
    if (!seconds->is_number() || seconds->get<double>() <= 0 || seconds->get<double>() > kLongestVerrickHangSeconds)
      Fail(hangSection.Field("seconds"), "expected a number of seconds above 0 and at most 30");
    mailbox.hangSeconds = seconds->get<double>();
    mailbox.hangWhile = static_cast<VerrickHang>(hangSection.Choice("while", {"starting", "writing", "finished"}));
    hangSection.CheckNoOthers();
  }
  section.CheckNoOthers();
  return mailbox;
}

}  // namespace

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
  Section section(*json, "verrick");
  settings.installed = section.Bool("installed").value_or(true);
  if (const Json* servers = section.Array("servers"))
    for (size_t i = 0; i < servers->size(); ++i) {
      const std::string path = Indexed(section.Field("servers"), i);
      WebServicesServer server = ReadServer((*servers)[i], path);
      if (settings.FindServer(server.name) != nullptr) Fail(path + ".name", "\"" + server.name + "\" is used twice");
      settings.servers.push_back(std::move(server));
    }
  if (const Json* mailboxes = section.Array("mailboxes"))
    for (size_t i = 0; i < mailboxes->size(); ++i) {
      const std::string path = Indexed(section.Field("mailboxes"), i);
      VerrickMailbox mailbox = ReadMailbox((*mailboxes)[i], path);
      if (settings.FindMailbox(mailbox.address) != nullptr)
        Fail(path + ".address", "\"" + mailbox.address + "\" is used twice");
      settings.mailboxes.push_back(std::move(mailbox));
    }
  section.CheckNoOthers();
  return settings;
}

double ReadWaitScale(const Json* value) {
  if (value == nullptr) return 1;
  if (!value->is_number() || value->get<double>() <= 0 || value->get<double>() > 1)
    Fail("waitScale", "expected a number above 0 and at most 1");
  return value->get<double>();
}

}  // namespace emulation
