#include "platform/emulation/mapi/dialogs.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/world.h"

namespace emulation {

namespace {

std::optional<std::string> ReadLine(FILE* input) {
  std::string line;
  int c = 0;
  while ((c = fgetc(input)) != EOF && c != '\n') line += static_cast<char>(c);
  if (c == EOF && line.empty()) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

size_t DefaultProfile(const Organisation& organisation) {
  for (size_t i = 0; i < organisation.profiles.size(); ++i)
    if (organisation.profiles[i].isDefault) return i;
  return 0;
}

std::optional<size_t> ChooseProfile(const Organisation& organisation) {
  FILE* input = DialogInput();
  const bool terminal = isatty(fileno(input)) != 0;
  const size_t fallback = DefaultProfile(organisation);
  for (;;) {
    if (terminal) {
      fprintf(stderr, "Choose Profile\n");
      for (size_t i = 0; i < organisation.profiles.size(); ++i)
        fprintf(stderr, "  %zu. %s%s\n", i + 1, organisation.profiles[i].name.c_str(),
                i == fallback ? " (default)" : "");
      fprintf(stderr, "Profile name or number (Enter for the default, end of input to cancel): ");
      fflush(stderr);
    }
    const auto answer = ReadLine(input);
    if (!answer) return std::nullopt;
    if (answer->empty()) return fallback;
    char* end = nullptr;
    const unsigned long number = strtoul(answer->c_str(), &end, 10);
    if (*end == '\0' && number >= 1 && number <= organisation.profiles.size()) return number - 1;
    for (size_t i = 0; i < organisation.profiles.size(); ++i)
      if (SameText(organisation.profiles[i].name, *answer)) return i;
    fprintf(stderr, "Choose Profile: no profile \"%s\"\n", answer->c_str());
  }
}

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The entry an answer names: its number in the book, or its display name.
const AddressEntry* EntryNamed(const Organisation& organisation, const std::string& answer) {
  char* end = nullptr;
  const unsigned long number = strtoul(answer.c_str(), &end, 10);
  if (!answer.empty() && *end == '\0' && number >= 1 && number <= organisation.addressBook.size())
    return &organisation.addressBook[number - 1];
  for (const AddressEntry& entry : organisation.addressBook)
    if (entry.displayName && SameText(*entry.displayName, answer)) return &entry;
  return nullptr;
}

}  // namespace

std::optional<std::vector<const AddressEntry*>> ChooseRecipients(const Organisation& organisation,
                                                                 const std::string& caption) {
  FILE* input = DialogInput();
  const bool terminal = isatty(fileno(input)) != 0;
  for (;;) {
    if (terminal) {
      fprintf(stderr, "%s\n", caption.c_str());
      for (size_t i = 0; i < organisation.addressBook.size(); ++i) {
        const AddressEntry& entry = organisation.addressBook[i];
        fprintf(stderr, "  %zu. %s\n", i + 1, entry.displayName ? entry.displayName->c_str() : entry.key.c_str());
      }
      fprintf(stderr, "Entries by number or name, separated by commas (Enter for none, end of input to cancel): ");
      fflush(stderr);
    }
    const auto answer = ReadLine(input);
    if (!answer) return std::nullopt;
    std::vector<const AddressEntry*> chosen;
    if (Trimmed(*answer).empty()) return chosen;
    std::optional<std::string> unknown;
    size_t start = 0;
    for (;;) {
      const size_t comma = answer->find(',', start);
      const std::string item = Trimmed(answer->substr(start, comma == std::string::npos ? comma : comma - start));
      const AddressEntry* entry = EntryNamed(organisation, item);
      if (entry == nullptr && !unknown) unknown = item;
      chosen.push_back(entry);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (!unknown) return chosen;
    fprintf(stderr, "%s: no entry \"%s\"\n", caption.c_str(), unknown->c_str());
  }
}

}  // namespace emulation
