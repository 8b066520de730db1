// SPDX-License-Identifier: GPL-3.0-or-later
// The backup reader fed arbitrary text (no files). Properties: a text it takes holds every page of its
// table; and what it took, written again, reads back as the same backup and writes the very same
// text, so restoring a backup and keeping it again never drifts it.
#include <string>
#include <string_view>

#include "files/backup_file.h"
#include "fuzz/fuzz_util.h"

using namespace torvane;
using torvane::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string why;
  const auto backup = ParseBackup(text, &why);
  if (!backup) {
    Require(!why.empty(), "a refused backup names no reason");
    return 0;
  }
  Require(backup->PageCount > 0 && backup->Pages.size() == static_cast<size_t>(backup->PageCount) * 256,
          "a backup taken does not fill its table");
  const std::string written = FormatBackup(*backup);
  const auto again = ParseBackup(written, &why);
  Require(again.has_value(), "a backup written again does not read");
  Require(again->Table == backup->Table && again->Pages == backup->Pages, "a backup written again drifts");
  const TDateTime& a = backup->Taken;
  const TDateTime& b = again->Taken;
  Require(a.Year == b.Year && a.Month == b.Month && a.Day == b.Day && a.Hour == b.Hour &&
              a.Minute == b.Minute && a.Second == b.Second,
          "a backup's time drifts");
  Require(FormatBackup(*again) == written, "a backup written twice writes different text");
  return 0;
}
