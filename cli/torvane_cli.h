// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// torvane's main: the arguments in, the exit status out.
namespace torvane::cli {

int Main(int argc, char** argv);

}  // namespace torvane::cli
