// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <vector>

#include "core/environment.h"
#include "core/wide_text.h"

namespace torvane {

// The system's block rather than the C library's copy, which SetEnvironmentVariableW never reaches;
// it is UTF-16 already.
std::string EnvironmentVariable(const char* name) {
  const std::wstring wideName = WideFromUtf8(name);
  std::vector<wchar_t> value(256);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    // Not set and set to nothing look alike to the program, as they do on POSIX with an empty value.
    if (length == 0) return {};
    if (length < value.size()) return Utf8FromWide(std::wstring_view(value.data(), length));
    value.resize(length);
  }
}

std::string ProgramFolder() {
  // A path may be longer than MAX_PATH; the call says so only by filling the buffer to the brim.
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      std::wstring_view program(path.data(), length);
      const size_t slash = program.find_last_of(L"\\/");
      return slash == std::wstring_view::npos ? std::string() : Utf8FromWide(program.substr(0, slash));
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

}  // namespace torvane
