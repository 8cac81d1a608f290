#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sdk.h"

// The operator's account names ("DOMAIN\name"), the operator's own first.
// The list owns its strings: whoever removes one frees it with
// SysFreeString.
//
// Beside the list it keeps each name folded to one letter case, so that
// telling whether a trustee is one of the names costs one hash look-up
// instead of one comparison per name (an operator may be in a thousand
// groups, and a mailbox's access list may hold hundreds of entries).
class AccountNameList {
 public:
  enum class Lookup {
    ByFoldedName,    // a hash look-up, confirmed with VarBstrCmp
    CompareEachName  // VarBstrCmp with every name, front to back
  };
  using const_iterator = std::vector<BSTR>::const_iterator;

  explicit AccountNameList(Lookup lookup = Lookup::ByFoldedName) : lookup_(lookup) {}
  AccountNameList(const AccountNameList&) = delete;
  AccountNameList& operator=(const AccountNameList&) = delete;
  void swap(AccountNameList& other) noexcept;

  // Appends name, which the list owns from here on: if the append fails,
  // the name is freed and the failure passed on.
  void push_back(BSTR name);
  // Removes the name at position without freeing it; the name is not
  // read, so it may already be freed.
  const_iterator erase(const_iterator position);
  // Removes every name without freeing them.
  void clear();

  bool empty() const { return names_.empty(); }
  size_t size() const { return names_.size(); }
  BSTR front() const { return names_.front(); }
  const_iterator begin() const { return names_.begin(); }
  const_iterator end() const { return names_.end(); }

  // Whether trustee equals one of the names, ignoring case as
  // VarBstrCmp(trustee, name, 0, NORM_IGNORECASE) does; null names are
  // passed over.
  bool Contains(BSTR trustee) const;

 private:
  // The name in upper case, for a name of printable ASCII characters only:
  // for those, equality ignoring case is equality of the folded texts on
  // every platform. Any other name is compared on its own.
  static bool Fold(BSTR name, std::string& folded);
  bool CompareEach(BSTR trustee) const;
  // Indexes the name and returns its folded text, none when it has none.
  std::optional<std::string> Index(BSTR name);
  void Unindex(BSTR name, const std::optional<std::string>& folded);

  Lookup lookup_;
  std::vector<BSTR> names_;
  std::vector<std::optional<std::string>> foldedNames_;  // beside names_
  std::unordered_map<std::string, std::vector<BSTR>> folded_;
  std::vector<BSTR> unfolded_;  // names with other characters, in list order
};
