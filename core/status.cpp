// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/status.h"

#include <algorithm>

namespace torvane {

void Tstatusbar_ctrl::ShowStatus(const std::string& text) {
  view_.SetStatusText(text);
  timer_.SetInterval(3000);
  timer_.Start();
}

void Tprogressbar_ctrl::SetProgress(uint16_t value) {
  if (value != 0) view_.SetProgressVisible(true);
  view_.SetProgressPosition(std::min<int>(value, 100));
  if (value == 100) view_.SetProgressVisible(false);
}

}  // namespace torvane
