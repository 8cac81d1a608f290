#include "verrick/report.h"

#include <cstdio>
#include <optional>

#include "platform/emulation/runtime/ascii_case.h"

namespace verrick {

using emulation::SameText;

namespace {

std::string Heading(const std::string& smtpAddress, const std::string& displayName) {
  return "Verrick web services check\n"
         "Display name: " +
         displayName + "\nAddress: " + smtpAddress + "\n";
}

// The address-book entry that has smtpAddress among its SMTP proxy
// addresses (the prefix and the address in any letter case).
const emulation::AddressEntry* FindMailbox(const emulation::Organisation& organisation,
                                           const std::string& smtpAddress) {
  for (const emulation::AddressEntry& entry : organisation.addressBook)
    if (emulation::HasSmtpProxyAddress(entry, smtpAddress)) return &entry;
  return nullptr;
}

// The server's name in a home message-store DN: ".../cn=Servers/cn=NAME/...".
std::optional<std::string> ServerOf(const std::string& homeMdb) {
  const std::string marker = "/cn=servers/cn=";
  for (size_t at = 0; at + marker.size() <= homeMdb.size(); ++at) {
    if (!SameText(std::string_view(homeMdb).substr(at, marker.size()), marker)) continue;
    const size_t start = at + marker.size();
    const size_t end = homeMdb.find('/', start);
    const std::string name = homeMdb.substr(start, end == std::string::npos ? end : end - start);
    if (!name.empty()) return name;
  }
  return std::nullopt;
}

}  // namespace

std::string CheckWebServices(const emulation::Organisation& organisation, const std::string& smtpAddress,
                             const std::string& displayName) {
  std::string report = Heading(smtpAddress, displayName);
  const auto finish = [&](bool passed) { return report + (passed ? "Result: passed\n" : "Result: failed\n"); };

  const emulation::AddressEntry* entry = FindMailbox(organisation, smtpAddress);
  if (entry == nullptr) {
    report += "Mailbox: no mailbox has this address\n";
    return finish(false);
  }
  const std::optional<std::string> server = entry->homeMdb ? ServerOf(*entry->homeMdb) : std::nullopt;
  if (!server) {
    report += "Mailbox: found, but its home server is not known\n";
    return finish(false);
  }
  report += "Mailbox: found on server " + *server + "\n";

  const emulation::WebServicesServer* endpoint = organisation.verrick.FindServer(*server);
  if (endpoint == nullptr) {
    report += "Web services: no endpoint is configured for " + *server + "\n";
    return finish(false);
  }
  if (!endpoint->reachable) {
    report += "Web services: " + endpoint->endpoint + " is not reachable\n";
    return finish(false);
  }
  report += "Web services: " + endpoint->endpoint + " is reachable\n";

  const emulation::VerrickMailbox* settings = organisation.verrick.FindMailbox(smtpAddress);
  const bool allowed = settings != nullptr && settings->operatorAccess;
  report += allowed ? "Operator access: allowed\n" : "Operator access: denied\n";
  return finish(allowed);
}

std::string OrganisationFailureReport(const std::string& smtpAddress, const std::string& displayName,
                                      const std::string& problem) {
  return Heading(smtpAddress, displayName) + "Organisation: cannot be read: " + problem + "\nResult: failed\n";
}

std::string ToSize(std::string report, size_t size) {
  for (unsigned line = 1; report.size() < size; ++line) {
    char filler[32];
    snprintf(filler, sizeof filler, "filler line %06u\n", line);
    report += filler;
  }
  report.resize(size);
  return report;
}

}  // namespace verrick
