// Verrick's reading of the organisation: the top-level members and those of
// the "verrick" section are walked, every other value is passed over by the
// skimmer, and of the address book and Verrick's mailboxes only the
// elements that can hold the address are read, with the checks of a full
// read. An element can hold it only if its text holds the address's bytes
// (in any letter case) or an escape sequence, which might spell them.
//
// Through an index of the same text (web_services_index.h), made by the
// same walk with every element read, only the elements that the index
// gives for the address are read, and nothing is passed over.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/json_skimmer.h"
#include "platform/emulation/runtime/organisation.h"
#include "platform/emulation/runtime/organisation_reader.h"
#include "platform/emulation/runtime/web_services_index.h"

namespace emulation {

namespace {

// Text that the skimmer cannot follow; the full reading then says what is
// wrong with it.
struct Unfollowable {};

class Walk {
 public:
  explicit Walk(std::string_view text) : text_(text) {}

  char At(size_t at) const { return at < text_.size() ? text_[at] : '\0'; }
  std::string_view text() const { return text_; }
  std::string_view Slice(size_t start, size_t end) const { return text_.substr(start, end - start); }

  size_t Space(size_t at) const { return SkipJsonSpace(text_, at); }

  // The end of the value at at, with depth containers around it.
  size_t End(size_t at, int depth) const {
    const size_t end = JsonValueEnd(text_, at, kDeepestNesting - depth);
    if (end == kNoPosition) throw Unfollowable();
    return end;
  }

  // Calls visit(key, start) for each member of the object at at, at depth,
  // which returns the end of the member's value; returns the object's end.
  template <typename Visit>
  size_t Members(size_t at, int depth, Visit&& visit) const {
    size_t next = Space(at + 1);
    if (At(next) == '}') return next + 1;
    for (;;) {
      if (At(next) != '"') throw Unfollowable();
      const size_t keyEnd = End(next, depth + 1);
      const std::string key = Key(next, keyEnd);
      next = Space(keyEnd);
      if (At(next) != ':') throw Unfollowable();
      next = Space(visit(key, Space(next + 1)));
      if (At(next) == '}') return next + 1;
      if (At(next) != ',') throw Unfollowable();
      next = Space(next + 1);
    }
  }

  // Calls visit(index, start, end) for each element of the array at at, at
  // depth; returns the array's end.
  template <typename Visit>
  size_t Elements(size_t at, int depth, Visit&& visit) const {
    size_t next = Space(at + 1);
    if (At(next) == ']') return next + 1;
    for (size_t index = 0;; ++index) {
      const size_t end = End(next, depth + 1);
      visit(index, next, end);
      next = Space(end);
      if (At(next) == ']') return next + 1;
      if (At(next) != ',') throw Unfollowable();
      next = Space(next + 1);
    }
  }

  // Reads the elements of the array at at (at depth) that could hold
  // needle's value, in order, until read returns true; returns the
  // array's end.
  template <typename Read>
  size_t ElementsHolding(size_t at, int depth, std::string_view needle, Read&& read) const {
    std::vector<size_t> bounds;
    const size_t end = JsonContainerEnd(text_, at, kDeepestNesting - depth, bounds);
    if (end == kNoPosition) throw Unfollowable();
    // The next escape and the next occurrence are looked for again only
    // once they are passed, so that no part of the array is searched twice.
    size_t escapeAt = 0, foundAt = 0;
    bool searched = false;
    const auto nextCandidate = [&](size_t from) {
      if (!searched || (escapeAt != kNoPosition && escapeAt < from)) {
        const void* escape = memchr(text_.data() + from, '\\', end - from);
        escapeAt =
            escape == nullptr ? kNoPosition : static_cast<size_t>(static_cast<const char*>(escape) - text_.data());
      }
      if (!searched || (foundAt != kNoPosition && foundAt < from)) foundAt = FindIgnoringCase(text_, from, end, needle);
      searched = true;
      return std::min(escapeAt, foundAt);
    };
    if (!AreElements(at, end, bounds)) {
      // Not every element is an array or an object: they are found one by one.
      bool found = false;
      Elements(at, depth, [&](size_t index, size_t start, size_t elementEnd) {
        if (!found && nextCandidate(start) < elementEnd) found = read(index, start, elementEnd);
      });
      return end;
    }
    size_t index = 0;
    for (size_t candidate = nextCandidate(at); candidate != kNoPosition;) {
      while (index < bounds.size() / 2 && bounds[2 * index + 1] <= candidate) ++index;
      if (index == bounds.size() / 2) break;
      if (read(index, bounds[2 * index], bounds[2 * index + 1])) break;
      candidate = nextCandidate(bounds[2 * index + 1]);
    }
    return end;
  }

 private:
  // Whether bounds, the starts and ends of the arrays and objects directly
  // inside the array from at to end, are all its elements.
  bool AreElements(size_t at, size_t end, const std::vector<size_t>& bounds) const {
    size_t next = Space(at + 1);
    for (size_t i = 0; i < bounds.size(); i += 2) {
      if (i > 0) {
        if (At(next) != ',') return false;
        next = Space(next + 1);
      }
      if (next != bounds[i]) return false;
      next = Space(bounds[i + 1]);
    }
    return At(next) == ']' && next + 1 == end;
  }

  std::string Key(size_t start, size_t end) const {
    const std::string_view token = Slice(start, end);
    if (token.find('\\') == std::string_view::npos) return std::string(token.substr(1, token.size() - 2));
    const Json key = ParseCheckedJson(token, "", 0);
    return key.get<std::string>();
  }

  std::string_view text_;
};

// The address-book element index, between start and end, read and checked.
AddressEntry ReadAddressElement(const Walk& walk, size_t index, size_t start, size_t end) {
  const std::string path = Indexed("addressBook", index);
  return ReadAddressEntry(ParseCheckedJson(walk.Slice(start, end), path, 2), path);
}

// The same, if it gives smtpAddress as an SMTP proxy address.
std::optional<AddressEntry> ReadAddressElement(const Walk& walk, size_t index, size_t start, size_t end,
                                               std::string_view smtpAddress) {
  AddressEntry entry = ReadAddressElement(walk, index, start, end);
  if (!HasSmtpProxyAddress(entry, smtpAddress)) return std::nullopt;
  return entry;
}

// Verrick's mailbox element index, between start and end, read and checked.
VerrickMailbox ReadMailboxElement(const Walk& walk, size_t index, size_t start, size_t end) {
  const std::string path = Indexed("verrick.mailboxes", index);
  return ReadVerrickMailbox(ParseCheckedJson(walk.Slice(start, end), path, 3), path);
}

// The same, if it is the one for smtpAddress.
std::optional<VerrickMailbox> ReadMailboxElement(const Walk& walk, size_t index, size_t start, size_t end,
                                                 std::string_view smtpAddress) {
  VerrickMailbox mailbox = ReadMailboxElement(walk, index, start, end);
  if (!SameText(mailbox.address, smtpAddress)) return std::nullopt;
  return mailbox;
}

// Reads the "verrick" section at start into organisation but for its
// mailboxes array, for which mailboxes(arrayStart, mailbox) reads the one
// mailbox wanted into mailbox and returns the array's end. Returns the
// section's end.
template <typename Mailboxes>
size_t ReadVerrickSection(const Walk& walk, size_t start, Organisation& organisation, Mailboxes&& mailboxes) {
  if (walk.At(start) != '{') Fail("verrick", "expected an object");
  Json section = Json::object();
  std::set<std::string> fields;
  std::optional<VerrickMailbox> mailbox;
  const size_t end = walk.Members(start, 1, [&](const std::string& field, size_t fieldStart) -> size_t {
    const std::string path = "verrick." + field;
    if (!fields.insert(field).second) Fail(path, "given more than once");
    if (field != "mailboxes" || walk.At(fieldStart) != '[') {
      const size_t fieldEnd = walk.End(fieldStart, 2);
      section[field] = ParseCheckedJson(walk.Slice(fieldStart, fieldEnd), path, 2);
      return fieldEnd;
    }
    return mailboxes(fieldStart, mailbox);
  });
  organisation.verrick = ReadVerrickSettings(&section);
  if (mailbox) organisation.verrick.mailboxes.push_back(std::move(*mailbox));
  return end;
}

// Where a value lies in the text; start is kNoPosition for one not there.
struct Span {
  size_t start = kNoPosition;
  size_t end = kNoPosition;
};

// Walks the top-level members of the organisation as Verrick's view does,
// with its checks: addressBook(start) and verrick(start) read those
// sections and return their ends; the wait scale is read into
// organisation. Returns where the wait scale lies.
template <typename AddressBook, typename Verrick>
Span WalkOrganisation(const Walk& walk, Organisation& organisation, AddressBook&& addressBook, Verrick&& verrick) {
  // A byte-order mark may open the text, as the full reading allows.
  const std::string_view text = walk.text();
  const size_t root = walk.Space(text.starts_with("\xEF\xBB\xBF") ? 3 : 0);
  if (walk.At(root) != '{') throw Unfollowable();
  std::set<std::string> keys;
  Span waitScale;
  const size_t end = walk.Members(root, 0, [&](const std::string& key, size_t start) -> size_t {
    if (!keys.insert(key).second) Fail(key, "given more than once");
    if (key == "addressBook" && walk.At(start) == '[') return addressBook(start);
    if (key == "verrick") return verrick(start);
    const size_t end = walk.End(start, 1);
    if (key == "addressBook") {
      Fail(key, "expected an array");
    } else if (key == "waitScale") {
      const Json scale = ParseCheckedJson(walk.Slice(start, end), key, 1);
      organisation.waitScale = ReadWaitScale(&scale);
      waitScale = {start, end};
    }
    return end;
  });
  if (walk.Space(end) != text.size()) throw Unfollowable();
  return waitScale;
}

Organisation ReadView(std::string_view text, std::string_view smtpAddress) {
  const Walk walk(text);
  Organisation organisation;
  WalkOrganisation(
      walk, organisation,
      [&](size_t start) {
        return walk.ElementsHolding(start, 1, smtpAddress, [&](size_t index, size_t elementStart, size_t elementEnd) {
          std::optional<AddressEntry> entry = ReadAddressElement(walk, index, elementStart, elementEnd, smtpAddress);
          if (entry) organisation.addressBook.push_back(std::move(*entry));
          return entry.has_value();
        });
      },
      [&](size_t start) {
        return ReadVerrickSection(
            walk, start, organisation, [&](size_t arrayStart, std::optional<VerrickMailbox>& mailbox) {
              return walk.ElementsHolding(arrayStart, 2, smtpAddress, [&](size_t index, size_t from, size_t to) {
                mailbox = ReadMailboxElement(walk, index, from, to, smtpAddress);
                return mailbox.has_value();
              });
            });
      });
  return organisation;
}

// The index's layout: a header, the address-book entries, the mailbox
// entries, then the identity of the text. Native byte order and widths: it
// is made and read on the same machine, by the same build.
constexpr char kIndexMagic[8] = {'C', 'W', 'S', 'I', 'D', 'X', '0', '1'};

struct IndexHeader {
  char magic[8];
  uint64_t textSize;
  uint64_t identitySize;
  Span verrick;
  Span mailboxes;  // the array in the verrick section
  Span waitScale;
  uint64_t addressEntries;
  uint64_t mailboxEntries;
};

// One element by one of its addresses; the entries of a kind are in the
// order of their keys, and of their elements for the same key.
struct IndexEntry {
  uint64_t key;
  uint64_t element;
  uint64_t start;
  uint64_t end;
  bool operator<(const IndexEntry& other) const { return key != other.key ? key < other.key : element < other.element; }
};

// FNV-1a of the address in lower case: an element's key. Elements with the
// same key are told apart by reading them.
uint64_t KeyOf(std::string_view address) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : address) hash = (hash ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
  return hash;
}

// An index that does not fit the text it is used with.
struct IndexMismatch {};

class IndexReader {
 public:
  IndexReader(std::string_view index, std::string_view text, std::string_view identity) : index_(index) {
    if (index.size() < sizeof header_) throw IndexMismatch();
    memcpy(&header_, index.data(), sizeof header_);
    if (memcmp(header_.magic, kIndexMagic, sizeof kIndexMagic) != 0 || header_.textSize != text.size())
      throw IndexMismatch();
    const uint64_t room = index.size() - sizeof header_;  // for the entries and the identity
    const uint64_t mostEntries = room / sizeof(IndexEntry);
    if (header_.addressEntries > mostEntries || header_.mailboxEntries > mostEntries - header_.addressEntries)
      throw IndexMismatch();
    const uint64_t identitySize = room - (header_.addressEntries + header_.mailboxEntries) * sizeof(IndexEntry);
    if (header_.identitySize != identitySize || index.substr(index.size() - identitySize) != identity)
      throw IndexMismatch();
    for (const Span* span : {&header_.verrick, &header_.mailboxes, &header_.waitScale})
      if (span->start != kNoPosition && !(span->start < span->end && span->end <= text.size())) throw IndexMismatch();
  }

  const IndexHeader& header() const { return header_; }

  // Calls read(entry) for the address-book entries (or the mailbox ones)
  // with the key of address, in their elements' order, until it returns
  // true.
  template <typename Read>
  void ForEachEntry(bool mailboxes, std::string_view address, Read&& read) const {
    const size_t first = mailboxes ? header_.addressEntries : 0;
    const size_t count = mailboxes ? header_.mailboxEntries : header_.addressEntries;
    const uint64_t key = KeyOf(address);
    size_t low = 0, high = count;  // the first entry whose key is not below key
    while (low < high) {
      const size_t middle = low + (high - low) / 2;
      if (Entry(first + middle).key < key)
        low = middle + 1;
      else
        high = middle;
    }
    for (size_t at = low; at < count; ++at) {
      const IndexEntry entry = Entry(first + at);
      if (entry.key != key) return;
      if (!(entry.start < entry.end && entry.end <= header_.textSize)) throw IndexMismatch();
      if (read(entry)) return;
    }
  }

 private:
  IndexEntry Entry(size_t at) const {
    IndexEntry entry{};
    memcpy(&entry, index_.data() + sizeof header_ + at * sizeof entry, sizeof entry);
    return entry;
  }

  std::string_view index_;
  IndexHeader header_{};
};

Organisation ReadIndexedView(std::string_view text, const IndexReader& index, std::string_view smtpAddress) {
  const Walk walk(text);
  const IndexHeader& header = index.header();
  Organisation organisation;
  index.ForEachEntry(false, smtpAddress, [&](const IndexEntry& at) {
    std::optional<AddressEntry> entry = ReadAddressElement(walk, at.element, at.start, at.end, smtpAddress);
    if (entry) organisation.addressBook.push_back(std::move(*entry));
    return entry.has_value();
  });
  if (header.verrick.start != kNoPosition) {
    const size_t end = ReadVerrickSection(
        walk, header.verrick.start, organisation, [&](size_t arrayStart, std::optional<VerrickMailbox>& mailbox) {
          if (arrayStart != header.mailboxes.start) throw IndexMismatch();
          index.ForEachEntry(true, smtpAddress, [&](const IndexEntry& at) {
            mailbox = ReadMailboxElement(walk, at.element, at.start, at.end, smtpAddress);
            return mailbox.has_value();
          });
          return header.mailboxes.end;
        });
    if (end != header.verrick.end) throw IndexMismatch();
  }
  if (header.waitScale.start != kNoPosition) {
    const Json scale = ParseCheckedJson(walk.Slice(header.waitScale.start, header.waitScale.end), "waitScale", 1);
    organisation.waitScale = ReadWaitScale(&scale);
  }
  return organisation;
}

}  // namespace

Organisation ReadWebServicesView(std::string_view text, std::string_view smtpAddress) {
  try {
    return ReadView(text, smtpAddress);
  } catch (const Unfollowable&) {
    // Broken text, or nesting too deep: the full reading says where and why.
    const Json root = ParseCheckedJson(text, "", 0);
    const Members members(root, "");
    throw OrganisationError("not valid JSON: its objects and arrays do not close where they should");
  }
}

std::string BuildWebServicesIndex(std::string_view text, std::string_view identity) {
  IndexHeader header{};
  memcpy(header.magic, kIndexMagic, sizeof kIndexMagic);
  std::vector<IndexEntry> addresses;
  std::vector<IndexEntry> mailboxes;
  try {
    // Every element is read and checked, so that what the index leaves
    // out is what no view would read, and a view through it finds nothing
    // to refuse.
    const Walk walk(text);
    Organisation organisation;
    header.waitScale = WalkOrganisation(
        walk, organisation,
        [&](size_t start) {
          return walk.Elements(start, 1, [&](size_t index, size_t elementStart, size_t elementEnd) {
            const AddressEntry entry = ReadAddressElement(walk, index, elementStart, elementEnd);
            if (!entry.proxyAddresses) return;
            for (const std::string& proxy : *entry.proxyAddresses) {
              const std::string_view address = SmtpAddressOf(proxy);
              if (!address.empty()) addresses.push_back({KeyOf(address), index, elementStart, elementEnd});
            }
          });
        },
        [&](size_t start) {
          header.verrick.start = start;
          header.verrick.end =
              ReadVerrickSection(walk, start, organisation, [&](size_t arrayStart, std::optional<VerrickMailbox>&) {
                header.mailboxes.start = arrayStart;
                header.mailboxes.end =
                    walk.Elements(arrayStart, 2, [&](size_t index, size_t elementStart, size_t elementEnd) {
                      const VerrickMailbox mailbox = ReadMailboxElement(walk, index, elementStart, elementEnd);
                      mailboxes.push_back({KeyOf(mailbox.address), index, elementStart, elementEnd});
                    });
                return header.mailboxes.end;
              });
          return header.verrick.end;
        });
  } catch (const Unfollowable&) {
    return {};
  } catch (const OrganisationError&) {
    return {};
  }
  std::sort(addresses.begin(), addresses.end());
  std::sort(mailboxes.begin(), mailboxes.end());
  header.textSize = text.size();
  header.identitySize = identity.size();
  header.addressEntries = addresses.size();
  header.mailboxEntries = mailboxes.size();
  std::string index(reinterpret_cast<const char*>(&header), sizeof header);
  index.append(reinterpret_cast<const char*>(addresses.data()), addresses.size() * sizeof(IndexEntry));
  index.append(reinterpret_cast<const char*>(mailboxes.data()), mailboxes.size() * sizeof(IndexEntry));
  index.append(identity);
  return index;
}

std::optional<Organisation> ReadIndexedWebServicesView(std::string_view text, std::string_view identity,
                                                       std::string_view index, std::string_view smtpAddress) {
  if (index.empty() || identity.empty()) return std::nullopt;
  try {
    return ReadIndexedView(text, IndexReader(index, text, identity), smtpAddress);
  } catch (const IndexMismatch&) {
  } catch (const Unfollowable&) {
  } catch (const OrganisationError&) {
    // Not the text the index was made from after all.
  }
  return std::nullopt;
}

}  // namespace emulation
