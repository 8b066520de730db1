#include "core/config_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace torvane {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFolderName = "configuration";
constexpr const char* kProgramName = "torvane-configurator";

// A folder that exists but refuses new files is as good as none for exports. Asked without writing
// anything, so an existing folder stays exactly as it was.
bool Writable(const fs::path& dir) {
  return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

// Exists, or was made just now with a single level of mkdir.
bool Usable(const fs::path& dir) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return Writable(dir);
  return fs::create_directory(dir, ec) && !ec;
}

std::string WithSlash(const fs::path& p) {
  std::string s = p.lexically_normal().string();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

std::string EnvOr(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

std::string MakeConfigDir(const std::string& programDir, const std::string& xdgDataHome,
                          const std::string& home) {
  const fs::path beside = fs::path(programDir) / kFolderName;
  if (!programDir.empty() && Usable(beside)) return WithSlash(beside);

  // The XDG rules ignore a relative XDG_DATA_HOME.
  fs::path dataHome;
  if (!xdgDataHome.empty() && fs::path(xdgDataHome).is_absolute())
    dataHome = xdgDataHome;
  else if (!home.empty())
    dataHome = fs::path(home) / ".local" / "share";
  else
    return WithSlash(beside);
  const fs::path own = dataHome / kProgramName / kFolderName;
  std::error_code ec;
  fs::create_directories(own, ec);  // failure is met later by the file dialogs
  return WithSlash(own);
}

std::string MakeConfigDir(const std::string& programDir) {
  return MakeConfigDir(programDir, EnvOr("XDG_DATA_HOME"), EnvOr("HOME"));
}

std::string BackupDirBeside(const std::string& configDir) {
  fs::path dir = fs::path(configDir).lexically_normal();
  if (dir.filename().empty()) dir = dir.parent_path();  // "…/configuration/" names its folder last
  return WithSlash(dir.parent_path() / "backups");
}

}  // namespace torvane
