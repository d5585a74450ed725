// The zoom animation's trail.
#include "ui/dialogs/zoom_trail.h"

#include <QPainter>

namespace tuttiro {

void ZoomTrail::Play(QWidget* canvas, std::vector<std::vector<FrameRect>> frames) {
  auto* trail = new ZoomTrail(canvas, std::move(frames));
  trail->show();
}

ZoomTrail::ZoomTrail(QWidget* canvas, std::vector<std::vector<FrameRect>> frames)
    : QWidget(canvas), frames_(std::move(frames)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setGeometry(canvas->rect());
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &ZoomTrail::Step);
  timer_.start(kZoomStepMs);
}

void ZoomTrail::Step() {
  if (++frame_ >= frames_.size()) {
    timer_.stop();
    deleteLater();
    return;
  }
  update();
}

void ZoomTrail::paintEvent(QPaintEvent*) {
  if (frame_ >= frames_.size()) return;
  QPainter painter(this);
  for (const FrameRect& r : frames_[frame_]) {
    const QRect rect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    painter.drawRect(rect);
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.drawRect(rect);
  }
}

}  // namespace tuttiro
