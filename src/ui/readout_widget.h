// The main window's client area until the views exist: a tiled background and
// a panel with the piece's title, what the transport does, measure:beat, the
// tempo, the master tempo, the loop points and the transport buttons' states.
#pragma once

#include <QPixmap>
#include <QWidget>

#include "app/readout.h"

namespace tuttiro {

struct AppRec;
class QtHost;

class ReadoutWidget : public QWidget {
  Q_OBJECT

 public:
  ReadoutWidget(AppRec& app, const QtHost& host, QWidget* parent = nullptr);

  // Takes the readout's values afresh; the panel is repainted when they changed.
  void Refresh();
  // The panel must be repainted (a button flashes).
  void MarkDirty();
  // Repaints the panel at once if it is waiting to be repainted.
  void PaintNowIfDirty();
  const ReadoutRec& Shown() const { return shown_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect PanelRect() const;

  AppRec& app_;
  const QtHost& host_;
  ReadoutRec shown_;
  QPixmap tile_;
  bool dirty_ = true;
};

}  // namespace tuttiro
