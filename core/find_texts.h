// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the find bar says, on any tab; each tab words its own result (number_texts.h, history_texts.h).
namespace torvane {

inline constexpr char kFindLabel[] = "Find:";
inline constexpr char kFindPrevious[] = "Previous match (Shift+F3)";
inline constexpr char kFindNext[] = "Next match (F3)";
inline constexpr char kFindClose[] = "Close the find bar (Esc)";

}  // namespace torvane
