// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Temporary folders and the independent Python readers for the spreadsheet tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>

namespace torvane::testing {

// The independent readers are the Linux host's Python (openpyxl, xlrd, xlwt); a Windows test program
// under wine cannot start them, and the cases that need them are skipped there.
#ifndef TORVANE_ON_WINDOWS
#define TORVANE_ON_WINDOWS 0
#endif
#ifndef TORVANE_INDEPENDENT_READERS
#define TORVANE_INDEPENDENT_READERS 1
#endif
#define TORVANE_SKIP_WITHOUT_READERS() \
  if (!TORVANE_INDEPENDENT_READERS) GTEST_SKIP() << "the independent readers are the Linux host's Python"

class TTempDir {
 public:
  TTempDir() {
    static int made = 0;
    const auto base = std::filesystem::temp_directory_path();
    for (int i = 0; i < 1000 && path_.empty(); ++i) {
      const auto candidate =
          base / ("torvane-sheet-" + std::to_string(std::random_device{}()) + "-" + std::to_string(++made));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) path_ = candidate.generic_string();
    }
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string FixtureScript() {
  return std::string(TORVANE_FIXTURES) + "/spreadsheet_fixtures.py";
}

// Runs the fixture script; its standard output, and whether it succeeded.
inline std::pair<bool, std::string> RunFixtureScript(const std::string& command, const std::string& target) {
#if !TORVANE_INDEPENDENT_READERS
  return {false, "no independent readers here: " + command + " " + target};
#else
  std::string line = "/usr/bin/python3 '" + FixtureScript() + "' " + command + " '" + target + "' 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) return {false, "popen failed"};
  std::string output;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  int status = pclose(pipe);
  return {status == 0, output};
#endif
}

inline std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

// A sheet as an independent reader saw it.
struct TForeignCell {
  std::string Type, Format, Value;
};
struct TForeignSheet {
  std::map<std::pair<int, int>, TForeignCell> Cells;
  std::map<int, double> Widths;
};

inline TForeignSheet ParseForeign(const std::string& output) {
  TForeignSheet sheet;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    if (fields[0] == "C" && fields.size() == 6)
      sheet.Cells[{std::stoi(fields[1]), std::stoi(fields[2])}] = {fields[3], Unescape(fields[4]),
                                                                   Unescape(fields[5])};
    else if (fields[0] == "W" && fields.size() == 3)
      sheet.Widths[std::stoi(fields[1])] = std::stod(fields[2]);
  }
  return sheet;
}

}  // namespace torvane::testing
