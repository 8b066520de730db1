// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/status_bar.h"

#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QStyleOptionFrame>
#include <algorithm>

namespace torvane {

namespace {

constexpr int kPanelWidths[] = {100, 50, 200};  // then the panel that takes the rest of the bar
constexpr int kSimPanelWidth = 190;
constexpr int kLampSize = 17;

QPixmap LampPicture(const QColor& colour) {
  QPixmap pm(kLampSize, kLampSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient g(QPointF(6, 6), 10);
  g.setColorAt(0, colour.lighter(190));
  g.setColorAt(0.45, colour);
  g.setColorAt(1, colour.darker(170));
  p.setBrush(g);
  p.setPen(QPen(colour.darker(220), 1));
  p.drawEllipse(QRectF(1, 1, kLampSize - 2, kLampSize - 2));
  return pm;
}

QLabel* MakeLamp(QWidget* parent, const QColor& colour, const QString& name) {
  auto* lamp = new QLabel(parent);
  lamp->setPixmap(LampPicture(colour));
  lamp->setFixedSize(kLampSize, kLampSize);
  lamp->setAccessibleName(name);
  return lamp;
}

}  // namespace

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  setAccessibleName("Status bar");
  redLamp_ = MakeLamp(this, QColor(220, 30, 30), "Port closed");
  greenLamp_ = MakeLamp(this, QColor(30, 190, 40), "Port open");
  const QRect lampPanel = PanelRect(1);
  redLamp_->move(lampPanel.left() + 15, lampPanel.top() + 2);
  greenLamp_->move(lampPanel.left() + 15, lampPanel.top() + 2);
  redLamp_->raise();

  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setAccessibleName("Progress");
  PlaceProgressBar();
}

QRect TStatusBar::PanelRect(int panel) const {
  // Panels sit below a 2-pixel top edge and are 2 pixels apart, like the classic status bar's.
  const int simLeft = std::max(0, width() - kSimPanelWidth);
  if (panel == kSimPanel)
    return QRect(QPoint(simLeft, 2), QPoint(std::max(simLeft, width()) - 1, height() - 1));
  int left = 0;
  for (int i = 0; i < panel && i < 3; ++i) left += kPanelWidths[i] + 2;
  const int right = panel < 3 ? left + kPanelWidths[panel] : std::max(left, simLeft - 2);
  return QRect(QPoint(left, 2), QPoint(right - 1, height() - 1));
}

QString TStatusBar::PanelText(int panel) const {
  return panel >= 0 && panel < kPanelCount ? texts_[panel] : QString();
}

void TStatusBar::SetStatusText(const std::string& text) {
  if (statusUtf8Known_ && text == statusUtf8_) return;
  SetPanelText(2, QString::fromStdString(text));
  statusUtf8_ = text;
  statusUtf8Known_ = true;
}

void TStatusBar::SetPanelText(int panel, const QString& text) {
  if (panel == 2) statusUtf8Known_ = false;
  if (panel < 0 || panel >= kPanelCount || texts_[panel] == text) return;
  texts_[panel] = text;
  if (panel == 2) {
    setAccessibleDescription(text);
    QAccessibleEvent ev(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&ev);
  }
  update(PanelRect(panel));
}

void TStatusBar::SetPanelNote(const QString& text) {
  if (note_ == text) return;
  note_ = text;
  update(PanelRect(kPanelCount - 1));
}

void TStatusBar::SetLampGreen(bool green) {
  lampGreen_ = green;
  (green ? greenLamp_ : redLamp_)->raise();
}

void TStatusBar::SetProgressPosition(int position) {
  // The bar ignores values outside its range; a settings save counts up to 150 and means "full".
  progress_->setValue(std::clamp(position, 0, 100));
}

void TStatusBar::paintEvent(QPaintEvent* event) {
  // The progress bar repaints at once on every new value and the bar beneath it with it; only the
  // panels in the dirty area are drawn, which spares laying out the texts for it.
  const QRect dirty = event->rect();
  QPainter p(this);
  p.fillRect(dirty, palette().window());
  for (int i = 0; i < kPanelCount; ++i) {
    const QRect r = PanelRect(i);
    if (!r.intersects(dirty)) continue;
    // A sunken bevel around each panel.
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
  }
  p.setPen(palette().color(QPalette::WindowText));
  if (PanelRect(0).intersects(dirty)) p.drawText(PanelRect(0), Qt::AlignCenter, texts_[0]);
  for (int i : {2, 3, kSimPanel})
    if (PanelRect(i).intersects(dirty))
      p.drawText(PanelRect(i).adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, texts_[i]);
  // The expired count stands at the right end of the unsaved count's panel; the progress bar covers
  // both while a transfer runs.
  if (PanelRect(3).intersects(dirty))
    p.drawText(PanelRect(3).adjusted(3, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter, note_);
}

void TStatusBar::resizeEvent(QResizeEvent*) {
  PlaceProgressBar();
}

void TStatusBar::PlaceProgressBar() {
  progress_->setGeometry(PanelRect(3));
}

}  // namespace torvane
