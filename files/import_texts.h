// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the imports of every table say alike, in one place.
namespace torvane {

inline constexpr char kRefusalLine[] = "%1: %2";
inline constexpr char kRefusalMore[] = "%1\n... and %2 more";
inline constexpr char kCleanedOneRow[] =
    "The number of 1 row held spaces, '-', '.', '(' or ')'; they were taken out.";
inline constexpr char kCleanedRows[] =
    "The numbers of %1 rows held spaces, '-', '.', '(' or ')'; they were taken out.";

// Why a telephone number is refused: the number after cleaning, the character, the counts.
inline constexpr char kNumberNotDigits[] =
    "the number \"%1\" holds \"%2\"; the device keeps digits after an optional leading +";
inline constexpr char kNumberTooLong[] = "the number \"%1\" has %2 characters; the device keeps %3";

}  // namespace torvane
