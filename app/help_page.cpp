// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/help_page.h"

#include <QLabel>
#include <QPixmap>

#include "app/app_texts.h"
#include "files/file_stamp.h"
#include "files/safe_file.h"
#include "session/session.h"

// The picture lives in a static library's resources, which the linker drops unless asked for.
static void InitHelpResources() {
  Q_INIT_RESOURCE(help);
}

namespace torvane {

THelpPage::THelpPage(TSession& session, QWidget* parent) : QWidget(parent), session_(session) {
  InitHelpResources();
  picture_ = new QLabel(this);
  picture_->setObjectName("HelpPicture");
  picture_->setGeometry(64, 40, kPictureWidth, kPictureHeight);
  picture_->setAccessibleName("Quick start");
  picture_->setAccessibleDescription(
      "1 Connect the device's USB cable. 2 Pick its port (ttyUSB0, ttyACM0) and click Open: the lamp turns "
      "green. 3 Type the device password (factory 6853) and click Log in. 4 Read Settings, Read or Read "
      "data. 5 Edit the cells. 6 Save Settings or Save. Exported files go to the configuration folder.");
  saveTrace_ = new QPushButton(kSaveTraceCaption, this);
  saveTrace_->setGeometry(64, 570, 90, 30);
  saveTrace_->setAccessibleName(kSaveTraceCaption);
  saveTrace_->setToolTip(kSaveTraceTip);
  connect(saveTrace_, &QPushButton::clicked, this, &THelpPage::SaveTrace);
}

void THelpPage::SaveTrace() {
  IOperator& op = session_.Context.Operator;
  const std::string proposed = kTraceNamePrefix + FileNameStamp(session_.Context.Clock.Now()) + ".txt";
  const auto file = op.ChooseSaveFile(kTraceFilter, session_.ConfigDir, proposed);
  if (!file) return;
  std::string text;
  for (const std::string& line : session_.Trace.Lines()) text += line + "\n";
  try {
    // With the passwords shown, the file is for its owner's eyes only.
    WriteFileAtomically(*file, text, session_.Trace.ShowSecrets ? TFileAccess::Private : TFileAccess::Usual);
    session_.Status.ShowStatus(kTraceSaved);
  } catch (const EFileError& e) {
    op.Error(e.what());
  }
}

void THelpPage::showEvent(QShowEvent* event) {
  if (!loaded_) {
    loaded_ = true;
    picture_->setPixmap(QPixmap(":/help/quick_start.png"));
  }
  QWidget::showEvent(event);
}

}  // namespace torvane
