// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzz targets share: stopping loudly when a property breaks, and the check that a cell
// holds well-formed UTF-8 (the grids hold nothing else; the views and files would show garbage).
#include <cstdio>
#include <cstdlib>
#include <string>

namespace torvane::fuzz {

inline void Require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

inline bool ValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    int more = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      more = 1, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      more = 2, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      more = 3, cp = b & 0x07;
    } else {
      return false;
    }
    if (i + more >= s.size()) return false;
    for (int k = 1; k <= more; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

}  // namespace torvane::fuzz
