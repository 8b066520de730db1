// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way the operator's messages are put together: each is a whole sentence kept with its
// subsystem's texts, with numbered places (%1 .. %9) for what changes, so that it reads whole and a
// translation may put the places in another order.
#include <initializer_list>
#include <string>
#include <string_view>

namespace torvane {

// `pattern` with %1 .. %9 replaced by the values; a value's own "%2" stays as it is, and so does a
// place that has no value.
std::string FillText(std::string_view pattern, std::initializer_list<std::string> values);

}  // namespace torvane
