#pragma once
// What the settings part of the program says to the operator, in one place.
#include <string>

namespace torvane {

// Reading and saving the three pages.
inline constexpr char kSettingsReadQuestion[] = "Read the GSM device basic parameters to PC software?";
inline constexpr char kSettingsReadRequest[] = "Read settings";
inline constexpr char kSettingsReadReply[] = "Reading basic setting";
inline constexpr char kSettingsReadDone[] = "Basic settings read to PC software success.";
inline constexpr char kSettingsWriteRequest[] = "Save settings";
inline constexpr char kSettingsWriteReply[] = "Save basic settings";
inline constexpr char kSettingsWriteDone[] = "Basic setting saved success";
inline constexpr char kSettingsWriteRefused[] = "Basic setting error";
inline constexpr char kSettingsBackupRequest[] = "Backing up basic settings";
inline constexpr char kSettingsBackupReply[] = "Backing up basic settings";
inline constexpr char kSettingsVerifyReply[] = "Verifying basic settings";
inline constexpr char kSettingsVerifyRequest[] = "Reading back basic settings";
inline constexpr char kSettingsTable[] = "basic settings";
inline constexpr char kSettingsNotKept[] = "The device did not keep these parameters when they were saved: ";
inline constexpr char kSettingsNotKeptUnused[] = "bytes that belong to no parameter";
inline constexpr char kSettingsFirstPage[] = "The first page";
inline constexpr char kSettingsSecondPage[] = "The second page";
inline constexpr char kSettingsThirdPage[] = "The third page";
// A password the login could never match: the device compares all four bytes with what is typed.
inline constexpr char kPasswordNotFourDigits[] =
    "1.Password must be exactly four digits (0-9): the device compares all four characters with the "
    "password typed at \"Log in\", so a shorter one could never be typed again. Nothing was saved.";

// A number cell outside what its two bytes hold: `value` of `label`.
inline std::string NumberOutOfRange(const std::string& value, const std::string& label) {
  return "The value " + value + " of " + label + " is outside 0 to 65535; saving stopped.";
}

// The profile files.
inline constexpr char kProfileExportFilter[] = "EXCEL file|*.xlsx;*.xls|(*.*)|*.*";
inline constexpr char kProfileImportFilter[] = "EXCEL file|*.xls;*.xlsx|(*.*)|*.*";
inline constexpr char kProfileNamePrefix[] = "basicinf_R";
inline constexpr char kWrongProfileFormat[] = "Wrong format of the setting profile";
inline constexpr char kSaveProfileStatus[] = "Save profile";
inline constexpr char kLoadProfileStatus[] = "Load profile";

}  // namespace torvane
