// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The find bar that opens above a grid (Ctrl+F): a text box, the grid's answer ("3 of 12"), the
// previous and next buttons where the grid steps through its matches, and a close button. Enter or
// F3 steps on, Shift+Enter or Shift+F3 back. Esc closes the bar while the focus is in it, and only
// then: elsewhere Esc stays the window's own key. The grid decides what a query finds.
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

namespace torvane {

class TFindBar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kHeight = 30;

  // steps: the grid steps through its matches (the number list); without, it only hides rows.
  explicit TFindBar(bool steps, QWidget* parent = nullptr);

  QLineEdit* Edit() const { return edit_; }
  QToolButton* PreviousButton() const { return previous_; }
  QToolButton* NextButton() const { return next_; }
  QToolButton* CloseButton() const { return close_; }
  QString Result() const { return result_->text(); }
  void SetResult(const QString& text);
  void SetPlaceholder(const QString& text) { edit_->setPlaceholderText(text); }

  // Shows the bar with the focus in its text box and the text there selected, to be typed over.
  void Open();
  // Hides the bar; Closed() follows.
  void Close();

 signals:
  void QueryChanged(const QString& text);
  void Next();
  void Previous();
  void Closed();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* edit_;
  QLabel* result_;
  QToolButton *previous_ = nullptr, *next_ = nullptr, *close_;
};

}  // namespace torvane
