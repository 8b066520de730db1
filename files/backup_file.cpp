// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/backup_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <tuple>

#include "core/message.h"
#include "core/utf8_path.h"
#include "files/file_stamp.h"
#include "files/file_texts.h"
#include "files/safe_file.h"

namespace torvane {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[] = "Torvane Configurator backup";
constexpr int kFormat = 2;
constexpr int kPageBytes = 256;
// The largest table is the number list: 375 pages, about 200 KB of text.
constexpr size_t kMaxFileBytes = 1 << 20;
// What a folder's listing reads of each file: the header with room for the longest port name a system
// gives (a /dev/serial/by-id path runs to about 100 characters), never the pages.
constexpr size_t kHeaderBytes = 4096;
constexpr std::string_view kNoSim = "nosim";
// A phone number has at most 15 digits; a longer run is damage and would only stretch the name.
constexpr size_t kMaxSimDigits = 20;
constexpr size_t kCrcDigits = 8;

uint32_t Crc(const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
}

int PagesOf(std::string_view table) {
  if (table == "settings") return 3;
  if (table == "numbers") return 375;
  return 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A backup's lines one by one: a line ends in "\n" or "\r\n" (a file that went through a Windows
// editor), and the last one needs no end.
class TLines {
 public:
  explicit TLines(std::string_view text) : text_(text) {}
  std::optional<std::string_view> Next() {
    if (at_ >= text_.size()) return std::nullopt;
    size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view line = text_.substr(at_, end - at_);
    at_ = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

// "name: value" with exactly that name, or nothing. An empty value may have lost its space to an
// editor that trims the ends of lines.
std::optional<std::string_view> Field(std::optional<std::string_view> line, std::string_view name) {
  if (!line || !line->starts_with(name)) return std::nullopt;
  const std::string_view rest = line->substr(name.size());
  if (rest == ":") return rest.substr(1);
  if (!rest.starts_with(": ")) return std::nullopt;
  return rest.substr(2);
}

// `pattern` spells the stamp's form: 'd' is a digit, anything else stands for itself. sscanf's %d
// would let signs, spaces and short fields through.
bool ParseStamp(std::string_view text, std::string_view pattern, TDateTime& t) {
  if (text.size() != pattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (pattern[i] == 'd' ? !IsDigit(text[i]) : text[i] != pattern[i]) return false;
  auto number = [text](size_t at, size_t length) {
    int n = 0;
    for (size_t i = at; i < at + length; ++i) n = n * 10 + (text[i] - '0');
    return n;
  };
  t.Year = number(0, 4), t.Month = number(5, 2), t.Day = number(8, 2);
  t.Hour = number(11, 2), t.Minute = number(14, 2), t.Second = number(17, 2);
  return t.Year >= 1 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31 && t.Hour <= 23 &&
         t.Minute <= 59 && t.Second <= 59;
}

constexpr std::string_view kHeaderStamp = "dddd-dd-dd dd:dd:dd";
constexpr std::string_view kNameStamp = "dddd-dd-dd_dd-dd-dd";

// A line break in a field would end its line early and leave the file unreadable.
std::string OneLine(std::string text) {
  std::erase_if(text, [](char c) { return c == '\n' || c == '\r'; });
  return text;
}

struct THeader {
  TBackup Backup;  // without its pages
  std::string Crc;
};

bool ParseHeader(TLines& lines, THeader& header, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (lines.Next() != kMagic) return fail("it is no backup of this program");
  const auto format = Field(lines.Next(), "format");
  if (format != "1" && format != "2") return fail("its format is not one this program reads");
  TBackup& b = header.Backup;
  const auto table = Field(lines.Next(), "table");
  const auto pages = Field(lines.Next(), "pages");
  const auto taken = Field(lines.Next(), "taken");
  const auto port = Field(lines.Next(), "port");
  const auto sim = format == "1" ? std::optional<std::string_view>("") : Field(lines.Next(), "sim");
  const auto crc = Field(lines.Next(), "crc32");
  if (!table || !pages || !taken || !port || !sim || !crc) return fail("its header is damaged");
  b.Table = *table;
  b.PageCount = PagesOf(b.Table);
  if (b.PageCount == 0) return fail(FillText(kBackupUnknownTable, {b.Table}));
  if (*pages != std::to_string(b.PageCount)) return fail("its page count does not fit its table");
  if (!ParseStamp(*taken, kHeaderStamp, b.Taken)) return fail("its time stamp is damaged");
  if (crc->size() != kCrcDigits ||
      !std::all_of(crc->begin(), crc->end(), [](char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); }))
    return fail("its checksum is damaged");
  b.Port = *port;
  b.Sim = *sim;
  header.Crc = *crc;
  return true;
}

// The part of a backup's name after "<table>_" and before the extension, for ordering: the stamp,
// then the count of those taken in the same second. Empty when the name is not exactly a backup's:
// [<digits>_ | nosim_] yyyy-mm-dd_hh-mm-ss [_n, n >= 2].
std::optional<std::pair<std::string, int>> NameKey(std::string_view name, std::string_view table) {
  const std::string_view extension = kBackupExtension;
  if (name.size() < table.size() + 1 + extension.size() || name.substr(0, table.size()) != table ||
      name[table.size()] != '_' || name.substr(name.size() - extension.size()) != extension)
    return std::nullopt;
  std::string_view rest = name.substr(table.size() + 1, name.size() - table.size() - 1 - extension.size());
  const size_t digits = std::find_if_not(rest.begin(), rest.end(), IsDigit) - rest.begin();
  const size_t simLength = rest.starts_with(kNoSim) ? kNoSim.size() : digits;
  if (simLength > 0 && simLength < rest.size() && rest[simLength] == '_') rest.remove_prefix(simLength + 1);
  TDateTime t;
  if (rest.size() < kNameStamp.size() || !ParseStamp(rest.substr(0, kNameStamp.size()), kNameStamp, t))
    return std::nullopt;
  const std::string_view stamp = rest.substr(0, kNameStamp.size());
  rest.remove_prefix(kNameStamp.size());
  if (rest.empty()) return std::pair{std::string(stamp), 1};
  // Nine digits at most keep the count in an int; no backups are taken a billion to the second.
  if (rest.size() < 2 || rest.size() > 10 || rest[0] != '_' || rest[1] == '0' ||
      !std::all_of(rest.begin() + 1, rest.end(), IsDigit))
    return std::nullopt;
  const int count = std::stoi(std::string(rest.substr(1)));
  if (count < 2) return std::nullopt;
  return std::pair{std::string(stamp), count};
}

bool HeaderNames(const std::string& path, const std::string& table) {
  std::string start;
  try {
    start = ReadFileStart(path, kHeaderBytes);
  } catch (const EFileError&) {
    return false;
  }
  TLines lines(start);
  THeader header;
  return ParseHeader(lines, header, nullptr) && header.Backup.Table == table;
}

struct TFound {
  fs::file_time_type Modified;
  std::pair<std::string, int> Key;
  std::string Path;
};

// The backups of `table` in `folder`, newest first by modification time; the name's stamp decides
// only between files of one moment (two taken within the file system's clock tick).
std::vector<TFound> Scan(const std::string& folder, const std::string& table) {
  std::vector<TFound> found;
  std::error_code ec;
  for (fs::directory_iterator it(PathFromUtf8(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const auto key = NameKey(PathToUtf8(it->path().filename()), table);
    std::error_code fileEc;
    if (!key || !it->is_regular_file(fileEc)) continue;
    const fs::file_time_type modified = it->last_write_time(fileEc);
    const std::string path = PathToUtf8(it->path());
    if (fileEc || !HeaderNames(path, table)) continue;
    try {
      // Backups written before they were private are narrowed when they are met.
      NarrowToPrivate(path);
    } catch (const EFileError&) {
      // The listing is wanted all the same; the file keeps the rights it had.
    }
    found.push_back({modified, *key, path});
  }
  std::sort(found.begin(), found.end(), [](const TFound& a, const TFound& b) {
    return std::tie(a.Modified, a.Key, a.Path) > std::tie(b.Modified, b.Key, b.Path);
  });
  return found;
}

std::string SimPart(const std::string& sim) {
  std::string digits;
  for (char c : sim)
    if (IsDigit(c) && digits.size() < kMaxSimDigits) digits += c;
  return digits.empty() ? std::string(kNoSim) : digits;
}

}  // namespace

std::string BackupStamp(const TDateTime& t) {
  return DateTimeText(t);
}

std::string FormatBackup(const TBackup& b) {
  std::ostringstream out;
  const std::string stamp = BackupStamp(b.Taken);
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08x", Crc(b.Pages));
  out << kMagic << "\nformat: " << kFormat << "\ntable: " << b.Table << "\npages: " << b.PageCount
      << "\ntaken: " << stamp << "\nport: " << OneLine(b.Port) << "\nsim: " << OneLine(b.Sim)
      << "\ncrc32: " << crc << "\n";
  static const char kHex[] = "0123456789abcdef";
  for (int p = 0; p < b.PageCount; ++p) {
    out << "page " << p + 1 << ": ";
    for (int i = 0; i < kPageBytes; ++i) {
      const uint8_t v = b.Pages[static_cast<size_t>(p) * kPageBytes + i];
      out << kHex[v >> 4] << kHex[v & 15];
    }
    out << "\n";
  }
  return out.str();
}

std::optional<TBackup> ParseBackup(std::string_view text, std::string* error) {
  auto fail = [error](const std::string& why) -> std::optional<TBackup> {
    if (error) *error = why;
    return std::nullopt;
  };
  TLines lines(text);
  THeader header;
  if (!ParseHeader(lines, header, error)) return std::nullopt;
  TBackup& b = header.Backup;
  b.Pages.reserve(static_cast<size_t>(b.PageCount) * kPageBytes);
  for (int p = 0; p < b.PageCount; ++p) {
    const auto line = lines.Next();
    if (!line) return fail("it is cut short");
    const auto hex = Field(line, "page " + std::to_string(p + 1));
    if (!hex || hex->size() != 2 * kPageBytes)
      return fail(FillText(kBackupPageDamaged, {std::to_string(p + 1)}));
    for (int i = 0; i < kPageBytes; ++i) {
      const int hi = HexDigit((*hex)[2 * i]), lo = HexDigit((*hex)[2 * i + 1]);
      if (hi < 0 || lo < 0) return fail(FillText(kBackupPageDamaged, {std::to_string(p + 1)}));
      b.Pages.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
  }
  char want[16];
  std::snprintf(want, sizeof want, "%08x", Crc(b.Pages));
  if (header.Crc != want) return fail("its pages do not match their checksum");
  return std::move(b);
}

std::string KeepBackup(const std::string& folder, const TBackup& backup, int keep) {
  const size_t bytes = static_cast<size_t>(std::max(backup.PageCount, 0)) * kPageBytes;
  if (PagesOf(backup.Table) != backup.PageCount || backup.Pages.size() != bytes)
    throw EFileError(EFileError::TAction::Save, folder, FillText(kBackupPagesShort, {backup.Table}));
  EnsurePrivateFolder(folder);
  const std::string text = FormatBackup(backup);
  const std::string base =
      PathToUtf8(PathFromUtf8(folder) /
                 PathFromUtf8(backup.Table + "_" + SimPart(backup.Sim) + "_" + FileNameStamp(backup.Taken)));
  // Another program may be saving into this folder in the same second: whoever creates a name first
  // has it, the other moves on to the next count, and neither renames over the other's file.
  std::string path = base + kBackupExtension;
  for (int n = 2; !ReservePrivateFile(path); ++n) path = base + "_" + std::to_string(n) + kBackupExtension;
  try {
    WriteFileAtomically(path, text, TFileAccess::Private);
  } catch (const EFileError&) {
    std::error_code ec;
    fs::remove(PathFromUtf8(path), ec);  // the empty name reserved above; it would never read as a backup
    throw;
  }

  // The one just written counts among those kept wherever its time puts it, so that a folder of files
  // from a clock once ahead cannot push it out.
  const fs::path written = PathFromUtf8(path).filename();
  int kept = 1;
  for (const TFound& f : Scan(folder, backup.Table)) {
    if (PathFromUtf8(f.Path).filename() == written) continue;
    if (kept < keep) {
      ++kept;
      continue;
    }
    std::error_code ec;
    fs::remove(PathFromUtf8(f.Path), ec);
  }
  return path;
}

TBackup LoadBackup(const std::string& path) {
  const std::string text = ReadWholeFile(path, kMaxFileBytes);
  std::string why;
  std::optional<TBackup> b = ParseBackup(text, &why);
  if (!b) throw EFileError(EFileError::TAction::Open, path, why);
  return *b;
}

std::vector<std::string> BackupsOf(const std::string& folder, const std::string& table) {
  std::vector<std::string> paths;
  for (TFound& f : Scan(folder, table)) paths.push_back(std::move(f.Path));
  return paths;
}

}  // namespace torvane
