#include "platform/emulation/com/classes.h"

#include <string_view>

#include "platform/emulation/ado/ado.h"

namespace emulation {

namespace {

const ClassEntry kClasses[] = {
    {&CLSID_Connection, u"ADODB.Connection", &CreateAdoConnection},
    {&CLSID_Recordset, u"ADODB.Recordset", &CreateAdoRecordset},
};

// ProgIDs compare without regard to case, as the registry does.
bool SameProgId(std::u16string_view left, std::u16string_view right) {
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i) {
    const auto fold = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; };
    if (fold(left[i]) != fold(right[i])) return false;
  }
  return true;
}

}  // namespace

const ClassEntry* FindClass(REFCLSID clsid) {
  for (const ClassEntry& entry : kClasses)
    if (*entry.clsid == clsid) return &entry;
  return nullptr;
}

const ClassEntry* FindClassByProgId(const char16_t* progId) {
  if (progId == nullptr) return nullptr;
  for (const ClassEntry& entry : kClasses)
    if (SameProgId(entry.progId, progId)) return &entry;
  return nullptr;
}

}  // namespace emulation
