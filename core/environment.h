// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program learns from the process it runs in, in UTF-8 on every platform.
#include <string>

namespace torvane {

// The environment variable `name`; empty when it is not set.
std::string EnvironmentVariable(const char* name);

// The folder that holds the running program; empty when the system cannot tell.
std::string ProgramFolder();

}  // namespace torvane
