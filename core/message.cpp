// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/message.h"

#include <algorithm>

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

std::string JoinFirst(const std::vector<std::string>& items, size_t named, std::string_view separator,
                      std::string_view more) {
  std::string text;
  for (size_t i = 0; i < items.size() && i < named; ++i) {
    if (i > 0) text += separator;
    text += items[i];
  }
  if (items.size() <= named) return text;
  return FillText(more, {text, std::to_string(items.size() - named)});
}

std::string JoinFirst(const std::vector<int>& items, size_t named, std::string_view separator,
                      std::string_view more) {
  std::vector<std::string> texts;
  texts.reserve(std::min(items.size(), named));
  for (size_t i = 0; i < items.size() && i < named; ++i) texts.push_back(std::to_string(items[i]));
  // The items beyond those named are only counted.
  texts.resize(items.size());
  return JoinFirst(texts, named, separator, more);
}

}  // namespace torvane
