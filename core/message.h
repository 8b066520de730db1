// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way the operator's messages are put together: each is a whole sentence kept with its
// subsystem's texts, with numbered places (%1 .. %9) for what changes, so that it reads whole and a
// translation may put the places in another order.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// `pattern` with %1 .. %9 replaced by the values; a value's own "%2" stays as it is, and so does a
// place that has no value.
std::string FillText(std::string_view pattern, std::initializer_list<std::string> values);

// The first `named` items joined with `separator`; when there are more, `more` says so, with %1 for the
// items joined and %2 for how many more: JoinFirst({"4", "9", "12", "30"}, 3, ",", "%1,....") gives
// "4,9,12,....", and with "%1 and %2 more", "4,9,12 and 1 more".
std::string JoinFirst(const std::vector<std::string>& items, size_t named, std::string_view separator,
                      std::string_view more);
std::string JoinFirst(const std::vector<int>& items, size_t named, std::string_view separator,
                      std::string_view more);

}  // namespace torvane
