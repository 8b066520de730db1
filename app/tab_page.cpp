// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tab_page.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionButton>

namespace torvane {

namespace {

class TWrappedCaptionStyle : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButtonLabel || !button || !widget) {
      QProxyStyle::drawControl(element, option, painter, widget);
      return;
    }
    constexpr int kFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    const QRect room = option->rect;
    QFont f = widget->font();
    int px = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    for (; px > 7; --px) {
      f.setPixelSize(px);
      const QRect needed = QFontMetrics(f).boundingRect(room, kFlags, button->text);
      if (needed.width() <= room.width() && needed.height() <= room.height()) break;
    }
    painter->save();
    painter->setFont(f);
    drawItemText(painter, room, kFlags, button->palette, button->state & State_Enabled, button->text,
                 QPalette::ButtonText);
    painter->restore();
  }
};

}  // namespace

QPushButton* TTabPage::WrapCaption(QPushButton* b) {
  auto* style = new TWrappedCaptionStyle;
  style->setParent(b);
  b->setStyle(style);
  return b;
}

QPushButton* TTabPage::AddButton(const QString& caption, int left, int top, int width, int height,
                                 bool sendsRequest) {
  auto* b = new QPushButton(caption, this);
  b->setGeometry(left, top, width, height);
  b->setEnabled(false);
  operationButtons_.append(b);
  if (sendsRequest) requestButtons_.append(b);
  return b;
}

}  // namespace torvane
