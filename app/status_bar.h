// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's status bar: "COM Port:", the port lamp, the status text, the progress bar (or, while it
// is hidden, what is not yet saved) and the controller's SIM number, in panels of 100, 50 and 200
// pixels, the rest, and 190 pixels at the right.
#include <QLabel>
#include <QProgressBar>
#include <QString>
#include <QWidget>
#include <string>

#include "core/status.h"

namespace torvane {

class TStatusBar : public QWidget, public IStatusView {
  Q_OBJECT
 public:
  static constexpr int kHeight = 24;
  static constexpr int kPanelCount = 5;
  static constexpr int kSimPanel = 4;

  explicit TStatusBar(QWidget* parent = nullptr);

  QRect PanelRect(int panel) const;
  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  // A second text at the right end of the last panel, beside the panel's own (the number list's
  // expired rows beside its unsaved ones). Both are hidden under the progress bar while it shows.
  QString PanelNote() const { return note_; }
  void SetPanelNote(const QString& text);

  // The lamp shows the port's state: green open, red closed.
  void SetLampGreen(bool green);
  bool LampGreen() const { return lampGreen_; }
  QProgressBar* ProgressBar() const { return progress_; }

  // IStatusView: panel 2 and the bar over panel 3.
  // Every received byte shows the same text again; it is compared before it is converted.
  void SetStatusText(const std::string& text) override;
  void SetProgressVisible(bool visible) override { progress_->setVisible(visible); }
  void SetProgressPosition(int position) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceProgressBar();
  QString texts_[kPanelCount];
  QString note_;
  std::string statusUtf8_;        // panel 2's text as last given to SetStatusText
  bool statusUtf8Known_ = false;  // false once panel 2 was set otherwise
  QLabel* redLamp_;
  QLabel* greenLamp_;
  QProgressBar* progress_;
  bool lampGreen_ = false;
};

}  // namespace torvane
