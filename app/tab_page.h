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

 protected:
  // A button at its designed place, disabled as after start-up.
  QPushButton* AddButton(const QString& caption, int left, int top, int width, int height, bool sendsRequest);

 private:
  QList<QPushButton*> operationButtons_;
  QList<QPushButton*> requestButtons_;
};

}  // namespace torvane
