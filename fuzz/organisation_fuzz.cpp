// The organisation file reader, whole and as Verrick reads it (only what
// one mailbox needs, with and without the index the platform makes): any
// text is read or refused with an OrganisationError that says what is
// wrong; nothing else may happen. Where the whole read accepts a text, the
// index can be made, and Verrick's view finds the same entry and settings
// for each address the text gives, through the index or not. Where the
// index can be made, Verrick's view refuses the text for no address.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/emulation/runtime/organisation.h"
#include "platform/emulation/runtime/web_services_index.h"

namespace {

constexpr const char* kIdentity = "fuzz input";

void CheckView(const emulation::Organisation& view, const emulation::Organisation& full, const std::string& address) {
  const emulation::AddressEntry* entry = nullptr;
  for (const emulation::AddressEntry& candidate : full.addressBook)
    if (entry == nullptr && emulation::HasSmtpProxyAddress(candidate, address)) entry = &candidate;
  if (view.addressBook.size() != (entry == nullptr ? 0u : 1u)) abort();
  if (entry != nullptr && view.addressBook[0].key != entry->key) abort();
  const emulation::VerrickMailbox* settings = full.verrick.FindMailbox(address);
  if (view.verrick.mailboxes.size() != (settings == nullptr ? 0u : 1u)) abort();
  if (settings != nullptr && view.verrick.mailboxes[0].address != settings->address) abort();
  if (view.verrick.servers.size() != full.verrick.servers.size() || view.waitScale != full.waitScale) abort();
}

void CheckVerricksView(std::string_view text, const std::string& index, const emulation::Organisation& full,
                       const std::string& address) {
  CheckView(emulation::ReadWebServicesView(text, address), full, address);
  const auto indexed = emulation::ReadIndexedWebServicesView(text, kIdentity, index, address);
  if (!indexed) abort();
  CheckView(*indexed, full, address);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<emulation::Organisation> full;
  try {
    full = emulation::ParseOrganisation(text);
  } catch (const emulation::OrganisationError& error) {
    // A refusal must say what is wrong.
    if (error.what()[0] == '\0') abort();
  }
  const std::string index = emulation::BuildWebServicesIndex(text, kIdentity);
  if (!full) {
    try {
      emulation::ReadWebServicesView(text, "a@b");
    } catch (const emulation::OrganisationError& error) {
      if (error.what()[0] == '\0' || !index.empty()) abort();
    }
    if (!index.empty() && !emulation::ReadIndexedWebServicesView(text, kIdentity, index, "a@b")) abort();
    return 0;
  }
  if (index.empty()) abort();
  // Accepted whole, the text is accepted by Verrick's view for any address;
  // a few of those it gives are enough for a large input.
  CheckVerricksView(text, index, *full, "nobody@nowhere");
  int checks = 0;
  for (const emulation::AddressEntry& entry : full->addressBook)
    if (entry.proxyAddresses)
      for (const std::string& proxy : *entry.proxyAddresses)
        if (proxy.size() > 5 && ++checks <= 8) CheckVerricksView(text, index, *full, proxy.substr(5));
  for (const emulation::VerrickMailbox& mailbox : full->verrick.mailboxes)
    if (++checks <= 16) CheckVerricksView(text, index, *full, mailbox.address);
  return 0;
}
