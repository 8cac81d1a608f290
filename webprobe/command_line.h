// Placing values on a command line so that the started program's C runtime
// splits them back into exactly the same values.
#pragma once

#include <string>
#include <string_view>

// The value's text for a place between double quotes: a double quote
// becomes \", and backslashes before a double quote, or at the end where
// the closing quote follows, are doubled. Other backslashes stay single.
std::string EscapeForQuotes(std::string_view value);

// The value's text for an unquoted place: the value itself when it holds no
// space, tab or double quote and is not empty, else the value escaped and
// between double quotes.
std::string QuoteIfNeeded(std::string_view value);
