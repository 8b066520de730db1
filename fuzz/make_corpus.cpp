// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed corpora of the fuzz targets: reply streams as the virtual device answers each kind
// of exchange, real settings, number and history pages from a populated device memory, workbooks
// written by the program's own spreadsheet writers, the two tables' JSON documents, and backups of
// both tables as the program keeps them (format 2), as older programs kept them (format 1) and as
// they come back through Windows (CRLF).
//
//   fuzz_make_corpus DIR    makes DIR/<target>/ for every target
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "device/device_memory.h"
#include "files/backup_file.h"
#include "files/spreadsheet.h"
#include "numbers/number_json.h"
#include "numbers/telephone_send.h"
#include "settings/basic_inf.h"
#include "settings/settings_json.h"
#include "support/fakes.h"

namespace fs = std::filesystem;
using namespace torvane;
using torvane::testing::MakeFrame;
using TBytes = std::vector<uint8_t>;

namespace {

fs::path root;

void Put(const std::string& target, const std::string& name, const TBytes& bytes) {
  fs::create_directories(root / target);
  std::ofstream out(root / target / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TBytes Slice(const uint8_t* data, size_t n) {
  return TBytes(data, data + n);
}

void Append(TBytes& to, const TBytes& more) {
  to.insert(to.end(), more.begin(), more.end());
}

void ReceiveSeeds(const device::TDeviceMemory& m) {
  auto stream = [](uint8_t scenario, uint8_t flags, const std::vector<TBytes>& frames) {
    TBytes s{scenario, flags};
    for (const TBytes& f : frames) Append(s, f);
    return s;
  };
  const TBytes page1 = Slice(m.Settings.data(), 256);
  const TBytes page2 = Slice(m.Settings.data() + 256, 256);
  const TBytes page3 = Slice(m.Settings.data() + 512, 256);
  const TBytes ok{1}, refused{0};
  Put("receive", "login", stream(1, 0, {MakeFrame(131, 0, page1)}));
  Put("receive", "settings_read",
      stream(2, 0, {MakeFrame(131, 0, page1), MakeFrame(131, 0x100, page2), MakeFrame(131, 0x200, page3)}));
  Put("receive", "settings_save",
      stream(3, 0, {MakeFrame(130, 0, ok), MakeFrame(130, 0x100, ok), MakeFrame(130, 0x200, ok)}));
  Put("receive", "settings_refused", stream(3, 0, {MakeFrame(130, 0, ok), MakeFrame(130, 0x100, refused)}));
  std::vector<TBytes> numbers, saves, history;
  for (int p = 0; p < 4; ++p) {
    numbers.push_back(MakeFrame(131, 0x1000 + p * 0x100, Slice(m.Numbers.data() + p * 256, 256)));
    saves.push_back(MakeFrame(130, 0x1000 + p * 0x100, ok));
    history.push_back(MakeFrame(131, 0x30000 + p * 0x100, Slice(m.History.data() + p * 256, 256)));
  }
  Put("receive", "numbers_read", stream(4, 0, numbers));
  Put("receive", "numbers_save", stream(5, 0, saves));
  Put("receive", "history_read", stream(6, 0, history));
  Put("receive", "history_read_blocks", stream(6, 1, history));
  Put("receive", "time_sync", stream(7, 0, {MakeFrame(3, 0, ok)}));
  Put("receive", "check_mode", stream(8, 0, {MakeFrame(4, 0, ok)}));
  Put("receive", "delete_history", stream(9, 0, {MakeFrame(133, 0, ok)}));
  Put("receive", "undefined", stream(0, 0, {MakeFrame(7, 0, ok), MakeFrame(130, 0x30000, ok)}));
  TBytes bad = MakeFrame(131, 0, page1);
  bad.back() ^= 0x55;
  TBytes noisy{0x00, 0xFF, 0x42};
  Append(noisy, MakeFrame(3, 0, ok));
  Put("receive", "bad_checksum", stream(2, 0, {bad, MakeFrame(131, 0, page1)}));
  Put("receive", "noise", stream(7, 0, {noisy}));
  TBytes cut = MakeFrame(131, 0x1000, Slice(m.Numbers.data(), 256));
  cut.resize(cut.size() / 2);
  Put("receive", "cut_then_timeout", stream(4, 2, {cut, {0xA5}, numbers[0]}));
  Put("receive", "oversize", stream(4, 0, {{0x23, 131, 0, 0, 0x10, 0, 0x01, 0x2C}, numbers[0]}));
}

void PageSeeds(const device::TDeviceMemory& m) {
  Put("settings_page", "factory", Slice(m.Settings.data(), m.Settings.size()));
  device::TDeviceMemory texts = m;
  // Code-page texts with two-byte units, one of them cut by a field's end.
  for (int i = 0; i < 40; ++i) texts.Settings[0x40 + i] = static_cast<uint8_t>(i % 2 ? 0xD6 : 0xD0);
  Put("settings_page", "texts", Slice(texts.Settings.data(), texts.Settings.size()));
  for (int p : {0, 1, 2, 100, 374})
    Put("number_page", "page" + std::to_string(p + 1), Slice(m.Numbers.data() + p * 256, 256));
  TBytes always(256, 0xFF);
  for (int i = 0; i < 32; ++i) always[i] = i < 11 ? '1' : (i < 22 ? 0 : 0x63);
  always[30] = 0;
  Put("number_page", "always", always);
  for (int p : {0, 1, 2, 3, 250, 499}) {
    TBytes s{static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p), 2, 0};
    Append(s, Slice(m.History.data() + p * 256, 256));
    Put("history_page", "page" + std::to_string(p + 1), s);
  }
}

void SheetSeeds() {
  TSheet sheet;
  const char* heads[] = {"Serial",   "Phone number", "Start date", "Start time",
                         "End date", "End time",     "Always(V)",  "Delete(V)"};
  for (int c = 0; c < 8; ++c) sheet.SetText(1, c + 1, heads[c]);
  const uint16_t date = sheet.AddFormat("yyyy-mm-dd");
  const uint16_t time = sheet.AddFormat("h:mm");
  for (int r = 2; r <= 12; ++r) {
    sheet.SetText(r, 1, std::to_string(r - 1));
    sheet.SetText(r, 2, "+8613800138" + std::to_string(r));
    TCell& d = sheet.At(r, 3);
    d.Kind = TCellKind::Number, d.Number = 45000 + r, d.Format = date;
    TCell& t = sheet.At(r, 4);
    t.Kind = TCellKind::Number, t.Number = 0.25 + r / 100.0, t.Format = time;
    sheet.SetText(r, 5, "2026/12/31");
    sheet.SetText(r, 6, "23:59");
    sheet.SetText(r, 7, r % 2 ? "yes" : "no");
    TCell& b = sheet.At(r, 8);
    b.Kind = TCellKind::Boolean, b.Number = r % 3 == 0;
  }
  sheet.SetText(14, 2, "报警 texte à coder");
  sheet.SetColumnWidth(2, 18);
  const fs::path tmp = fs::temp_directory_path() / ("torvane-corpus-" + std::to_string(::getpid()));
  fs::create_directories(tmp);
  for (const char* ext : {"xlsx", "xls"}) {
    const fs::path file = tmp / (std::string("numbers.") + ext);
    (std::string(ext) == "xls" ? WriteXlsFile : WriteXlsxFile)(sheet, file.string());
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Put(ext, "numbers", TBytes(bytes.begin(), bytes.end()));
    TSheet small;
    small.SetText(1, 1, "Parameter");
    small.SetText(2, 3, "6853");
    const fs::path smallFile = tmp / (std::string("small.") + ext);
    (std::string(ext) == "xls" ? WriteXlsFile : WriteXlsxFile)(small, smallFile.string());
    std::ifstream in2(smallFile, std::ios::binary);
    const std::string b2((std::istreambuf_iterator<char>(in2)), std::istreambuf_iterator<char>());
    Put(ext, "small", TBytes(b2.begin(), b2.end()));
  }
  fs::remove_all(tmp);
}

void BackupSeeds(const device::TDeviceMemory& m) {
  auto put = [](const std::string& name, const std::string& text) {
    Put("backup", name, TBytes(text.begin(), text.end()));
  };
  auto crlf = [](const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  };
  const TBackup backups[] = {
      {.Table = "settings",
       .PageCount = 3,
       .Taken = {2026, 12, 9, 14, 3, 22},
       .Port = "/dev/ttyUSB0",
       .Sim = "+8613912345678",
       .Pages = Slice(m.Settings.data(), m.Settings.size())},
      {.Table = "numbers",
       .PageCount = 375,
       .Taken = {2026, 12, 9, 14, 3, 22},
       .Port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
       .Sim = "",
       .Pages = m.Numbers},
  };
  for (const TBackup& b : backups) {
    const std::string two = FormatBackup(b);
    std::string one = two;
    one.replace(one.find("format: 2"), 9, "format: 1");
    const size_t sim = one.find("sim: ");
    one.erase(sim, one.find('\n', sim) + 1 - sim);
    put(b.Table + "_format2", two);
    put(b.Table + "_format1", one);
    put(b.Table + "_crlf", crlf(two));
  }
}

void PutText(const std::string& target, const std::string& name, const std::string& text) {
  Put(target, name, TBytes(text.begin(), text.end()));
}

// JSON documents as the program writes them, and as people write them by hand: numbers with blanks
// and dashes, dates with slashes, indexes beside their items, texts beyond ASCII.
void JsonSeeds(const device::TDeviceMemory& m) {
  TGrid settings(3, kSettingsRowCount);
  TSettingsLists lists;
  SetUpSettingsGrid(settings, lists);
  PutText("settings_json", "factory", SettingsToJson(settings, lists));
  settings.SetCell(kContentCol, kSimNumberRow, "+49 (170) 123-45.67");
  settings.SetCell(kContentCol, 5, "Дверь открыта");
  settings.SetCell(kContentCol, 7, "010");
  settings.SetCell(kContentCol, 24, std::string(63, 'c') + std::string(1, '\0'));
  lists.SetItemIndex(lists.NotifyOn, -1);
  PutText("settings_json", "edited", SettingsToJson(settings, lists));
  PutText("settings_json", "index_only",
          R"({"format":"torvane-settings","version":1,"parameters":[{"number":3,"value":"0:NC ","index":0},)"
          R"({"number":4,"value":"7","index":4294967297}]})");

  TGrid numbers(kNumberColCount, kNumberRows + 1);
  SetUpNumberGrid(numbers);
  for (int page = 1; page <= 4; ++page) DecodeNumberPage(numbers, page, m.Numbers.data() + (page - 1) * 256);
  PutText("numbers_json", "device", NumbersToJson(numbers));
  PutText("numbers_json", "by_hand",
          R"({"format":"torvane-numbers","version":1,"numbers":[)"
          R"({"serial":1,"number":"+49 170 1234567","start":"2024/05/06 07:05","end":"2024/06/30 18:00"},)"
          R"({"serial":2,"number":"(030) 123-45","always":true},)"
          R"({"serial":3000,"number":"","delete":true}]})");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_make_corpus DIR\n";
    return 2;
  }
  root = argv[1];
  device::TDeviceMemory m = device::TDeviceMemory::Factory();
  device::Populate(m, 3000, 1000, 7);
  ReceiveSeeds(m);
  PageSeeds(m);
  SheetSeeds();
  BackupSeeds(m);
  JsonSeeds(m);
  return 0;
}
