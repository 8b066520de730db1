// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/config_dir.h"

#include <filesystem>
#include <system_error>

#include "core/config_dir_platform.h"
#include "core/environment.h"
#include "core/utf8_path.h"

namespace torvane {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFolderName = "configuration";
// A copy carried on a stick says so with this file beside the program.
constexpr const char* kPortableMarker = "portable";

// Exists and refuses nothing, or was made just now with a single level of mkdir, where the platform
// keeps an ordinary copy's folders beside it at all.
bool Usable(const fs::path& dir) {
  if (!BesideWhenWritable()) return false;
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return FolderWritable(dir);
  return fs::create_directory(dir, ec) && !ec;
}

std::string WithSeparator(const fs::path& p) {
  std::string s = PathToUtf8(p.lexically_normal().make_preferred());
  if (s.empty() || (s.back() != '/' && s.back() != static_cast<char>(fs::path::preferred_separator)))
    s += static_cast<char>(fs::path::preferred_separator);
  return s;
}

// The user's own configuration folder, made; empty when the environment names no place for it.
std::string MadeUserConfigDir(const TEnvironment& environment) {
  const std::string own = UserProgramDir(environment);
  if (own.empty()) return {};
  const fs::path dir = PathFromUtf8(own) / kFolderName;
  std::error_code ec;
  fs::create_directories(dir, ec);  // failure is met later by the file dialogs
  return WithSeparator(dir);
}

}  // namespace

bool Portable(const std::string& programDir) {
  std::error_code ec;
  return !programDir.empty() && fs::is_regular_file(PathFromUtf8(programDir) / kPortableMarker, ec);
}

std::string MakeConfigDir(const std::string& programDir, const TEnvironment& environment) {
  const fs::path program = PathFromUtf8(programDir);
  const fs::path beside = program / kFolderName;
  if (!programDir.empty()) {
    if (Portable(programDir)) {
      std::error_code ec;
      fs::create_directory(beside, ec);  // a read-only stick is met by the file dialogs as well
      return WithSeparator(beside);
    }
    if (Usable(beside)) return WithSeparator(beside);
  }
  const std::string own = MadeUserConfigDir(environment);
  return own.empty() ? WithSeparator(beside) : own;
}

std::string MakeConfigDir(const std::string& programDir) {
  return MakeConfigDir(programDir, EnvironmentVariable);
}

std::string FindConfigDir(const std::string& programDir, const TEnvironment& environment) {
  const fs::path program = PathFromUtf8(programDir);
  const fs::path beside = program / kFolderName;
  std::error_code ec;
  if (Portable(programDir) || (!programDir.empty() && BesideWhenWritable() && fs::is_directory(beside, ec)))
    return WithSeparator(beside);
  const std::string own = MadeUserConfigDir(environment);
  return own.empty() ? WithSeparator(beside) : own;
}

std::string BackupDirBeside(const std::string& configDir) {
  fs::path dir = PathFromUtf8(configDir).lexically_normal();
  if (dir.filename().empty()) dir = dir.parent_path();  // "…/configuration/" names its folder last
  return WithSeparator(dir.parent_path() / "backups");
}

}  // namespace torvane
