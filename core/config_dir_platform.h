// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What MakeConfigDir asks of the platform, one file per platform behind it.
#include <filesystem>

namespace torvane {

// Whether new files may be made in the existing folder `dir`. Asked without writing anything, so an
// existing folder stays exactly as it was.
bool FolderWritable(const std::filesystem::path& dir);

// Whether a copy without the portable marker keeps its folders beside itself where it may write
// there. On Linux a copy run from its build or an unpacked folder does; an installed program cannot
// write into /usr anyway. On Windows a program installed in Program Files may well be able to write
// there (run as administrator, or under wine), yet keeps the user's folders in the user's own place.
bool BesideWhenWritable();

}  // namespace torvane
