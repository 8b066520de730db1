#pragma once
#include <QWidget>

namespace torvane {

// The Help page: one quick-start picture for the installer.
class THelpPage : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPictureWidth = 761;
  static constexpr int kPictureHeight = 521;
  explicit THelpPage(QWidget* parent = nullptr);
};

}  // namespace torvane
