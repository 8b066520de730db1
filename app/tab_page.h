// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QList>
#include <QPushButton>
#include <QWidget>

namespace torvane {

// Base of the tab pages: keeps the page's buttons under the login lock, and which of them send a
// request to the device (those wait while another exchange is open).
class TTabPage : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  QList<QPushButton*> OperationButtons() const { return operationButtons_; }
  QList<QPushButton*> RequestButtons() const { return requestButtons_; }
  // Buttons that change a grid (imports, marks, a backup restored): they wait while a transfer runs,
  // since a read would go on decoding into the grid they fill and a save has encoded it already.
  QList<QPushButton*> GridButtons() const { return gridButtons_; }

 protected:
  // A button at its designed place, disabled as after start-up.
  QPushButton* AddButton(const QString& caption, int left, int top, int width, int height, bool sendsRequest);
  QPushButton* ChangesGrid(QPushButton* b) {
    gridButtons_.append(b);
    return b;
  }
  // A caption too long for its button's one line is drawn on two, in a smaller font where two lines of
  // the window's font do not fit either. The caption itself stays as it is (tools and screen readers
  // read it whole).
  static QPushButton* WrapCaption(QPushButton* b);

 private:
  QList<QPushButton*> operationButtons_;
  QList<QPushButton*> requestButtons_;
  QList<QPushButton*> gridButtons_;
};

}  // namespace torvane
