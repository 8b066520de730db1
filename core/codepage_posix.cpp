// SPDX-License-Identifier: GPL-3.0-or-later
// Code pages through iconv.
#include <errno.h>
#include <iconv.h>

#include "core/codepage.h"
#include "core/codepage_converter.h"
#include "core/environment.h"

namespace torvane {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

class TIconvConverter : public TCodePageConverter {
 public:
  TIconvConverter(iconv_t toUtf8, iconv_t fromUtf8) : toUtf8_(toUtf8), fromUtf8_(fromUtf8) {}
  ~TIconvConverter() override {
    iconv_close(toUtf8_);
    iconv_close(fromUtf8_);
  }
  TIconvConverter(const TIconvConverter&) = delete;
  TIconvConverter& operator=(const TIconvConverter&) = delete;

  size_t ToUtf8Defined(std::string_view bytes, std::string& utf8) override {
    iconv(toUtf8_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buf[256];
    while (inLeft > 0) {
      char* o = buf;
      size_t oLeft = sizeof buf;
      const size_t r = iconv(toUtf8_, &in, &inLeft, &o, &oLeft);
      utf8.append(buf, o - buf);
      if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
    }
    return bytes.size() - inLeft;
  }

  bool FromUtf8Character(std::string_view character, std::string& bytes) override {
    iconv(fromUtf8_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(character.data());
    size_t inLeft = character.size();
    char buf[16];
    char* o = buf;
    size_t oLeft = sizeof buf;
    if (iconv(fromUtf8_, &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1)) return false;
    bytes.append(buf, o - buf);
    return true;
  }

 private:
  iconv_t toUtf8_;
  iconv_t fromUtf8_;
};

}  // namespace

std::unique_ptr<TCodePageConverter> TCodePageConverter::Open(const std::string& name) {
  const iconv_t toUtf8 = iconv_open("UTF-8", name.c_str());
  const iconv_t fromUtf8 = iconv_open(name.c_str(), "UTF-8");
  if (toUtf8 != kNoConverter && fromUtf8 != kNoConverter)
    return std::make_unique<TIconvConverter>(toUtf8, fromUtf8);
  if (toUtf8 != kNoConverter) iconv_close(toUtf8);
  if (fromUtf8 != kNoConverter) iconv_close(fromUtf8);
  return nullptr;
}

std::string SystemCodePageName() {
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"})
    if (const std::string locale = EnvironmentVariable(var); !locale.empty())
      return TCodePage::ForLocale(locale);
  return "CP1252";
}

}  // namespace torvane
