// The organisation file reader, whole and as Verrick reads it (only what
// one mailbox needs): any text is read or refused with an OrganisationError
// that says what is wrong; nothing else may happen. Where the whole read
// accepts a text, Verrick's finds the same entry and settings for each
// address the text gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/emulation/runtime/organisation.h"

namespace {

void CheckVerricksView(std::string_view text, const emulation::Organisation& full, const std::string& address) {
  const emulation::Organisation view = emulation::ReadWebServicesView(text, address);
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
  if (!full) {
    try {
      emulation::ReadWebServicesView(text, "a@b");
    } catch (const emulation::OrganisationError& error) {
      if (error.what()[0] == '\0') abort();
    }
    return 0;
  }
  // Accepted whole, the text is accepted by Verrick's view for any address;
  // a few of those it gives are enough for a large input.
  CheckVerricksView(text, *full, "nobody@nowhere");
  int checks = 0;
  for (const emulation::AddressEntry& entry : full->addressBook)
    if (entry.proxyAddresses)
      for (const std::string& proxy : *entry.proxyAddresses)
        if (proxy.size() > 5 && ++checks <= 8) CheckVerricksView(text, *full, proxy.substr(5));
  for (const emulation::VerrickMailbox& mailbox : full->verrick.mailboxes)
    if (++checks <= 16) CheckVerricksView(text, *full, mailbox.address);
  return 0;
}
