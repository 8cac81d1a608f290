#include "directory/account_names.h"

#include <algorithm>

namespace {

bool SameName(BSTR trustee, BSTR name) { return VarBstrCmp(trustee, name, 0, NORM_IGNORECASE) == VARCMP_EQ; }

void Remove(std::vector<BSTR>& names, BSTR name) {
  const auto found = std::find(names.begin(), names.end(), name);
  if (found != names.end()) names.erase(found);
}

}  // namespace

void AccountNameList::swap(AccountNameList& other) noexcept {
  std::swap(lookup_, other.lookup_);
  names_.swap(other.names_);
  foldedNames_.swap(other.foldedNames_);
  folded_.swap(other.folded_);
  unfolded_.swap(other.unfolded_);
}

bool AccountNameList::Fold(BSTR name, std::string& folded) {
  const UINT length = SysStringLen(name);
  folded.resize(length);
  for (UINT i = 0; i < length; ++i) {
    const OLECHAR c = name[i];
    if (c < 0x20 || c > 0x7E) return false;
    folded[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
  }
  return true;
}

void AccountNameList::push_back(BSTR name) {
  try {
    names_.reserve(names_.size() + 1);
    foldedNames_.reserve(names_.size() + 1);
    foldedNames_.push_back(Index(name));
  } catch (...) {
    SysFreeString(name);
    throw;
  }
  names_.push_back(name);  // cannot fail: reserved
}

AccountNameList::const_iterator AccountNameList::erase(const_iterator position) {
  const auto at = position - names_.begin();
  Unindex(*position, foldedNames_[at]);
  foldedNames_.erase(foldedNames_.begin() + at);
  return names_.erase(position);
}

void AccountNameList::clear() {
  names_.clear();
  foldedNames_.clear();
  folded_.clear();
  unfolded_.clear();
}

std::optional<std::string> AccountNameList::Index(BSTR name) {
  if (name == nullptr) return std::nullopt;  // never matches
  std::string folded;
  if (!Fold(name, folded)) {
    unfolded_.push_back(name);
    return std::nullopt;
  }
  folded_[folded].push_back(name);
  return folded;
}

void AccountNameList::Unindex(BSTR name, const std::optional<std::string>& folded) {
  if (!folded) {
    Remove(unfolded_, name);
    return;
  }
  const auto found = folded_.find(*folded);
  if (found == folded_.end()) return;
  Remove(found->second, name);
  if (found->second.empty()) folded_.erase(found);
}

bool AccountNameList::CompareEach(BSTR trustee) const {
  for (BSTR name : names_)
    if (name != nullptr && SameName(trustee, name)) return true;
  return false;
}

bool AccountNameList::Contains(BSTR trustee) const {
  if (lookup_ == Lookup::CompareEachName) return CompareEach(trustee);
  std::string folded;
  if (!Fold(trustee, folded)) return CompareEach(trustee);
  // The comparison itself still decides, for the names whose folded text
  // is the trustee's and for the names that could not be folded.
  const auto found = folded_.find(folded);
  if (found != folded_.end())
    for (BSTR name : found->second)
      if (SameName(trustee, name)) return true;
  for (BSTR name : unfolded_)
    if (SameName(trustee, name)) return true;
  return false;
}
