#pragma once
#include "app/session.h"
#include "app/tab_page.h"

namespace torvane {

class TNumbersPage : public TTabPage {
  Q_OBJECT
 public:
  TNumbersPage(TSession& session, QWidget* parent = nullptr);

 private:
  TSession& session_;
};

}  // namespace torvane
