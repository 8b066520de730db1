// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What TCodePage asks of the platform's converter (iconv on POSIX, the system's code pages on
// Windows). The rules for what a code page lacks live in codepage.cpp, once for both.
#include <memory>
#include <string>
#include <string_view>

namespace torvane {

class TCodePageConverter {
 public:
  // Empty when the platform knows no code page of that name.
  static std::unique_ptr<TCodePageConverter> Open(const std::string& name);
  virtual ~TCodePageConverter() = default;

  // Converts the longest start of `bytes` that the code page defines, appending it to `utf8`; returns
  // how many bytes that was (0 when the first byte, or the pair it leads, is undefined).
  virtual size_t ToUtf8Defined(std::string_view bytes, std::string& utf8) = 0;
  // The code-page bytes of one character, given as its UTF-8 sequence, appended to `bytes`; false
  // (and nothing appended) when the code page lacks it or the sequence is malformed.
  virtual bool FromUtf8Character(std::string_view character, std::string& bytes) = 0;
};

// The code page this PC's programs use for texts when TORVANE_CODEPAGE names none.
std::string SystemCodePageName();

}  // namespace torvane
