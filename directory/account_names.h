#pragma once

#include <vector>

#include "platform/sdk.h"

// The operator's account names ("DOMAIN\name"), the operator's own first.
// The list owns its strings: whoever removes one frees it with
// SysFreeString.
using AccountNameList = std::vector<BSTR>;
