// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "core/config_dir.h"
#include "core/config_dir_platform.h"
#include "core/utf8_path.h"

namespace torvane {

namespace fs = std::filesystem;

// The folder's access list answers for the folder itself when it is opened asking for the rights to
// add to it; nothing is written. A folder in Program Files refuses them to a user who is no
// administrator.
bool FolderWritable(const fs::path& dir) {
  HANDLE folder = CreateFileW(dir.c_str(), FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  CloseHandle(folder);
  return true;
}

bool BesideWhenWritable() {
  return false;
}

std::string UserProgramDir(const TEnvironment& environment) {
  const std::string localAppData = environment("LOCALAPPDATA");
  if (localAppData.empty() || !PathFromUtf8(localAppData).is_absolute()) return {};
  return PathToUtf8(PathFromUtf8(localAppData) / "Torvane Configurator");
}

}  // namespace torvane
