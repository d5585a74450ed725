// The Performance Tempo window from its menu item: empty before anything was
// recorded, the bars of a recorded performance after, following a new one
// while open, and saved as a PNG picture.
#include <QImage>
#include <filesystem>

#include "app/app.h"
#include "program_fixture.h"
#include "ui/performance_tempo_window.h"

namespace tuttiro {
namespace {

using PerformanceTempoWindowTest = test::MainWindowTest;

TEST_F(PerformanceTempoWindowTest, ShowsTheRecordedPerformanceBarByBarAndSavesIt) {
  Item(kIdPerformanceTempo)->trigger();
  PerformanceTempoWindow* window = program->TempoWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->Picture().bars.empty());

  // A performance of the first four seconds, a little slower than written.
  AppRec& app = App();
  {
    std::lock_guard lock(app.engine.input.recording.lock);
    app.engine.input.recording.tempoList = {{0, 0}, {2500, 2000}, {5000, 4000}};
  }
  app.engine.performance.start = 0;
  app.engine.performance.end = 4000;
  app.transport.performanceAvailable = true;
  window->Refresh();
  const PerformanceTempoPicture& picture = window->Picture();
  ASSERT_FALSE(picture.bars.empty());
  EXPECT_GT(picture.bars.front().performedBpm, 0);
  EXPECT_NEAR(picture.bars.front().performedBpm, picture.bars.front().fileBpm * 0.8, 0.5);
  EXPECT_EQ(picture.bars.back().performedBpm, 0);  // not played

  std::filesystem::create_directories(settingsFolder);
  const std::string path = (settingsFolder / "tempo.png").string();
  ASSERT_TRUE(window->SavePicture(QString::fromStdString(path)));
  EXPECT_FALSE(QImage(QString::fromStdString(path)).isNull());
}

}  // namespace
}  // namespace tuttiro
