// SPDX-License-Identifier: GPL-3.0-or-later
// Code pages through the system's own tables: the ones Windows programs, the device's own
// configurator among them, use for the same bytes.
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "core/codepage_converter.h"
#include "core/wide_text.h"

namespace torvane {

namespace {

// "CP1251", "cp936", "1252", "windows-1250": the number is what the system knows a code page by.
UINT CodePageNumber(const std::string& name) {
  std::string digits = name;
  for (const char* prefix : {"windows-", "cp"}) {
    const std::string p = prefix;
    if (digits.size() > p.size() && std::equal(p.begin(), p.end(), digits.begin(), [](char a, char b) {
          return a == std::tolower(static_cast<unsigned char>(b));
        })) {
      digits = digits.substr(p.size());
      break;
    }
  }
  if (digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  return static_cast<UINT>(std::stoul(digits));
}

// Windows fills the holes of a single-byte table with private-use characters (CP1253's 0xAA is
// U+F8F9); such a byte is as undefined as one the table refuses.
bool PrivateUse(wchar_t c) {
  return c >= 0xE000 && c <= 0xF8FF;
}

// UTF-7 and UTF-8 refuse the flags that keep a conversion honest.
bool Unicode(UINT codePage) {
  return codePage == CP_UTF7 || codePage == CP_UTF8;
}

class TWindowsConverter : public TCodePageConverter {
 public:
  explicit TWindowsConverter(UINT codePage) : codePage_(codePage) {}

  size_t ToUtf8Defined(std::string_view bytes, std::string& utf8) override {
    size_t at = 0;
    while (at < bytes.size()) {
      const auto first = static_cast<unsigned char>(bytes[at]);
      if (first < 0x80) {
        utf8 += static_cast<char>(first);
        ++at;
        continue;
      }
      const size_t length = CharacterLength(first);
      if (at + length > bytes.size()) break;
      wchar_t wide[4];
      const int got = MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, bytes.data() + at,
                                          static_cast<int>(length), wide, 4);
      if (got <= 0 || (length == 1 && got == 1 && PrivateUse(wide[0]))) break;
      utf8 += Utf8FromWide(std::wstring_view(wide, static_cast<size_t>(got)));
      at += length;
    }
    return at;
  }

  bool FromUtf8Character(std::string_view character, std::string& bytes) override {
    wchar_t wide[4];
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, character.data(),
                                               static_cast<int>(character.size()), wide, 4);
    if (wideLength <= 0) return false;
    char out[8];
    const DWORD flags = Unicode(codePage_) ? 0 : WC_NO_BEST_FIT_CHARS;
    const int outLength =
        WideCharToMultiByte(codePage_, flags, wide, wideLength, out, sizeof out, nullptr, nullptr);
    if (outLength <= 0) return false;
    // A character the code page lacks came out as its default '?' (or, without WC_NO_BEST_FIT_CHARS's
    // reach, as a look-alike): only what reads back as itself is held.
    wchar_t back[4];
    const int backLength = MultiByteToWideChar(codePage_, 0, out, outLength, back, 4);
    if (backLength != wideLength || !std::equal(wide, wide + wideLength, back)) return false;
    if (outLength == 1 && wideLength == 1 && PrivateUse(wide[0])) return false;
    bytes.append(out, static_cast<size_t>(outLength));
    return true;
  }

 private:
  size_t CharacterLength(unsigned char first) const {
    if (codePage_ == CP_UTF8) return first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    return IsDBCSLeadByteEx(codePage_, first) ? 2 : 1;
  }

  UINT codePage_;
};

}  // namespace

std::unique_ptr<TCodePageConverter> TCodePageConverter::Open(const std::string& name) {
  const UINT codePage = CodePageNumber(name);
  if (codePage == 0 || codePage == CP_UTF7 || !IsValidCodePage(codePage)) return nullptr;
  return std::make_unique<TWindowsConverter>(codePage);
}

std::string SystemCodePageName() {
  return "CP" + std::to_string(GetACP());
}

}  // namespace torvane
