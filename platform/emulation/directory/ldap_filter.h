// LDAP search filters in their text form (RFC 4515): and, or, not,
// equality, approximate and ordering matches, presence and substrings, with
// \XX escapes in values. Matching ignores case, as the directory's string
// syntaxes do.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emulation {

class LdapFilter {
 public:
  // The filter of a text, or none when the text is not a filter.
  static std::optional<LdapFilter> Parse(std::string_view text);

  // An object's values of an attribute (the name in any case); none when it
  // has no such attribute.
  using Values = std::function<std::vector<std::string>(std::string_view attribute)>;
  bool Matches(const Values& values) const;

  // A value that attribute must equal (ignoring case) for any object to
  // match: the filter's own equality term, or one of its top-level "and";
  // none when the filter needs no such value. A directory uses it to pick
  // candidates from an index instead of testing every object.
  std::optional<std::string> RequiredValue(std::string_view attribute) const;

  // The filter as it was written, for a directory server to evaluate.
  const std::string& Text() const { return text_; }

  struct Node {
    enum class Kind { And, Or, Not, Equal, Approximate, GreaterOrEqual, LessOrEqual, Present, Substrings } kind;
    std::string attribute;
    // Equality and ordering: one value. Substrings: the pieces between the
    // stars, with the first empty when the value starts with a star and the
    // last empty when it ends with one.
    std::vector<std::string> values;
    std::vector<Node> children;
  };

 private:
  LdapFilter(Node root, std::string_view text) : root_(std::move(root)), text_(text) {}
  Node root_;
  std::string text_;
};

}  // namespace emulation
