// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/status.h"

#include <gtest/gtest.h>

#include "core/timer.h"

namespace torvane {
namespace {

struct FakeStatusView : IStatusView {
  std::string text;
  bool visible = true;
  int position = 0;
  void SetStatusText(const std::string& t) override { text = t; }
  void SetProgressVisible(bool v) override { visible = v; }
  void SetProgressPosition(int p) override { position = p; }
};

TEST(StatusHelper, ClearTimerIsArmedByTheFirstTextAndNotRestartedByLaterOnes) {
  TManualClock clock;
  FakeStatusView view;
  auto timer = clock.CreateTimer(3000);
  Tstatusbar_ctrl status(view, *timer);
  int expiries = 0;
  timer->OnTimer = [&] {
    ++expiries;
    status.ShowStatus("");
    timer->Stop();
  };
  status.ShowStatus("first");
  clock.Advance(2900);
  status.ShowStatus("second");
  EXPECT_EQ(view.text, "second");
  clock.Advance(99);
  EXPECT_EQ(view.text, "second");
  clock.Advance(1);  // 3000 ms after the first text, not after the second
  EXPECT_EQ(view.text, "");
  EXPECT_EQ(expiries, 1);
  status.ShowStatus("again");  // a stopped timer starts a fresh period
  clock.Advance(2999);
  EXPECT_EQ(view.text, "again");
  clock.Advance(1);
  EXPECT_EQ(view.text, "");
}

TEST(ProgressHelper, ZeroKeepsHiddenMiddleShowsHundredHidesAndAboveIsFull) {
  FakeStatusView view;
  view.visible = false;
  Tprogressbar_ctrl progress(view);
  progress.SetProgress(0);
  EXPECT_FALSE(view.visible);
  progress.SetProgress(50);
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(view.position, 50);
  progress.SetProgress(100);
  EXPECT_FALSE(view.visible);
  progress.SetProgress(150);  // the third settings page
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(view.position, 100);
}

}  // namespace
}  // namespace torvane
