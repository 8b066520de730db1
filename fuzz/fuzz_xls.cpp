// SPDX-License-Identifier: GPL-3.0-or-later
// The .xls reader fed arbitrary files. The reader takes a file name (the library opens the file
// itself), so each input goes through a file of this process's own. A broken file must end in
// ESpreadsheetError; any other exception, crash or sanitizer report is a finding.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/spreadsheet.h"
#include "fuzz/sheet_walk.h"

using namespace torvane;

namespace {

const std::string& InputPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/torvane-fuzz-" + std::to_string(getpid()) + ".xls";
  }();
  // Removed again when the run ends.
  static const struct TRemoveAtExit {
    ~TRemoveAtExit() { std::remove(path.c_str()); }
  } remover;
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Every input is taken as an .xls: the compound-document signature leads the way.
  static const unsigned char kCompound[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  FILE* f = std::fopen(InputPath().c_str(), "wb");
  if (!f) return 0;
  if (size < 8 || std::memcmp(data, kCompound, 8) != 0) std::fwrite(kCompound, 1, 8, f);
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  try {
    std::unique_ptr<TSheet> sheet = ReadWorkbookFile(InputPath());
    fuzz::WalkSheet(*sheet);
  } catch (const ESpreadsheetError&) {
  }
  return 0;
}
