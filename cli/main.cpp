// SPDX-License-Identifier: GPL-3.0-or-later
// torvane: the command-line tool for batch provisioning (torvane --help).
#include "cli/torvane_cli.h"

int main(int argc, char** argv) {
  return torvane::cli::Main(argc, argv);
}
