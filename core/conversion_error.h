// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application's standard conversion error, which ends whatever needed the number: the same text
// wherever a cell that should hold an integer does not.
#include <string>

namespace torvane {

inline std::string NotAnIntegerMessage(const std::string& text) {
  return "'" + text + "' is not a valid integer value";
}

}  // namespace torvane
