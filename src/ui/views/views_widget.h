// The main window's client area: the eight views painted back to front over
// the tiled background, each from its own off-screen image in which only the
// boxes that changed are drawn again. Mouse presses, double-clicks, moves and
// releases go to the views model; the tooltips show at their tool rectangles.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QWidget>
#include <array>
#include <functional>

#include "layout_table.h"
#include "views/views.h"

namespace tuttiro {

struct AppRec;
class QtHost;

class ViewsWidget : public QWidget {
  Q_OBJECT

 public:
  // `run` runs an action on the application as a menu command does (no idle
  // pass in between, the idle pace rescheduled after).
  using Runner = std::function<void(const std::function<void()>&)>;
  ViewsWidget(AppRec& app, const QtHost& host, Runner run, QWidget* parent = nullptr);

  // What the Host asks for: a box, a track strip or everything drawn again.
  void InvalidateBox(int box);
  void InvalidateTrackStrip(int track);
  void InvalidateViews();
  // Paints at once what is waiting to be painted.
  void PaintNowIfDirty();
  // Ends a press still held while the window lost the input.
  void CancelGesture();

  // Shows the startup picture over the background for `ms` milliseconds.
  void ShowStartupPicture(int ms);
  bool StartupPictureShowing() const { return startupPicture_; }

  // Draws the whole client area into `painter` (the window's paint and the
  // repaint benchmark).
  void PaintAll(QPainter& painter, const QRegion& region);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct ViewImage {
    QImage image;
    QRegion dirty;  // view coordinates
  };

  void MarkDirty(int view, const QRect& area);
  // Brings the view's image up to date at the device pixel ratio it is
  // painted at (a new ratio redraws it whole).
  void Compose(int view, qreal dpr);
  void DrawView(QPainter& p, int view, const QRect& dirty);
  void DrawTitle(QPainter& p);
  void DrawMainTransport(QPainter& p, const QRect& dirty);
  void DrawSongPosition(QPainter& p, const QRect& dirty);
  void DrawCurrentTempo(QPainter& p, const QRect& dirty);
  void DrawMasterSlider(QPainter& p, int view, const QRect& dirty);
  void DrawMeasureBeat(QPainter& p, const QRect& dirty);
  void DrawTracks(QPainter& p, const QRect& dirty);
  void DrawStrip(QPainter& p, int track, int32_t left);
  void DrawButton(QPainter& p, int box, const QRect& dirty);
  void DrawCells(QPainter& p, int firstBox, int cells, int32_t value, bool large, bool right,
                 const QRect& dirty);
  QRect ClientRectOf(int view, const LayoutBox& box) const;
  ViewPoint Point(const QMouseEvent* event) const;

  AppRec& app_;
  const QtHost& host_;
  Runner run_;
  std::array<ViewImage, kViewCount> images_;
  QPixmap tile_;
  QFont titleFont_;
  QFont trackFont_;
  QFont labelFont_;
  bool waiting_ = false;  // an update is pending
  bool startupPicture_ = false;
  int wheelEighths_ = 0;  // wheel turn not yet a whole notch, in eighths of a degree
};

}  // namespace tuttiro
