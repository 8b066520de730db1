// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program keeps every file name as UTF-8. std::filesystem reads a plain std::string in the system's
// own narrow encoding, which on Windows is the ANSI code page, so a name in another script would be
// mangled there; these two go through char8_t, which is UTF-8 everywhere.
#include <filesystem>
#include <string>
#include <string_view>

namespace torvane {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace torvane
