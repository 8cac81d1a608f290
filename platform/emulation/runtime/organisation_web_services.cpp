// Verrick's reading of the organisation: the top-level members and those of
// the "verrick" section are walked, every other value is passed over by the
// skimmer, and of the address book and Verrick's mailboxes only the
// elements that can hold the address are read, with the checks of a full
// read. An element can hold it only if its text holds the address's bytes
// (in any letter case) or an escape sequence, which might spell them.
#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/json_skimmer.h"
#include "platform/emulation/runtime/organisation.h"
#include "platform/emulation/runtime/organisation_reader.h"

namespace emulation {

namespace {

// Text that the skimmer cannot follow; the full reading then says what is
// wrong with it.
struct Unfollowable {};

class Walk {
 public:
  explicit Walk(std::string_view text) : text_(text) {}

  char At(size_t at) const { return at < text_.size() ? text_[at] : '\0'; }
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

Organisation ReadView(std::string_view text, std::string_view smtpAddress) {
  const Walk walk(text);
  // A byte-order mark may open the text, as the full reading allows.
  const size_t root = walk.Space(text.starts_with("\xEF\xBB\xBF") ? 3 : 0);
  if (walk.At(root) != '{') throw Unfollowable();
  Organisation organisation;
  std::set<std::string> keys;
  const size_t end = walk.Members(root, 0, [&](const std::string& key, size_t start) -> size_t {
    if (!keys.insert(key).second) Fail(key, "given more than once");
    if (key == "addressBook" && walk.At(start) == '[') {
      return walk.ElementsHolding(start, 1, smtpAddress, [&](size_t index, size_t elementStart, size_t elementEnd) {
        const std::string path = Indexed(key, index);
        AddressEntry entry = ReadAddressEntry(ParseCheckedJson(walk.Slice(elementStart, elementEnd), path, 2), path);
        if (!HasSmtpProxyAddress(entry, smtpAddress)) return false;
        organisation.addressBook.push_back(std::move(entry));
        return true;
      });
    }
    if (key == "verrick") {
      if (walk.At(start) != '{') Fail(key, "expected an object");
      // The section but its mailboxes, of which only this one is read.
      Json section = Json::object();
      std::set<std::string> fields;
      std::optional<VerrickMailbox> mailbox;
      const size_t end = walk.Members(start, 1, [&](const std::string& field, size_t fieldStart) -> size_t {
        const std::string path = key + "." + field;
        if (!fields.insert(field).second) Fail(path, "given more than once");
        if (field != "mailboxes" || walk.At(fieldStart) != '[') {
          const size_t fieldEnd = walk.End(fieldStart, 2);
          section[field] = ParseCheckedJson(walk.Slice(fieldStart, fieldEnd), path, 2);
          return fieldEnd;
        }
        return walk.ElementsHolding(
            fieldStart, 2, smtpAddress, [&](size_t index, size_t elementStart, size_t elementEnd) {
              const std::string elementPath = Indexed(path, index);
              VerrickMailbox read = ReadVerrickMailbox(
                  ParseCheckedJson(walk.Slice(elementStart, elementEnd), elementPath, 3), elementPath);
              if (!SameText(read.address, smtpAddress)) return false;
              mailbox = std::move(read);
              return true;
            });
      });
      organisation.verrick = ReadVerrickSettings(&section);
      if (mailbox) organisation.verrick.mailboxes.push_back(std::move(*mailbox));
      return end;
    }
    const size_t end = walk.End(start, 1);
    if (key == "addressBook") {
      Fail(key, "expected an array");
    } else if (key == "waitScale") {
      const Json scale = ParseCheckedJson(walk.Slice(start, end), key, 1);
      organisation.waitScale = ReadWaitScale(&scale);
    }
    return end;
  });
  if (walk.Space(end) != text.size()) throw Unfollowable();
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

}  // namespace emulation
