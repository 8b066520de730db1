// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A window of its own for each test, on the offscreen platform: a temporary program folder that also
// holds its options, the fake operator, the manual reply timer and a fixed wall clock.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "support/fakes.h"
#include "support/qt_app.h"
#include "support/window_options.h"

namespace torvane::testing {

class TWindowFixture : public ::testing::Test {
 protected:
  explicit TWindowFixture(TDateTime now = {2026, 12, 9, 10, 0, 0}) : wallClock_(now) {}

  void SetUp() override {
    EnsureQtApp();
    ASSERT_TRUE(dir_.isValid());
    window_ = MakeWindow();
  }
  // Another window on the same folder, as when the program is started again.
  std::unique_ptr<TForm1> MakeWindow() {
    auto w = std::make_unique<TForm1>(WindowOptions(dir_, op_, clock_, wallClock_));
    w->show();
    return w;
  }
  TSession& S() { return window_->Session(); }
  // Bytes as the serial component hands them over when it reads them one at a time.
  void Feed(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) S().cm1ReceiveData(&b, 1);
  }

  QTemporaryDir dir_;
  TFakeOperator op_;
  TManualClock clock_;
  TFixedClock wallClock_;
  std::unique_ptr<TForm1> window_;
};

}  // namespace torvane::testing
