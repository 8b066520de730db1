#pragma once
#include "app/session.h"
#include "app/tab_page.h"

namespace torvane {

class THistoryPage : public TTabPage {
  Q_OBJECT
 public:
  THistoryPage(TSession& session, QWidget* parent = nullptr);

 private:
  TSession& session_;
};

}  // namespace torvane
