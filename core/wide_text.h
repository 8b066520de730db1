// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows only: the system's calls take UTF-16 and the program keeps UTF-8, so every name crosses here
// on its way in and out; and the system's own words for an error, for the operator's messages.
#include <string>
#include <string_view>

namespace torvane {

// Malformed UTF-8 becomes U+FFFD rather than cutting a name short.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// FormatMessageW's text for a GetLastError() code, without its line end and final full stop; the code
// in hexadecimal when the system has no text for it.
std::string WindowsErrorText(unsigned long error);

}  // namespace torvane
