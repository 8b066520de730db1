// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What MakeConfigDir asks of the platform, one file per platform behind it.
#include <filesystem>

namespace torvane {

// Whether new files may be made in the existing folder `dir`. Asked without writing anything, so an
// existing folder stays exactly as it was.
bool FolderWritable(const std::filesystem::path& dir);

}  // namespace torvane
