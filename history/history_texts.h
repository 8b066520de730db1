// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the history part of the program says to the operator, in one place.
namespace torvane {

// Reading the 500 pages.
inline constexpr char kHistoryReadRequest[] = "Reading historical data";
inline constexpr char kHistoryReadReply[] = "Reading historical data:";
inline constexpr char kHistoryReadDone[] = "Historical data read to PC software success.";
inline constexpr char kHistoryTable[] = "historical data";

// "Delete all".
inline constexpr char kDeleteHistoryWarning[] =
    "Warning: Thie operation will DELETE all of the historical data on GSM device! ";

// The filter.
inline constexpr char kFilterTimeError[] = "Time selection error";
inline constexpr char kFilterReady[] = "Ready to order";
inline constexpr char kFilterRecords[] = "Records:";
inline constexpr char kFilterNoCorrectRecords[] = "No correct records";
inline constexpr char kFilterSearch[] = "Search";
inline constexpr char kFilterNoRecords[] = "No records";
inline constexpr char kFilterLoading[] = "Loading";
inline constexpr char kFilterSortDate[] = "Sort date";
inline constexpr char kFilterDone[] = "Records";

// The find bar.
inline constexpr char kHistoryFindPlaceholder[] = "Number, executant or content";
inline constexpr char kHistoryFindShown[] = "%1 of %2 records shown";
inline constexpr char kHistoryFindNoMatch[] = "No record matches.";

// The exports.
inline constexpr char kHistoryXlsFilter[] = "EXCEL file|*.xlsx;*.xls|(*.*)|*.*";
inline constexpr char kHistoryCsvFilter[] = "CVS file|*.cvs;*.cvs|(*.*)|*.*";
inline constexpr char kHistoryXlsNamePrefix[] = "hisinf_R";
inline constexpr char kHistoryCsvNamePrefix[] = "hisinf_CSV";
inline constexpr char kHistoryCsvExtension[] = ".cvs";
inline constexpr char kHistoryCsvStatus[] = "Export.csv:";
inline constexpr char kHistoryXlsStatus[] = "historical information records:";

}  // namespace torvane
