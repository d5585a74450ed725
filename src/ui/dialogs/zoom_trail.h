// The zoom animation drawn over the main window's views: a dotted trail of
// rectangles between the pointer and a dialog, one frame every 16 ms on a
// timer, so the window never waits for it.
#pragma once

#include <QTimer>
#include <QWidget>
#include <vector>

#include "dialogs/dialog_frame.h"

namespace tuttiro {

class ZoomTrail : public QWidget {
  Q_OBJECT

 public:
  // Plays `frames` over `canvas` and goes away after the last one.
  static void Play(QWidget* canvas, std::vector<std::vector<FrameRect>> frames);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ZoomTrail(QWidget* canvas, std::vector<std::vector<FrameRect>> frames);
  void Step();

  std::vector<std::vector<FrameRect>> frames_;
  size_t frame_ = 0;
  QTimer timer_;
};

}  // namespace tuttiro
