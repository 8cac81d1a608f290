// Conversions between the platform's 8-bit code pages and UTF-16, and the
// few wide-string helpers the core needs (wchar_t is not UTF-16 on every
// platform the core builds on).
#pragma once

#include <string>

#include "platform/sdk.h"

// text converted with the given code page; an empty string for null text.
std::string NarrowFromWide(const WCHAR* text, UINT codePage);
std::basic_string<WCHAR> WideFromNarrow(const char* text, UINT codePage);
