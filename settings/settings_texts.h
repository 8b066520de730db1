// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the settings part of the program says to the operator, in one place.
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
inline constexpr char kSettingsNotKept[] =
    "The device did not keep these parameters when they were saved: %1.";
inline constexpr char kSettingsNotKeptUnused[] = "bytes that belong to no parameter";
inline constexpr char kSettingsFirstPage[] = "The first page";
inline constexpr char kSettingsSecondPage[] = "The second page";
inline constexpr char kSettingsThirdPage[] = "The third page";
// A password the login could never match: the device compares all four bytes with what is typed.
inline constexpr char kPasswordNotFourDigits[] =
    "1.Password must be exactly four digits (0-9): the device compares all four characters with the "
    "password typed at \"Log in\", so a shorter one could never be typed again. Nothing was saved.";

// A number cell outside what its two bytes hold: the value, then the parameter's label.
inline constexpr char kNumberOutOfRange[] = "The value %1 of %2 is outside 0 to 65535; saving stopped.";

// The profile files.
inline constexpr char kProfileExportFilter[] = "EXCEL file|*.xlsx;*.xls|(*.*)|*.*";
inline constexpr char kProfileImportFilter[] = "EXCEL file|*.xls;*.xlsx|(*.*)|*.*";
inline constexpr char kProfileNamePrefix[] = "basicinf_R";
inline constexpr char kWrongProfileFormat[] = "Wrong format of the setting profile";
inline constexpr char kSaveProfileStatus[] = "Save profile";
inline constexpr char kLoadProfileStatus[] = "Load profile";

// A profile or JSON file refused before anything is loaded: the parameters named, each with why.
inline constexpr char kSettingsImportRefused[] =
    "Nothing was imported: the device cannot keep these parameters as the file gives them.";
inline constexpr char kSettingNoSuchItem[] = "there is no item %1 in its list (items 0 to %2)";
inline constexpr char kSettingItemDisagrees[] = "the index %1 is not the item \"%2\"";
inline constexpr char kSettingNotDigits[] = "\"%1\" holds \"%2\"; only digits can be typed here";
inline constexpr char kSettingTooManyDigits[] = "\"%1\" has %2 digits; at most %3 can be typed here";
inline constexpr char kSettingOutOfRange[] = "%1 is outside 0 to 65535";
inline constexpr char kSettingNotInCodePage[] = "\"%1\" cannot be written in the code page %2";
inline constexpr char kSettingTooLong[] = "the text takes %1 bytes in the code page %2; its field holds %3";
inline constexpr char kSettingNotPrintable[] =
    "\"%1\" is not read back by the device here: this field keeps only the characters from space to ~";
inline constexpr char kSettingEndsText[] =
    "\"%1\" is the byte 0xFF in the code page %2, which ends this text on the device";
inline constexpr char kSettingReadsBackAs[] = "the device would read it back as \"%1\"";

// A JSON file of the settings that cannot be read; %1 is a parameter's number.
inline constexpr char kJsonNoSuchParameter[] = "there is no parameter %1";
inline constexpr char kJsonParameterTwice[] = "parameter %1 is given twice";
// %2 is the parameter's label, %3 the name the file gives it, as JSON writes it.
inline constexpr char kJsonParameterNamed[] = "parameter %1 is \"%2\", not %3";
inline constexpr char kJsonParameterNoValue[] = "parameter %1 has no text \"value\"";
inline constexpr char kJsonParameterIndex[] = "parameter %1: \"index\" is no integer";
inline constexpr char kJsonParameterMissing[] = "parameter %1 is missing";

}  // namespace torvane
