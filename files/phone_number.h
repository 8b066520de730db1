// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Telephone numbers as people write them in files, and as the device keeps them: it reads a number up
// to its first byte that is neither '+' nor a digit, so "+49 170 1234567" would be kept as "+49".
// The number list's numbers and the SIM card's number follow the same rule.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// Drops the spaces, '-', '.', '(' and ')' that numbers are written with: "+49 (170) 123-45.67" becomes
// "+491701234567".
std::string CleanPhoneNumber(std::string_view text);
// The number as two numbers are compared by the find and the merge: cleaned, and without a leading
// '+' or "00", so that "+49 170 1234567", "0049-170-1234567" and "491701234567" are one number.
std::string PhoneNumberKey(std::string_view text);
// Why the device cannot keep a cleaned number in a field of `fieldBytes`: a character other than
// digits after an optional leading '+', or too many characters. Nothing when it can.
std::optional<std::string> PhoneNumberProblem(const std::string& cleaned, size_t fieldBytes);

}  // namespace torvane
