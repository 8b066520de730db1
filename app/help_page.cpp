#include "app/help_page.h"

#include <QLabel>
#include <QPixmap>

// The picture lives in a static library's resources, which the linker drops unless asked for.
static void InitHelpResources() {
  Q_INIT_RESOURCE(help);
}

namespace torvane {

THelpPage::THelpPage(QWidget* parent) : QWidget(parent) {
  InitHelpResources();
  picture_ = new QLabel(this);
  picture_->setObjectName("HelpPicture");
  picture_->setGeometry(64, 40, kPictureWidth, kPictureHeight);
  picture_->setAccessibleName("Quick start");
  picture_->setAccessibleDescription(
      "1 Connect the device's USB cable. 2 Pick its port (ttyUSB0, ttyACM0) and click Open: the lamp turns "
      "green. 3 Type the device password (factory 6853) and click Log in. 4 Read Settings, Read or Read "
      "data. 5 Edit the cells. 6 Save Settings or Save. Exported files go to the configuration folder.");
}

void THelpPage::showEvent(QShowEvent* event) {
  if (!loaded_) {
    loaded_ = true;
    picture_->setPixmap(QPixmap(":/help/quick_start.png"));
  }
  QWidget::showEvent(event);
}

}  // namespace torvane
