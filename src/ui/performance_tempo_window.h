// The Performance Tempo window: the recorded performance's tempo drawn over
// the bars of the piece, against the file's tempo and the master tempo, with
// the average and last performed tempo, the rehearsal points and the loop. It
// follows new recordings while open and saves itself as a PNG picture.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "engine/performance_tempo.h"

class QPainter;

namespace tuttiro {

struct AppRec;

class PerformanceTempoWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PerformanceTempoWindow(AppRec& app, QWidget* parent = nullptr);

  // Takes the current performance (if any) and redraws.
  void Refresh();
  // Writes the picture to `path`; false when it could not be written.
  bool SavePicture(const QString& path);
  const PerformanceTempoPicture& Picture() const { return picture_; }

 private:
  void DrawPicture(QPainter& painter, const QRect& area);
  // What the picture depends on, cheap to compare.
  std::vector<int64_t> Key() const;
  void CheckForNewPerformance();

  AppRec& app_;
  PerformanceTempoPicture picture_;
  bool hasPerformance_ = false;
  int32_t loopStart_ = 0;
  int32_t loopEnd_ = 0;
  std::vector<int32_t> rehearsal_;
  // What the last refresh saw of the recording, to notice a new one.
  std::vector<int64_t> seen_;
  QWidget* canvas_ = nullptr;
};

}  // namespace tuttiro
