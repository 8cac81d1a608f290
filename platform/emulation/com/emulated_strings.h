// BSTRs that the emulation hands out from inside a platform call: held in
// the ledger like any other, but neither journalled nor open to planned
// faults, since the tool did not call for them.
#pragma once

#include "platform/emulation/com/com.h"

namespace emulation {

BSTR EmulatedString(const OLECHAR* text, UINT length);
inline BSTR EmulatedString(const OLECHAR* text) {
  UINT length = 0;
  while (text != nullptr && text[length] != 0) ++length;
  return text == nullptr ? nullptr : EmulatedString(text, length);
}

}  // namespace emulation
