#pragma once
#include "app/session.h"
#include "app/tab_page.h"

namespace torvane {

class TSettingsPage : public TTabPage {
  Q_OBJECT
 public:
  TSettingsPage(TSession& session, QWidget* parent = nullptr);

 private:
  TSession& session_;
};

}  // namespace torvane
