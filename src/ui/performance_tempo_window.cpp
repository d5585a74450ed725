// The Performance Tempo window in Qt: draws the core's bar-by-bar tempo data.
#include "ui/performance_tempo_window.h"

#include <QBoxLayout>
#include <QFileDialog>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <mutex>

#include "app/app.h"

namespace tuttiro {
namespace {

constexpr int kCheckMs = 500;
const QColor kBackground(0x1e, 0x21, 0x27);
const QColor kGrid(0x3a, 0x3f, 0x48);
const QColor kText(0xc8, 0xcc, 0xd4);
const QColor kFileTempo(0x8a, 0x90, 0x9c);
const QColor kMasterTempo(0x5f, 0x9e, 0xe8);
const QColor kPerformed(0xf2, 0xa3, 0x3a);
const QColor kLoop(0x3b, 0x6e, 0x4a, 90);
const QColor kRehearsal(0x7f, 0xd1, 0x8b);

// The canvas the picture is drawn on; the window owns the buttons around it.
class Canvas : public QWidget {
 public:
  Canvas(QWidget* parent, std::function<void(QPainter&, const QRect&)> draw)
      : QWidget(parent), draw_(std::move(draw)) {
    setMinimumSize(640, 320);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    draw_(painter, rect());
  }

 private:
  std::function<void(QPainter&, const QRect&)> draw_;
};

}  // namespace

PerformanceTempoWindow::PerformanceTempoWindow(AppRec& app, QWidget* parent)
    : QWidget(parent, Qt::Window), app_(app) {
  setWindowTitle(QStringLiteral("Performance Tempo"));
  canvas_ = new Canvas(this, [this](QPainter& p, const QRect& r) { DrawPicture(p, r); });
  auto* save = new QPushButton(QStringLiteral("&Save as Picture..."), this);
  connect(save, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save as Picture"),
                                                      QStringLiteral("Performance Tempo.png"),
                                                      QStringLiteral("PNG pictures (*.png)"));
    if (!path.isEmpty()) SavePicture(path);
  });
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(close);
  auto* all = new QVBoxLayout(this);
  all->addWidget(canvas_, 1);
  all->addLayout(buttons);
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &PerformanceTempoWindow::CheckForNewPerformance);
  timer->start(kCheckMs);
  resize(900, 420);
  Refresh();
}

std::vector<int64_t> PerformanceTempoWindow::Key() const {
  int64_t entries = 0;
  {
    std::lock_guard lock(app_.engine.input.recording.lock);
    entries = static_cast<int64_t>(app_.engine.input.recording.tempoList.size());
  }
  return {app_.transport.performanceAvailable,
          app_.engine.performance.start,
          app_.engine.performance.end,
          entries,
          app_.piece.pieceLoaded ? app_.piece.performanceTrack().eventCount() : 0,
          app_.live.tempoFactor,
          app_.live.loopStart,
          app_.live.loopEnd,
          static_cast<int64_t>(app_.live.rehearsalPoints.size())};
}

void PerformanceTempoWindow::Refresh() {
  PerformanceTiming timing;
  {
    std::lock_guard lock(app_.engine.input.recording.lock);
    timing.tempoList = app_.engine.input.recording.tempoList;
  }
  timing.tempoFactor = app_.engine.performance.recordedTempoFactor;
  hasPerformance_ = app_.piece.pieceLoaded && app_.transport.performanceAvailable;
  picture_ = hasPerformance_
                 ? PerformanceTempoData(app_.piece, timing, app_.engine.performance.start,
                                        app_.engine.performance.end, app_.live.tempoFactor)
                 : PerformanceTempoPicture{};
  loopStart_ = app_.live.loopStart;
  loopEnd_ = app_.live.loopEnd;
  rehearsal_ = app_.live.rehearsalPoints;
  seen_ = Key();
  canvas_->update();
}

void PerformanceTempoWindow::CheckForNewPerformance() {
  if (isVisible() && Key() != seen_) Refresh();
}

bool PerformanceTempoWindow::SavePicture(const QString& path) {
  QImage image(canvas_->size().expandedTo(QSize(640, 320)), QImage::Format_RGB32);
  QPainter painter(&image);
  DrawPicture(painter, image.rect());
  painter.end();
  return image.save(path, "PNG");
}

void PerformanceTempoWindow::DrawPicture(QPainter& p, const QRect& area) {
  p.fillRect(area, kBackground);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(kText);
  if (!hasPerformance_ || picture_.bars.empty()) {
    p.drawText(area, Qt::AlignCenter,
               QStringLiteral("No performance recorded yet: play with Play and Follow."));
    return;
  }
  const QRect plot = area.adjusted(56, 28, -16, -40);
  const auto& bars = picture_.bars;
  double top = 0;
  for (const BarTempo& b : bars) {
    top = std::max({top, b.fileBpm, b.performedBpm, b.fileBpm * picture_.masterPercent / 100});
  }
  top = std::ceil(top * 1.15 / 20) * 20;
  const double first = bars.front().start;
  const double last = bars.back().end;
  const auto x = [&](double position) {
    return plot.left() + (position - first) * plot.width() / std::max(1.0, last - first);
  };
  const auto y = [&](double bpm) { return plot.bottom() - bpm * plot.height() / top; };

  // The loop, the grid with the tempo scale, bar numbers and rehearsal points.
  p.fillRect(QRectF(QPointF(x(loopStart_), plot.top()), QPointF(x(loopEnd_), plot.bottom())),
             kLoop);
  for (double bpm = 0; bpm <= top; bpm += 20) {
    p.setPen(kGrid);
    p.drawLine(QPointF(plot.left(), y(bpm)), QPointF(plot.right(), y(bpm)));
    p.setPen(kText);
    p.drawText(QRectF(area.left(), y(bpm) - 8, 50, 16), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(bpm, 'f', 0));
  }
  const int step =
      std::max<int>(1, static_cast<int>(bars.size() * 40 / std::max(1, plot.width())) + 1);
  for (size_t i = 0; i < bars.size(); i += static_cast<size_t>(step)) {
    p.drawText(QRectF(x(bars[i].start) - 20, plot.bottom() + 4, 40, 16), Qt::AlignCenter,
               QString::number(bars[i].measure));
  }
  p.setPen(QPen(kRehearsal, 1, Qt::DashLine));
  for (int32_t r : rehearsal_) p.drawLine(QPointF(x(r), plot.top()), QPointF(x(r), plot.bottom()));

  // The file's tempo and the master tempo as steps, the performed tempo as a curve.
  QPainterPath file, master, performed;
  bool inPerformance = false;
  for (size_t i = 0; i < bars.size(); ++i) {
    const BarTempo& b = bars[i];
    const QPointF a(x(b.start), y(b.fileBpm));
    if (i == 0)
      file.moveTo(a);
    else
      file.lineTo(a);
    file.lineTo(x(b.end), y(b.fileBpm));
    const double m = b.fileBpm * picture_.masterPercent / 100;
    if (i == 0)
      master.moveTo(x(b.start), y(m));
    else
      master.lineTo(x(b.start), y(m));
    master.lineTo(x(b.end), y(m));
    const QPointF mid(x((b.start + b.end) / 2.0), y(b.performedBpm));
    if (b.performedBpm <= 0) {
      inPerformance = false;
    } else if (!inPerformance) {
      performed.moveTo(mid);
      inPerformance = true;
    } else {
      performed.lineTo(mid);
    }
  }
  // The master tempo under the file's, so that both show where they are equal.
  p.strokePath(master, QPen(kMasterTempo, 3, Qt::DashLine));
  p.strokePath(file, QPen(kFileTempo, 1.5));
  p.strokePath(performed, QPen(kPerformed, 2.5));
  const auto mark = [&](double bpm, const QString& label) {
    p.setPen(QPen(kPerformed, 1, Qt::DotLine));
    p.drawLine(QPointF(plot.left(), y(bpm)), QPointF(plot.right(), y(bpm)));
    p.setPen(kPerformed);
    p.drawText(QRectF(plot.right() - 200, y(bpm) - 18, 200, 16), Qt::AlignRight, label);
  };
  mark(picture_.averageBpm, QStringLiteral("average %1 bpm").arg(picture_.averageBpm, 0, 'f', 1));
  mark(picture_.lastBpm, QStringLiteral("last %1 bpm").arg(picture_.lastBpm, 0, 'f', 1));

  // The legend.
  p.setPen(kText);
  p.drawText(QRectF(area.left() + 56, area.top() + 4, area.width() - 72, 20), Qt::AlignLeft,
             QStringLiteral("Tempo (beats per minute) by bar:  played (orange),  as written "
                            "(grey),  master tempo (blue, dashed),  loop (green)"));
}

}  // namespace tuttiro
