// The MAPI allocator of the emulated platform and the property values
// that emulated objects hand out in its blocks.
#pragma once

#include <string>
#include <vector>

#include "platform/emulation/mapi/mapi.h"

#define MAPI_E_TABLE_TOO_BIG MAKE_MAPI_E(0x403)
#define MAPI_E_INVALID_TYPE MAKE_MAPI_E(0x302)

namespace emulation {

// The allocator itself, without planned faults: what the emulation uses
// for the blocks it hands out.
// what says where the block comes from, in the ledger.
SCODE AllocateBlock(ULONG size, void** block, const std::string& what);
SCODE AllocateMore(ULONG size, void* parent, void** block);

// The properties of one emulated object, served as MAPI property values.
class PropertyBag {
 public:
  void SetString(ULONG tag, std::string value);
  void SetBoolean(ULONG tag, bool value);
  void SetLong(ULONG tag, LONG value);
  void SetBinary(ULONG tag, std::vector<BYTE> value);
  void SetStrings(ULONG tag, std::vector<std::string> value);

  // One block of values for tags, in their order (all properties when tags
  // is null). A property the object lacks comes back error-typed, and the
  // result is then MAPI_W_ERRORS_RETURNED.
  // what names the call, in the ledger.
  HRESULT GetProps(const SPropTagArray* tags, ULONG* count, LPSPropValue* values, const std::string& what) const;
  // Fills target with the value for tag, in parent's block. Returns false
  // when the object lacks it.
  bool Fill(ULONG tag, SPropValue& target, void* parent) const;

 private:
  struct Property {
    ULONG tag;
    std::string text;
    std::vector<std::string> texts;
    std::vector<BYTE> bytes;
    LONG number = 0;
  };
  const Property* Find(ULONG tag) const;
  std::vector<Property> properties_;
};

// An error value standing in for a property that is not there.
void SetErrorValue(SPropValue& target, ULONG tag, SCODE error);

// Copies source into target, everything it points to in parent's block.
SCODE CopyPropValue(const SPropValue& source, SPropValue& target, void* parent);

// A tag array as the journal shows it.
std::string TagList(const SPropTagArray* tags);

}  // namespace emulation
