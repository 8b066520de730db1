// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/message.h"

namespace torvane {

std::string FillText(std::string_view pattern, std::initializer_list<std::string> values) {
  std::string text;
  text.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    const size_t n = next >= '1' && next <= '9' ? static_cast<size_t>(next - '1') : values.size();
    if (pattern[i] == '%' && n < values.size()) {
      text += values.begin()[n];
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

}  // namespace torvane
