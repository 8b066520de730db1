// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device stores texts in the PC's ANSI code page. Windows has that setting (GetACP); on Linux
// there is none, so the code page is chosen from the locale the way Windows chooses it for that
// language (zh_CN -> CP936, ru -> CP1251, ..., CP1252 otherwise). TORVANE_CODEPAGE (for example
// "CP936", or on Windows "936" as well) overrides either.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace torvane {

class TCodePageConverter;

class TCodePage {
 public:
  // An unknown name falls back to CP1252 rather than losing texts.
  explicit TCodePage(std::string name);
  ~TCodePage();
  TCodePage(const TCodePage&) = delete;
  TCodePage& operator=(const TCodePage&) = delete;

  // The code page of this PC (see above), created on first use.
  static const TCodePage& System();
  // The Windows code page for a locale name such as "zh_CN.UTF-8" or "ru_RU".
  static std::string ForLocale(std::string_view locale);

  const std::string& Name() const { return name_; }
  // Code-page bytes to UTF-8. A byte (or pair) the code page does not define keeps its value as the
  // character U+0080..U+00FF, so that it goes back to the device as the same byte.
  std::string ToUtf8(std::string_view bytes) const;
  // UTF-8 to code-page bytes. A character the code page cannot hold becomes '?', as on Windows.
  std::string FromUtf8(std::string_view utf8) const;
  // Whether the text comes back from its code-page bytes as it went in. FromUtf8 never fails, so a
  // character the code page lacks would otherwise reach the device as another one: under CP1251
  // "café" goes as "cafй", U+00E9 standing for the byte 0xE9 there. Malformed UTF-8 fails too.
  bool Holds(std::string_view utf8) const { return ToUtf8(FromUtf8(utf8)) == utf8; }

 private:
  std::string name_;
  // iconv keeps a state between calls, so one text converts at a time.
  mutable std::mutex mutex_;
  std::unique_ptr<TCodePageConverter> converter_;
};

// Appends the code point `cp` (at most U+10FFFF) to `out` as UTF-8.
void AppendUtf8(std::string& out, uint32_t cp);

}  // namespace torvane
