// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What torvane prints. Messages (the window's own texts where there is one) go to standard error, one
// line each, with the port in front when several devices run; --quiet keeps only the errors. Result
// lines go to standard output, plain or (--json) one JSON object each. While standard error is a
// terminal, each device has a progress bar there, redrawn at most ten times a second.
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace torvane::cli {

class TCliOutput {
 public:
  TCliOutput(bool quiet, bool json, bool bars, std::FILE* out = stdout, std::FILE* err = stderr);

  bool Json() const { return json_; }
  bool Quiet() const { return quiet_; }
  // Messages name their port when more than one device runs.
  void SetPortsNamed(bool named) { portsNamed_ = named; }

  void Info(const std::string& port, const std::string& text);
  void Error(const std::string& port, const std::string& text);
  // One result line: `plain` as it is, or `object` as JSON. False when standard output is gone.
  bool Result(const std::string& plain, const nlohmann::ordered_json& object);
  // Data for standard output as it is (a JSON document of `read -o -`).
  bool Data(const std::string& text);

  // ---- progress bars ----
  int AddBar(const std::string& port);
  void SetBarText(int bar, const std::string& text);
  void SetBarVisible(int bar, bool visible);
  void SetBarPosition(int bar, int percent);
  // The bar's last state, drawn now; the bars are drawn no more afterwards.
  void EndBars();

 private:
  struct TBar {
    std::string Port, Text;
    int Percent = 0;
    bool Visible = false;
  };
  void Line(const std::string& port, const std::string& text);
  void Changed();
  void Erase();
  void Draw();

  bool quiet_, json_, bars_;
  std::FILE* out_;
  std::FILE* err_;
  bool portsNamed_ = false;
  std::vector<TBar> barList_;
  int drawn_ = 0;  // lines of bars on the terminal now
  std::chrono::steady_clock::time_point lastDraw_{};
};

// A message box's text as one line: its line ends become spaces.
std::string OneLine(const std::string& text);

}  // namespace torvane::cli
