// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include "cli/console.h"
#include "core/wide_text.h"

namespace torvane::cli {

void PrepareConsole() {
  // Without a console (output to a pipe or a file, as a script runs us) there is no code page to set,
  // and the bytes are UTF-8 all the same, so a failure here changes nothing.
  SetConsoleOutputCP(CP_UTF8);
}

bool StandardErrorIsTerminal() {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err == INVALID_HANDLE_VALUE || err == nullptr || !GetConsoleMode(err, &mode)) return false;
  // A console older than Windows 10 shows the escape sequences as text; no bars are better there.
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::vector<std::string> CommandLineWords(int argc, char** argv) {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  // Only when memory runs out; the C library's own split is the next best thing.
  if (words == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> result;
  for (int i = 1; i < count; ++i) result.push_back(Utf8FromWide(words[i]));
  LocalFree(words);
  return result;
}

}  // namespace torvane::cli
