#include "files/backup_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "files/file_stamp.h"
#include "files/safe_file.h"

namespace torvane {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[] = "Torvane Configurator backup";
constexpr int kFormat = 1;
constexpr int kPageBytes = 256;
// The largest table is the number list: 375 pages, about 200 KB of text.
constexpr size_t kMaxFileBytes = 1 << 20;

uint32_t Crc(const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
}

int PagesOf(const std::string& table) {
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

// "name: value" with exactly that name, or nothing.
std::optional<std::string> Field(const std::string& line, const std::string& name) {
  const std::string head = name + ": ";
  if (line.compare(0, head.size(), head) != 0) return std::nullopt;
  return line.substr(head.size());
}

bool ParseStamp(const std::string& text, TDateTime& t) {
  char end = 0;
  return std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.Year, &t.Month, &t.Day, &t.Hour, &t.Minute,
                     &t.Second, &end) == 6 &&
         t.Year >= 1 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31 && t.Hour >= 0 &&
         t.Hour <= 23 && t.Minute >= 0 && t.Minute <= 59 && t.Second >= 0 && t.Second <= 59;
}

// The part of a backup's file name after its table, for ordering: the stamp, then the count of those
// taken in the same second.
std::pair<std::string, int> OrderKey(const std::string& name, const std::string& table) {
  std::string rest =
      name.substr(table.size() + 1, name.size() - table.size() - 1 - (sizeof kBackupExtension - 1));
  // The stamp is "yyyy-mm-dd_hh-mm-ss": 19 characters, then perhaps "_n".
  constexpr size_t kStampLength = 19;
  int count = 1;
  if (rest.size() > kStampLength + 1 && rest[kStampLength] == '_') {
    count = std::atoi(rest.c_str() + kStampLength + 1);
    rest.resize(kStampLength);
  }
  return {rest, count};
}

}  // namespace

std::string FormatBackup(const TBackup& b) {
  std::ostringstream out;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", b.Taken.Year, b.Taken.Month,
                b.Taken.Day, b.Taken.Hour, b.Taken.Minute, b.Taken.Second);
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08x", Crc(b.Pages));
  out << kMagic << "\nformat: " << kFormat << "\ntable: " << b.Table << "\npages: " << b.PageCount
      << "\ntaken: " << stamp << "\nport: " << b.Port << "\ncrc32: " << crc << "\n";
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
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    lines.emplace_back(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  if (lines.size() < 7 || lines[0] != kMagic) return fail("it is no backup of this program");
  if (Field(lines[1], "format") != std::to_string(kFormat))
    return fail("its format is not one this program reads");
  TBackup b;
  const auto table = Field(lines[2], "table");
  const auto pages = Field(lines[3], "pages");
  const auto taken = Field(lines[4], "taken");
  const auto port = Field(lines[5], "port");
  const auto crc = Field(lines[6], "crc32");
  if (!table || !pages || !taken || !port || !crc) return fail("its header is damaged");
  b.Table = *table;
  b.PageCount = PagesOf(b.Table);
  if (b.PageCount == 0) return fail("it names no table this program knows (\"" + b.Table + "\")");
  if (*pages != std::to_string(b.PageCount)) return fail("its page count does not fit its table");
  if (!ParseStamp(*taken, b.Taken)) return fail("its time stamp is damaged");
  b.Port = *port;
  if (lines.size() < 7 + static_cast<size_t>(b.PageCount)) return fail("it is cut short");
  b.Pages.reserve(static_cast<size_t>(b.PageCount) * kPageBytes);
  for (int p = 0; p < b.PageCount; ++p) {
    const auto hex = Field(lines[7 + p], "page " + std::to_string(p + 1));
    if (!hex || hex->size() != 2 * kPageBytes) return fail("page " + std::to_string(p + 1) + " is damaged");
    for (int i = 0; i < kPageBytes; ++i) {
      const int hi = HexDigit((*hex)[2 * i]), lo = HexDigit((*hex)[2 * i + 1]);
      if (hi < 0 || lo < 0) return fail("page " + std::to_string(p + 1) + " is damaged");
      b.Pages.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
  }
  char want[16];
  std::snprintf(want, sizeof want, "%08x", Crc(b.Pages));
  if (*crc != want) return fail("its pages do not match their checksum");
  return b;
}

std::string KeepBackup(const std::string& folder, const TBackup& backup, int keep) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw EFileError(EFileError::TAction::Save, folder, ec.message());
  const std::string base = (fs::path(folder) / (backup.Table + "_" + FileNameStamp(backup.Taken))).string();
  std::string path = base + kBackupExtension;
  for (int n = 2; fs::exists(path, ec); ++n) path = base + "_" + std::to_string(n) + kBackupExtension;
  WriteFileAtomically(path, FormatBackup(backup));

  const std::vector<std::string> all = BackupsOf(folder, backup.Table);
  for (size_t i = static_cast<size_t>(std::max(keep, 1)); i < all.size(); ++i) fs::remove(all[i], ec);
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
  std::vector<std::pair<std::pair<std::string, int>, std::string>> found;
  std::error_code ec;
  const std::string prefix = table + "_";
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() + sizeof kBackupExtension - 1 ||
        name.compare(0, prefix.size(), prefix) != 0)
      continue;
    if (name.compare(name.size() - (sizeof kBackupExtension - 1), std::string::npos, kBackupExtension) != 0)
      continue;
    found.push_back({OrderKey(name, table), it->path().string()});
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> paths;
  for (auto& f : found) paths.push_back(std::move(f.second));
  return paths;
}

}  // namespace torvane
