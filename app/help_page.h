// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QPushButton>
#include <QWidget>

class QLabel;

namespace torvane {

class TSession;

// The Help page: one quick-start picture for the installer, and "Save trace", which writes the last
// frames sent and received to a file for support. The picture is decoded when the page is first
// shown: a quarter of the start-up went into it, for a page that is not shown at start.
class THelpPage : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPictureWidth = 761;
  static constexpr int kPictureHeight = 521;
  explicit THelpPage(TSession& session, QWidget* parent = nullptr);
  bool PictureLoaded() const { return loaded_; }
  QPushButton* SaveTraceButton() const { return saveTrace_; }
  // "Save trace": the frames kept in memory into a file the operator chooses.
  void SaveTrace();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TSession& session_;
  QLabel* picture_;
  QPushButton* saveTrace_;
  bool loaded_ = false;
};

}  // namespace torvane
