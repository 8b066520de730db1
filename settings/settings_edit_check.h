// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The check run on every keystroke in a Content cell of the settings grid. It never complains: a
// trailing non-digit is dropped, a text at its limit is cut and the selection moves on, so what the
// installer types always fits the device's field.
#include <string>

#include "core/codepage.h"

namespace torvane {

struct TEditCheck {
  std::string Text;  // what the cell holds after the check
  int MoveTo = 0;    // the row to select next, 0 to stay
};

// text: the Content cell's text as it is being edited in the given row. Limits count the bytes the
// text takes in the device's code page.
TEditCheck CheckSettingsEdit(int row, const std::string& text, const TCodePage& codePage);

}  // namespace torvane
