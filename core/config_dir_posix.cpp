// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include "core/config_dir.h"
#include "core/config_dir_platform.h"
#include "core/utf8_path.h"

namespace torvane {

namespace fs = std::filesystem;

bool FolderWritable(const fs::path& dir) {
  return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

bool BesideWhenWritable() {
  return true;
}

std::string UserProgramDir(const TEnvironment& environment) {
  // The XDG rules ignore a relative XDG_DATA_HOME.
  const std::string xdgDataHome = environment("XDG_DATA_HOME");
  const std::string home = environment("HOME");
  fs::path dataHome;
  if (!xdgDataHome.empty() && PathFromUtf8(xdgDataHome).is_absolute())
    dataHome = PathFromUtf8(xdgDataHome);
  else if (!home.empty())
    dataHome = PathFromUtf8(home) / ".local" / "share";
  else
    return {};
  return PathToUtf8(dataHome / "torvane-configurator");
}

}  // namespace torvane
