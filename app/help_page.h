#pragma once
#include <QWidget>

class QLabel;

namespace torvane {

// The Help page: one quick-start picture for the installer. The picture is decoded when the page is
// first shown: a quarter of the start-up went into it, for a page that is not shown at start.
class THelpPage : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPictureWidth = 761;
  static constexpr int kPictureHeight = 521;
  explicit THelpPage(QWidget* parent = nullptr);
  bool PictureLoaded() const { return loaded_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* picture_;
  bool loaded_ = false;
};

}  // namespace torvane
