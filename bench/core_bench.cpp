// SPDX-License-Identifier: GPL-3.0-or-later
// The core pieces on their own: frames, the receive side, the page codecs, the history filter, the
// number list's find and its spreadsheet files. No port, no device thread: what is timed is our code alone.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/codepage.h"
#include "core/undo.h"
#include "files/safe_file.h"
#include "history/history_filter.h"
#include "history/history_inf.h"
#include "history/history_record.h"
#include "numbers/number_files.h"
#include "numbers/number_find.h"
#include "numbers/number_json.h"
#include "numbers/number_merge.h"
#include "numbers/number_record.h"
#include "numbers/telephone_send.h"
#include "protocol/frame.h"
#include "settings/basic_inf.h"
#include "settings/settings_codec.h"
#include "settings/settings_table.h"

namespace torvane::bench {
namespace {

// ---- frames ----

void BM_BuildReadRequest(benchmark::State& state) {
  uint32_t page = 0;
  for (auto _ : state) {
    TDataPackage p;
    p.SetCommand(CMD_READ);
    p.SetAddress(static_cast<int32_t>(kNumbersBase + (page++ % 375) * kPageSpan));
    p.SetLength(0);
    p.BuildFrame();
    benchmark::DoNotOptimize(p.Frame.data());
  }
}
BENCHMARK(BM_BuildReadRequest);

void BM_BuildWritePage(benchmark::State& state) {
  std::array<uint8_t, 256> payload;
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  for (auto _ : state) {
    TDataPackage p;
    p.SetCommand(CMD_WRITE);
    p.SetAddress(kNumbersBase);
    p.SetLength(256);
    p.SetPayload(payload.data());
    p.BuildFrame();
    benchmark::DoNotOptimize(p.Frame.data());
  }
  state.SetBytesProcessed(state.iterations() * 265);
}
BENCHMARK(BM_BuildWritePage);

// The whole send sequence of a request: frame, queue, status text, reply timer.
void BM_SendFrame(benchmark::State& state) {
  TSessionOnSink s;
  TExchange& exchange = s.Session->Exchange;
  struct TNobody : IExchangeClient {
    bool OnReply(const TReply&) override { return true; }
    void OnFailed(TExchangeFailure) override {}
  } nobody;
  for (auto _ : state) {
    exchange.Send(nobody, CMD_READ, kNumbersBase, {}, "Reading number list");
    exchange.Abandon(TExchangeFailure::Disconnected);
  }
}
BENCHMARK(BM_SendFrame);

// ---- the receive side: a reply byte by byte through the dispatcher and the decoder ----

enum TTable { kSettingsTable, kNumbersTable, kHistoryTable };

void StartRead(TSession& s, TTable table) {
  switch (table) {
    case kSettingsTable:
      s.Settings.StartRead();
      break;
    case kNumbersTable:
      s.Numbers.StartRead();
      break;
    case kHistoryTable:
      s.History.StartRead();
      break;
  }
}

// Each iteration takes one whole reply (265 bytes) one byte per receive event, as the serial
// component hands them over; the decoder then writes its rows and asks for the next page.
void BM_ReplyByteByByte(benchmark::State& state) {
  const auto table = static_cast<TTable>(state.range(0));
  TSessionOnSink s;
  TSession& session = *s.Session;
  const device::TDeviceMemory& memory = PopulatedMemory();
  // Replies by the address of their request, built up front.
  const auto address = [&s] {
    const auto& f = s.Port.Last;
    return (uint32_t{f[2]} << 24) | (uint32_t{f[3]} << 16) | (uint32_t{f[4]} << 8) | f[5];
  };
  std::map<uint32_t, std::vector<uint8_t>> replies;
  StartRead(session, table);
  while (session.Exchange.Busy()) {
    auto reply = ReplyFrom(memory, s.Port.Last);
    replies[address()] = reply;
    for (uint8_t b : reply) session.cm1ReceiveData(&b, 1);
  }
  StartRead(session, table);
  int64_t bytes = 0;
  for (auto _ : state) {
    const std::vector<uint8_t>& reply = replies.at(address());
    for (uint8_t b : reply) session.cm1ReceiveData(&b, 1);
    bytes += static_cast<int64_t>(reply.size());
    if (!session.Exchange.Busy()) StartRead(session, table);
  }
  if (s.Operator.ErrorCount > 0) state.SkipWithError(s.Operator.LastError.c_str());
  state.SetBytesProcessed(bytes);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReplyByteByByte)->ArgName("table")->Arg(kSettingsTable)->Arg(kNumbersTable)->Arg(kHistoryTable);

// ---- page codecs ----

using TPage = std::array<uint8_t, 256>;

// The pages of a region of the populated device, index 0 = page 1.
std::vector<TPage> RegionPages(device::TRegion region, int count) {
  std::vector<TPage> pages(count);
  for (int page = 1; page <= count; ++page) {
    const uint8_t* from = PopulatedMemory().At(device::Locate(device::PageAddress(region, page)));
    std::memcpy(pages[page - 1].data(), from, 256);
  }
  return pages;
}

void BM_DecodeSettingsPage(benchmark::State& state) {
  const int page = static_cast<int>(state.range(0));
  TSessionOnSink s;
  const auto pages = RegionPages(device::TRegion::Settings, 3);
  const TPage& bytes = pages[page - 1];
  const std::span<const uint8_t, kSettingsPageSize> view(bytes.data(), kSettingsPageSize);
  for (auto _ : state) {
    TGridUpdate batch(s.Session->SettingsGrid);
    for (const TSettingDef& param : SettingsTable())
      DecodeSettingOnPage(param, page, view, s.Session->SettingsGrid, s.Session->SettingsLists,
                          TCodePage::System());
  }
}
BENCHMARK(BM_DecodeSettingsPage)->ArgName("page")->DenseRange(1, 3);

void BM_EncodeSettingsPage(benchmark::State& state) {
  const int page = static_cast<int>(state.range(0));
  TSessionOnSink s;
  ReadEverything(s);
  std::array<uint8_t, kSettingsPageSize> out;
  for (auto _ : state) {
    auto fault = EncodeSettingsPage(page, s.Session->SettingsGrid, s.Session->SettingsLists,
                                    TCodePage::System(), std::span<uint8_t, kSettingsPageSize>(out));
    if (fault) state.SkipWithError("a settings cell did not encode");
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_EncodeSettingsPage)->ArgName("page")->DenseRange(1, 3);

// The number decoder: eight records into six cells each.
void BM_DecodeNumbersPage(benchmark::State& state) {
  TGrid grid(8, 3001);
  SetUpNumberGrid(grid);
  const auto pages = RegionPages(device::TRegion::Numbers, kNumberPageCount);
  int page = 1;
  for (auto _ : state) {
    DecodeNumberPage(grid, page, pages[page - 1].data());
    page = page % kNumberPageCount + 1;
  }
}
BENCHMARK(BM_DecodeNumbersPage);

void BM_EncodeNumbersPage(benchmark::State& state) {
  TSessionOnSink s;
  ReadEverything(s);
  const TGrid& grid = s.Session->NumberGrid;
  std::array<uint8_t, kNumberPageSize> out;
  int page = 1;
  for (auto _ : state) {
    for (int r = 0; r < kNumbersPerPage; ++r) {
      const int row = (page - 1) * kNumbersPerPage + r + 1;
      if (EncodeNumberRecord(NumberRowCells(grid, row), out.data() + r * kNumberRecordSize))
        state.SkipWithError("a number row did not encode");
    }
    benchmark::DoNotOptimize(out.data());
    page = page % kNumberPageCount + 1;
  }
}
BENCHMARK(BM_EncodeNumbersPage);

// The history decoder: two records into seven cells each. The device alone writes the log,
// so the program has no history encoder to time.
void BM_DecodeHistoryPage(benchmark::State& state) {
  TGrid grid(8, 1001);
  SetUpHistoryGrid(grid);
  const auto pages = RegionPages(device::TRegion::History, kHistoryPageCount);
  int page = 1;
  for (auto _ : state) {
    DecodeHistoryPage(grid, (page - 1) * 2 + 1, pages[page - 1].data(), TCodePage::System());
    page = page % kHistoryPageCount + 1;
  }
}
BENCHMARK(BM_DecodeHistoryPage);

// ---- the history filter over a full log ----

void BM_HistoryFilter(benchmark::State& state) {
  TSessionOnSink s;
  ReadEverything(s);
  const TGrid full = s.Session->HistoryGrid;
  int rows = 0;
  for (int row = 1; row <= kHistoryRows; ++row) rows += !full.Cell(kHisNumber, row).empty();
  // The whole populated year: every readable row is kept, so every one is sorted and written back.
  const THistoryFilterRange range{{2024, 1, 1}, {2024, 1, 1}, {2026, 12, 31}, {2026, 12, 31, 23, 59, 59}};
  for (auto _ : state) {
    state.PauseTiming();
    s.Session->HistoryGrid = full;
    state.ResumeTiming();
    const TFilterResult r = FilterRows(s.Session->HistoryGrid, range, s.Operator, s.Session->Status);
    if (r != TFilterResult::Filtered) state.SkipWithError("the filter kept nothing");
  }
  state.counters["rows"] = rows;
}
BENCHMARK(BM_HistoryFilter)->Unit(benchmark::kMicrosecond);

// ---- the number list's find over a full list ----

// One keystroke in the find bar: the query typed so far against the keys of 3000 numbers, made once
// per change of the grid. The queries are the prefixes of a number typed digit by digit, the way the
// operator types it, with its spaces.
void BM_NumberFind(benchmark::State& state) {
  TSessionOnSink s;
  ReadEverything(s);
  TNumberFind find(s.Session->NumberGrid);
  const std::string number = s.Session->NumberGrid.Cell(kColNumber, 1500);
  std::vector<std::string> typed;
  for (size_t n = 1; n <= number.size(); ++n) typed.push_back(number.substr(0, n) + (n % 3 ? "" : " "));
  find.Find("1");  // the keys of the list just read
  size_t i = 0, found = 0;
  for (auto _ : state) {
    found += find.Find(typed[i]).size();
    i = (i + 1) % typed.size();
  }
  benchmark::DoNotOptimize(found);
  state.counters["rows"] = kNumberRows;
}
BENCHMARK(BM_NumberFind)->Unit(benchmark::kMicrosecond);

// The same after a change of one number: its key alone is made again before the rows are matched.
void BM_NumberFindAfterAnEdit(benchmark::State& state) {
  TSessionOnSink s;
  ReadEverything(s);
  TGrid& grid = s.Session->NumberGrid;
  TNumberFind find(grid);
  find.Find("1");
  int row = 1;
  for (auto _ : state) {
    grid.SetCell(kColNumber, row, std::to_string(4917012000 + row));
    benchmark::DoNotOptimize(find.Find("170 12").size());
    row = row % kNumberRows + 1;
  }
}
BENCHMARK(BM_NumberFindAfterAnEdit)->Unit(benchmark::kMicrosecond);

// ---- the number list's spreadsheet files ----

// The export and the checked import behind the buttons, on the full list a populated device holds.
struct TNumberFiles {
  TSessionOnSink S;
  TScratchDir Dir;
  explicit TNumberFiles(const std::string& folder = {}) : Dir(folder) { ReadEverything(S); }
  std::string File(const std::string& ext) const { return Dir.Path() + "/telinf" + ext; }
  bool Export(const std::string& file) {
    S.Operator.Files.push_back(file);
    ExportNumbersXls(S.Session->Context, S.Session->NumberGrid, Dir.Path());
    return S.Operator.ErrorCount == 0;
  }
  bool Import(const std::string& file) {
    const int messages = S.Operator.MessageCount;
    S.Operator.Files.push_back(file);
    ImportNumbersXls(S.Session->Context, S.Session->NumberGrid, Dir.Path());
    // A refused file shows a message; a loaded one shows none.
    return S.Operator.ErrorCount == 0 && S.Operator.MessageCount == messages;
  }
};

// Saving ends with the file and its folder flushed to the disk. On a slow disk that flush outweighs
// all the rest, so the files are also written to memory (/dev/shm), where it costs nothing.
constexpr const char* kMemoryFolder = "/dev/shm";

void BM_NumbersExport(benchmark::State& state, const char* ext, const char* folder) {
  TNumberFiles f(folder);
  const std::string file = f.File(ext);
  for (auto _ : state)
    if (!f.Export(file)) state.SkipWithError(f.S.Operator.LastError.c_str());
}
BENCHMARK_CAPTURE(BM_NumbersExport, xlsx, ".xlsx", "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NumbersExport, xlsx_in_memory, ".xlsx", kMemoryFolder)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NumbersExport, xls, ".xls", "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NumbersExport, xls_in_memory, ".xls", kMemoryFolder)->Unit(benchmark::kMillisecond);

void BM_NumbersImport(benchmark::State& state, const char* ext) {
  TNumberFiles f;
  const std::string file = f.File(ext);
  if (!f.Export(file)) state.SkipWithError(f.S.Operator.LastError.c_str());
  const TGrid exported = f.S.Session->NumberGrid;
  for (auto _ : state) {
    if (!f.Import(file)) {
      state.SkipWithError(("import refused: " + f.S.Operator.LastError + f.S.Operator.LastMessage).c_str());
      break;
    }
  }
  // What came back is what went out.
  for (int row = 1; row <= kNumberRows; ++row)
    for (int c = kColNumber; c <= kColAlways; ++c)
      if (f.S.Session->NumberGrid.Cell(c, row) != exported.Cell(c, row)) {
        state.SkipWithError("the imported list differs from the exported one");
        return;
      }
}
BENCHMARK_CAPTURE(BM_NumbersImport, xlsx, ".xlsx")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NumbersImport, xls, ".xls")->Unit(benchmark::kMillisecond);

// ---- a number list file merged into the grid by number ----

// A full grid of 3000 numbers and two files naming every one of them written another way ("0049" for
// "+49"), each with a window of its own: every merge updates all 3000 rows, and the next one takes
// them back, so no run finds its work done. The window's undo history records each merge.
struct TNumberMergeFiles {
  TSessionOnSink S;
  TScratchDir Dir;
  std::array<TNumberFile, 2> Files;
  std::array<std::vector<TNumberRowCheck>, 2> Checks;

  static std::string Number(std::string prefix, int row) {
    return prefix.append("49170").append(std::to_string(1000000 + row));
  }
  TNumberMergeFiles() {
    TGrid& grid = S.Session->NumberGrid;
    {
      TGridUpdate batch(grid);
      for (int row = 1; row <= kNumberRows; ++row) grid.SetCell(kColNumber, row, Number("+", row));
    }
    for (size_t f = 0; f < Files.size(); ++f) {
      for (int serial = 1; serial <= kNumberRows; ++serial)
        Files[f].Rows[static_cast<size_t>(serial)] = {Number("00", serial),
                                                      f ? "2025-01-01" : "2024-05-06",
                                                      "07:05",
                                                      "2025-12-31",
                                                      "18:00",
                                                      false,
                                                      false};
      TImportResult result;
      Checks[f] = CheckNumberFile(Files[f], result);
    }
  }
  // File f as "Export .XLS" or torvane's JSON writes it.
  std::string Write(size_t f, const std::string& ext) {
    TSessionOnSink source;
    TGrid& grid = source.Session->NumberGrid;
    {
      TGridUpdate batch(grid);
      for (int row = 1; row <= kNumberRows; ++row) {
        const TNumberFileRow& r = Files[f].Rows[static_cast<size_t>(row)];
        for (auto [col, text] : {std::pair{kColNumber, &r.Number}, std::pair{kColStartDate, &r.StartDate},
                                 std::pair{kColStartTime, &r.StartTime}, std::pair{kColEndDate, &r.EndDate},
                                 std::pair{kColEndTime, &r.EndTime}})
          grid.SetCell(col, row, *text);
      }
    }
    const std::string file = Dir.Path() + "/merge" + std::to_string(f) + ext;
    if (ext == ".json") {
      WriteFileAtomically(file, NumbersToJson(grid));
    } else {
      source.Operator.Files.push_back(file);
      ExportNumbersXls(source.Session->Context, grid, Dir.Path());
    }
    return file;
  }
};

void BM_NumbersMerge(benchmark::State& state) {
  TNumberMergeFiles m;
  TGrid& grid = m.S.Session->NumberGrid;
  size_t f = 0;
  for (auto _ : state) {
    TUndoStep step(m.S.Session->NumbersUndo);
    const TNumberMerge merge = MergeNumbers(grid, m.Files[f], m.Checks[f]);
    ApplyNumberMerge(grid, merge);
    if (merge.Counts.Updated != kNumberRows) {
      state.SkipWithError("the merge did not update every row");
      break;
    }
    f ^= 1;
  }
}
BENCHMARK(BM_NumbersMerge)->Unit(benchmark::kMillisecond);

// The whole of "Add from file…": the file read, judged and merged.
void BM_NumbersMergeFile(benchmark::State& state, const char* ext) {
  TNumberMergeFiles m;
  const std::array<std::string, 2> files{m.Write(0, ext), m.Write(1, ext)};
  TGrid& grid = m.S.Session->NumberGrid;
  size_t f = 0;
  for (auto _ : state) {
    TUndoStep step(m.S.Session->NumbersUndo);
    TNumberMergeCounts counts;
    const TImportResult result = MergeNumberListFile(files[f], grid, counts);
    if (!result.Loaded() || counts.Updated != kNumberRows) {
      state.SkipWithError(
          ("the file was not merged whole: " + result.FileError + result.RefusalText).c_str());
      break;
    }
    f ^= 1;
  }
}
BENCHMARK_CAPTURE(BM_NumbersMergeFile, xlsx, ".xlsx")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NumbersMergeFile, json, ".json")->Unit(benchmark::kMillisecond);

}  // namespace

// The full list as "Export .XLS" writes it, for the comparison with other spreadsheet libraries.
bool WriteNumberList(const std::string& file) {
  TNumberFiles f;
  return f.Export(file);
}

}  // namespace torvane::bench

// torvane-bench-core [Google Benchmark options]
// torvane-bench-core --write-number-list FILE.xlsx
int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--write-number-list")
    return torvane::bench::WriteNumberList(argv[2]) ? 0 : 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
