// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tab_page.h"

namespace torvane {

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
