#include "platform/emulation/directory/ldap_filter.h"

#include <algorithm>
#include <cctype>

#include "platform/emulation/runtime/ascii_case.h"
#include "platform/emulation/runtime/sid.h"

namespace emulation {

namespace {

using Node = LdapFilter::Node;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<Node> Whole() {
    auto node = Filter();
    if (!node || at_ != text_.size()) return std::nullopt;
    return node;
  }

 private:
  bool Take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  std::optional<Node> Filter() {
    if (!Take('(')) return std::nullopt;
    std::optional<Node> node;
    if (Take('&'))
      node = List(Node::Kind::And);
    else if (Take('|'))
      node = List(Node::Kind::Or);
    else if (Take('!')) {
      auto inner = Filter();
      if (inner) node = Node{Node::Kind::Not, {}, {}, {std::move(*inner)}};
    } else {
      node = Item();
    }
    if (!node || !Take(')')) return std::nullopt;
    return node;
  }

  std::optional<Node> List(Node::Kind kind) {
    Node node{kind, {}, {}, {}};
    while (at_ < text_.size() && text_[at_] == '(') {
      auto child = Filter();
      if (!child) return std::nullopt;
      node.children.push_back(std::move(*child));
    }
    if (node.children.empty()) return std::nullopt;
    return node;
  }

  std::optional<Node> Item() {
    const size_t start = at_;
    while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '-' ||
                                  text_[at_] == '.' || text_[at_] == ';'))
      ++at_;
    if (at_ == start) return std::nullopt;
    Node node{Node::Kind::Equal, std::string(text_.substr(start, at_ - start)), {}, {}};
    if (Take('~'))
      node.kind = Node::Kind::Approximate;
    else if (Take('>'))
      node.kind = Node::Kind::GreaterOrEqual;
    else if (Take('<'))
      node.kind = Node::Kind::LessOrEqual;
    if (!Take('=')) return std::nullopt;
    // The value runs to the closing parenthesis; unescaped stars split it.
    std::vector<std::string> pieces(1);
    while (at_ < text_.size() && text_[at_] != ')') {
      const char c = text_[at_++];
      if (c == '(' || c == '\0') return std::nullopt;
      if (c == '*') {
        pieces.emplace_back();
      } else if (c == '\\') {
        if (at_ + 2 > text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_])) ||
            !std::isxdigit(static_cast<unsigned char>(text_[at_ + 1])))
          return std::nullopt;
        pieces.back() += static_cast<char>(std::stoi(std::string(text_.substr(at_, 2)), nullptr, 16));
        at_ += 2;
      } else {
        pieces.back() += c;
      }
    }
    if (pieces.size() == 1) {
      node.values = std::move(pieces);
      return node;
    }
    if (node.kind != Node::Kind::Equal) return std::nullopt;
    if (pieces.size() == 2 && pieces[0].empty() && pieces[1].empty()) {
      node.kind = Node::Kind::Present;
      return node;
    }
    // Between two stars a piece must not be empty ("a**b").
    for (size_t i = 1; i + 1 < pieces.size(); ++i)
      if (pieces[i].empty()) return std::nullopt;
    node.kind = Node::Kind::Substrings;
    node.values = std::move(pieces);
    return node;
  }

  std::string_view text_;
  size_t at_ = 0;
};

bool MatchesPieces(const std::string& value, const std::vector<std::string>& pieces) {
  const std::string text = LowerCase(value);
  const std::string first = LowerCase(pieces.front()), last = LowerCase(pieces.back());
  if (text.size() < first.size() + last.size()) return false;
  if (text.compare(0, first.size(), first) != 0) return false;
  if (text.compare(text.size() - last.size(), last.size(), last) != 0) return false;
  size_t at = first.size();
  const size_t end = text.size() - last.size();
  for (size_t i = 1; i + 1 < pieces.size(); ++i) {
    const size_t found = text.find(LowerCase(pieces[i]), at);
    if (found == std::string::npos || found + pieces[i].size() > end) return false;
    at = found + pieces[i].size();
  }
  return true;
}

bool Evaluate(const Node& node, const LdapFilter::Values& values) {
  switch (node.kind) {
    case Node::Kind::And:
      return std::all_of(node.children.begin(), node.children.end(),
                         [&](const Node& c) { return Evaluate(c, values); });
    case Node::Kind::Or:
      return std::any_of(node.children.begin(), node.children.end(),
                         [&](const Node& c) { return Evaluate(c, values); });
    case Node::Kind::Not:
      return !Evaluate(node.children.front(), values);
    default:
      break;
  }
  const std::vector<std::string> held = values(node.attribute);
  return std::any_of(held.begin(), held.end(), [&](const std::string& value) {
    switch (node.kind) {
      case Node::Kind::Present:
        return true;
      case Node::Kind::Substrings:
        return MatchesPieces(value, node.values);
      case Node::Kind::GreaterOrEqual:
        return LowerCase(value) >= LowerCase(node.values.front());
      case Node::Kind::LessOrEqual:
        return LowerCase(value) <= LowerCase(node.values.front());
      default:
        return SameText(value, node.values.front());
    }
  });
}

}  // namespace

std::optional<LdapFilter> LdapFilter::Parse(std::string_view text) {
  auto root = Parser(text).Whole();
  if (!root) return std::nullopt;
  return LdapFilter(std::move(*root), text);
}

bool LdapFilter::Matches(const Values& values) const { return Evaluate(root_, values); }

std::optional<std::string> LdapFilter::RequiredValue(std::string_view attribute) const {
  const auto required = [&](const Node& node) -> std::optional<std::string> {
    if (node.kind == Node::Kind::Equal && SameText(node.attribute, attribute)) return node.values.front();
    return std::nullopt;
  };
  if (root_.kind != Node::Kind::And) return required(root_);
  for (const Node& child : root_.children)
    if (auto value = required(child)) return value;
  return std::nullopt;
}

}  // namespace emulation
