// Painting the views: a full repaint of a 1920 x 1080 client area (every view
// composed afresh and copied), a repaint from the view images alone (views
// moved, nothing recomposed), and the repaint of one idle pass while playing
// (measure, beat and the song position thumb changed).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "app/app.h"
#include "platform/simulated_platform.h"
#include "ui/qt_host.h"
#include "ui/views/views_widget.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

struct Bench {
  Bench() : app(platform, host), widget(app, host, [](const std::function<void()>& f) { f(); }) {
    platform.AddOutputDevice("Out");
    host.SetCanvas(&widget);
    ViewsResize(app, 1920, 1080);
    AppOpenPiece(app, "Raggedy Rag");
    target = QImage(1920, 1080, QImage::Format_ARGB32_Premultiplied);
  }
  void Paint(const QRegion& region) {
    QPainter painter(&target);
    widget.PaintAll(painter, region);
  }
  SimulatedPlatform platform;
  QtHost host;
  AppRec app;
  ViewsWidget widget;
  QImage target;
};

void BM_FullRepaintComposed(benchmark::State& state) {
  Bench b;
  for (auto _ : state) {
    for (const ViewInfo& view : kViewTable) b.widget.InvalidateBox(view.frameBox);
    b.Paint(QRegion(0, 0, 1920, 1080));
  }
}
BENCHMARK(BM_FullRepaintComposed)->Unit(benchmark::kMillisecond);

void BM_FullRepaintFromImages(benchmark::State& state) {
  Bench b;
  b.Paint(QRegion(0, 0, 1920, 1080));
  for (auto _ : state) b.Paint(QRegion(0, 0, 1920, 1080));
}
BENCHMARK(BM_FullRepaintFromImages)->Unit(benchmark::kMillisecond);

void BM_PlayingIdleRepaint(benchmark::State& state) {
  Bench b;
  b.Paint(QRegion(0, 0, 1920, 1080));
  const auto area = [&](int view, int box) {
    const LayoutBox f = ViewFrame(b.app.views, view);
    const LayoutBox d = DirtyAreaOfBox(b.app.views, box).Moved(f.left, f.top);
    return QRect(d.left, d.top, d.Width(), d.Height());
  };
  const QRegion region = QRegion(area(kViewMeasureBeat, kBoxMeasureDigits)) +
                         area(kViewMeasureBeat, kBoxBeatDigits) +
                         area(kViewSongPosition, kBoxSongPosition);
  for (auto _ : state) {
    b.widget.InvalidateBox(kBoxMeasureDigits);
    b.widget.InvalidateBox(kBoxBeatDigits);
    b.widget.InvalidateBox(kBoxSongPosition);
    b.Paint(region);
  }
}
BENCHMARK(BM_PlayingIdleRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tuttiro

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
