#include "app/settings_page.h"

#include <QResizeEvent>

namespace torvane {

namespace {
constexpr int kPanelWidth = 100;
}

TSettingsPage::TSettingsPage(TSession& session, QWidget* parent) : TTabPage(parent), session_(session) {
  read_ = AddButton("Read Settings", 7, 47, 85, 31, true);
  save_ = AddButton("Save Settings", 7, 113, 85, 31, true);
  import_ = AddButton("Import profile", 7, 179, 85, 31, false);
  export_ = AddButton("Export profile", 7, 246, 85, 31, false);
  editor_ = new TSettingsEditor(session_.SettingsGrid, session_.SettingsLists, &session_.SettingsUndo,
                                TCodePage::System(), this);
  editor_->setGeometry(kPanelWidth, 0, std::max(0, width() - kPanelWidth), height());
  connect(editor_, &TSettingsEditor::ScrollCaption, this, &TSettingsPage::ScrollCaption);
  connect(read_, &QPushButton::clicked, this, [this] { session_.Settings.ReadSettings(); });
  connect(save_, &QPushButton::clicked, this, [this] { session_.Settings.SaveSettings(); });
  connect(import_, &QPushButton::clicked, this, [this] {
    // The cells and then the lists: one step.
    TUndoStep step(session_.SettingsUndo);
    session_.Profiles.ImportProfile();
  });
  connect(export_, &QPushButton::clicked, this, [this] { session_.Profiles.ExportProfile(); });
}

void TSettingsPage::resizeEvent(QResizeEvent* event) {
  TTabPage::resizeEvent(event);
  editor_->setGeometry(kPanelWidth, 0, std::max(0, width() - kPanelWidth), height());
}

}  // namespace torvane
