// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folder where exported files go and where every file dialog starts.
#include <functional>
#include <string>

namespace torvane {

// Looks up one of the environment's variables by name; empty when unset.
using TEnvironment = std::function<std::string(const char* name)>;

// Where the folder should be, given the program's folder and the user's environment:
// "configuration" beside the executable when that folder exists and may be written or can be made
// there (an installed program usually cannot write beside itself), otherwise "configuration" in the
// program's own folder among the user's data (see UserProgramDir). On Windows an ordinary copy always
// takes the user's own folder, as installed programs do there. A portable copy (see Portable) keeps it
// beside itself in any case, so that it leaves nothing on the PC it runs on. Creates the folder on the way; a
// failure is left to the file dialogs to meet. The result ends with the system's separator.
std::string MakeConfigDir(const std::string& programDir, const TEnvironment& environment);

// The same, with the environment of this process.
std::string MakeConfigDir(const std::string& programDir);

// Whether the copy in `programDir` is a portable one: a file named "portable" is beside the
// executable.
bool Portable(const std::string& programDir);

// The folder MakeConfigDir would give, for a program that must not make one beside itself (the
// command-line tool): beside the executable only when it is there already or the copy is portable;
// the user's own is made.
std::string FindConfigDir(const std::string& programDir, const TEnvironment& environment);

// The program's own folder among the user's data, where the environment names one: on Linux
// $XDG_DATA_HOME/torvane-configurator (an absolute XDG_DATA_HOME only) or
// ~/.local/share/torvane-configurator; on Windows %LOCALAPPDATA%\Torvane Configurator. Empty otherwise.
std::string UserProgramDir(const TEnvironment& environment);

// The folder for backups of what devices held: "backups" beside the configuration folder (whichever
// of the places that is). Not made here; the first backup makes it. Ends with the separator.
std::string BackupDirBeside(const std::string& configDir);

}  // namespace torvane
