// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/find_bar_view.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QShortcut>

#include "core/find_texts.h"

namespace torvane {

namespace {

QToolButton* MakeButton(QWidget* parent, const QString& name) {
  auto* b = new QToolButton(parent);
  b->setAccessibleName(name);
  b->setToolTip(name);
  b->setAutoRaise(true);
  // Clicking a button leaves the focus in the text box, where the next keystroke belongs.
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

}  // namespace

TFindBar::TFindBar(bool steps, QWidget* parent) : QWidget(parent) {
  setAccessibleName(QStringLiteral("Find bar"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 3, 4, 3);
  row->setSpacing(4);
  auto* label = new QLabel(QString::fromUtf8(kFindLabel), this);
  edit_ = new QLineEdit(this);
  edit_->setAccessibleName(QString::fromUtf8(kFindLabel));
  edit_->setClearButtonEnabled(true);
  edit_->setFixedWidth(200);
  label->setBuddy(edit_);
  edit_->installEventFilter(this);
  row->addWidget(label);
  row->addWidget(edit_);
  if (steps) {
    previous_ = MakeButton(this, QString::fromUtf8(kFindPrevious));
    previous_->setArrowType(Qt::UpArrow);
    next_ = MakeButton(this, QString::fromUtf8(kFindNext));
    next_->setArrowType(Qt::DownArrow);
    row->addWidget(previous_);
    row->addWidget(next_);
    connect(previous_, &QToolButton::clicked, this, &TFindBar::Previous);
    connect(next_, &QToolButton::clicked, this, &TFindBar::Next);
    // F3 steps from anywhere in the window while the bar is shown, the grid included.
    auto* f3 = new QShortcut(QKeySequence(Qt::Key_F3), this);
    f3->setContext(Qt::WindowShortcut);
    connect(f3, &QShortcut::activated, this, &TFindBar::Next);
    auto* shiftF3 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    shiftF3->setContext(Qt::WindowShortcut);
    connect(shiftF3, &QShortcut::activated, this, &TFindBar::Previous);
  }
  result_ = new QLabel(this);
  result_->setAccessibleName(QStringLiteral("Find result"));
  row->addWidget(result_);
  row->addStretch(1);
  close_ = MakeButton(this, QString::fromUtf8(kFindClose));
  close_->setText(QStringLiteral("\u2715"));
  row->addWidget(close_);
  connect(close_, &QToolButton::clicked, this, &TFindBar::Close);
  connect(edit_, &QLineEdit::textChanged, this, &TFindBar::QueryChanged);
  hide();
}

void TFindBar::SetResult(const QString& text) {
  if (result_->text() == text) return;
  result_->setText(text);
  result_->setAccessibleDescription(text);
}

void TFindBar::Open() {
  show();
  edit_->setFocus(Qt::ShortcutFocusReason);
  edit_->selectAll();
}

void TFindBar::Close() {
  if (isHidden()) return;
  hide();
  emit Closed();
}

bool TFindBar::event(QEvent* event) {
  // The window's Esc (Stop) is a shortcut; while the focus is in the bar, Esc is the bar's key. The
  // override reaches the bar from the focused text box, which has no use for Esc itself.
  if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
      static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
    event->accept();
    return true;
  }
  return QWidget::event(event);
}

void TFindBar::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    Close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (key->modifiers() & Qt::ShiftModifier)
        emit Previous();
      else
        emit Next();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace torvane
