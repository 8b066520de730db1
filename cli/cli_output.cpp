// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_output.h"

#include <algorithm>

namespace torvane::cli {

namespace {
constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;
}  // namespace

std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
      continue;
    }
    line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

TCliOutput::TCliOutput(bool quiet, bool json, bool bars, std::FILE* out, std::FILE* err)
    : quiet_(quiet), json_(json), bars_(bars && !quiet), out_(out), err_(err) {}

void TCliOutput::Line(const std::string& port, const std::string& text) {
  Erase();
  std::fprintf(err_, "%s%s\n", portsNamed_ && !port.empty() ? (port + ": ").c_str() : "",
               OneLine(text).c_str());
  Draw();
  std::fflush(err_);
}

void TCliOutput::Info(const std::string& port, const std::string& text) {
  if (!quiet_) Line(port, text);
}

void TCliOutput::Error(const std::string& port, const std::string& text) {
  Line(port, text);
}

bool TCliOutput::Result(const std::string& plain, const nlohmann::ordered_json& object) {
  return Data(
      (json_ ? object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) : plain) + "\n");
}

bool TCliOutput::Data(const std::string& text) {
  Erase();
  const bool ok = std::fwrite(text.data(), 1, text.size(), out_) == text.size() && std::fflush(out_) == 0;
  Draw();
  return ok;
}

int TCliOutput::AddBar(const std::string& port) {
  barList_.push_back({port, "", 0, false});
  return static_cast<int>(barList_.size()) - 1;
}

void TCliOutput::SetBarText(int bar, const std::string& text) {
  if (barList_[bar].Text == text) return;
  barList_[bar].Text = text;
  Changed();
}

void TCliOutput::SetBarVisible(int bar, bool visible) {
  if (barList_[bar].Visible == visible) return;
  barList_[bar].Visible = visible;
  Changed();
}

void TCliOutput::SetBarPosition(int bar, int percent) {
  percent = std::clamp(percent, 0, 100);
  if (barList_[bar].Percent == percent) return;
  barList_[bar].Percent = percent;
  Changed();
}

void TCliOutput::EndBars() {
  Erase();
  bars_ = false;
}

void TCliOutput::Changed() {
  if (!bars_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < kRedraw) return;
  Erase();
  Draw();
  std::fflush(err_);
}

void TCliOutput::Erase() {
  if (drawn_ == 0) return;
  // Back to the first bar's line, and everything below it cleared.
  std::fprintf(err_, "\x1b[%dF\x1b[J", drawn_);
  drawn_ = 0;
}

void TCliOutput::Draw() {
  if (!bars_) return;
  lastDraw_ = std::chrono::steady_clock::now();
  for (const TBar& b : barList_) {
    const int filled = b.Visible ? b.Percent * kBarWidth / 100 : 0;
    std::fprintf(err_, "%-12s [%s%s] %3d%% %s\n", b.Port.c_str(), std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), b.Visible ? b.Percent : 0,
                 OneLine(b.Text).substr(0, 40).c_str());
    ++drawn_;
  }
}

}  // namespace torvane::cli
