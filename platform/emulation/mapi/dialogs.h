// The emulated platform's two dialogs, read from the dialog input (standard
// input unless a test chose another stream), one answer per line. On a
// terminal each lists its choices on standard error first.
#pragma once

#include <optional>
#include <vector>

#include "platform/emulation/runtime/organisation.h"

namespace emulation {

// The profile marked default, or the first.
size_t DefaultProfile(const Organisation& organisation);

// The profile dialog: an empty line picks the default profile; a number
// (from 1) or a name (any letter case) picks that one; an unknown answer
// asks again. None when the input ends: the dialog was cancelled.
std::optional<size_t> ChooseProfile(const Organisation& organisation);

// The address dialog, captioned caption: one line of entries separated by
// commas, each a number (its place in the address book, from 1) or a
// display name (any letter case), in the order chosen; the same entry may
// come twice. An empty line closes it with nothing chosen; an unknown entry
// asks again. None when the input ends: the dialog was cancelled.
std::optional<std::vector<const AddressEntry*>> ChooseRecipients(const Organisation& organisation,
                                                                 const std::string& caption);

}  // namespace emulation
