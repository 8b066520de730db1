// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include "cli/console.h"

namespace torvane::cli {

void PrepareConsole() {}

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

std::vector<std::string> CommandLineWords(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace torvane::cli
