#pragma once
// The folder where exported files go and where every file dialog starts.
#include <string>

namespace torvane {

// Where the folder should be, given the program's folder and the user's environment:
// "configuration/" beside the executable when that folder exists or can be made there (an installed
// program usually cannot write beside itself), otherwise "configuration/" in the program's folder under
// the user's data directory ($XDG_DATA_HOME, or ~/.local/share). Creates the folder on the way; a
// failure is left to the file dialogs to meet. The result ends with "/".
std::string MakeConfigDir(const std::string& programDir, const std::string& xdgDataHome,
                          const std::string& home);

// The same, with the environment of this process.
std::string MakeConfigDir(const std::string& programDir);

// The folder for backups of what devices held: "backups/" beside the configuration folder (whichever
// of the two places that is). Not made here; the first backup makes it. Ends with "/".
std::string BackupDirBeside(const std::string& configDir);

}  // namespace torvane
