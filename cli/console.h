// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The console torvane writes to and the words it was started with, as each system gives them.
#include <string>
#include <vector>

namespace torvane::cli {

// Makes the console show the program's UTF-8 output as such (Windows; POSIX terminals take it as it is).
void PrepareConsole();

// Whether standard error is a terminal that follows the progress bars' cursor movements (on Windows a
// console that takes them, which this turns on).
bool StandardErrorIsTerminal();

// The arguments after the program's name, in UTF-8. Windows hands main() its arguments in the ANSI
// code page, which loses a file name in another script, so there they come from the wide command line.
std::vector<std::string> CommandLineWords(int argc, char** argv);

}  // namespace torvane::cli
