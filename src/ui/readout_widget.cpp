// Drawing the readout.
#include "ui/readout_widget.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include "ui/qt_host.h"

namespace tuttiro {
namespace {

// A quiet background tile: a light ground with a faint staff of five lines.
QPixmap MakeTile() {
  QPixmap tile(96, 64);
  tile.fill(QColor(0xd8, 0xd6, 0xd0));
  QPainter p(&tile);
  p.setPen(QPen(QColor(0xcc, 0xc9, 0xc2), 1));
  for (int line = 0; line < 5; ++line) p.drawLine(0, 14 + line * 8, 96, 14 + line * 8);
  p.setPen(QPen(QColor(0xc4, 0xc0, 0xb8), 2));
  p.drawLine(95, 14, 95, 46);
  return tile;
}

}  // namespace

ReadoutWidget::ReadoutWidget(AppRec& app, const QtHost& host, QWidget* parent)
    : QWidget(parent), app_(app), host_(host), tile_(MakeTile()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(780, 320);
}

void ReadoutWidget::Refresh() {
  ReadoutRec now = MakeReadout(app_);
  if (now == shown_) return;
  shown_ = std::move(now);
  MarkDirty();
}

void ReadoutWidget::MarkDirty() {
  dirty_ = true;
  update(PanelRect());
}

void ReadoutWidget::PaintNowIfDirty() {
  if (dirty_) repaint(PanelRect());
}

QRect ReadoutWidget::PanelRect() const {
  return QRect(width() / 2 - 381, height() / 2 - 151, 762, 304);
}

void ReadoutWidget::paintEvent(QPaintEvent* event) {
  dirty_ = false;
  QPainter p(this);
  p.drawTiledPixmap(event->rect(), tile_, event->rect().topLeft());
  p.setRenderHint(QPainter::Antialiasing);

  const QRectF panel(width() / 2 - 380, height() / 2 - 150, 760, 300);
  QPainterPath frame;
  frame.addRoundedRect(panel, 10, 10);
  p.fillPath(frame, QColor(0x2b, 0x2f, 0x36));
  p.setPen(QPen(QColor(0x16, 0x18, 0x1c), 2));
  p.drawPath(frame);

  QFont titleFont = font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
  titleFont.setBold(true);
  p.setFont(titleFont);
  p.setPen(QColor(0xf2, 0xe6, 0xc8));
  const QString title =
      shown_.title.empty() ? QStringLiteral("(no piece)") : QString::fromStdString(shown_.title);
  p.drawText(panel.adjusted(20, 14, -20, 0), Qt::AlignHCenter | Qt::AlignTop, title);

  QFont big = font();
  big.setPointSizeF(big.pointSizeF() * 2.2);
  big.setBold(true);
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 1.05);

  const std::pair<const char*, const std::string*> values[] = {
      {"Measure:Beat", &shown_.measureBeat},
      {"Tempo", &shown_.tempo},
      {"Master Tempo", &shown_.masterTempo},
      {"Loop", &shown_.loop},
  };
  const qreal column = (panel.width() - 40) / 4;
  for (int i = 0; i < 4; ++i) {
    const QRectF cell(panel.left() + 20 + i * column, panel.top() + 70, column, 90);
    p.setFont(small);
    p.setPen(QColor(0x9a, 0xa3, 0xb0));
    p.drawText(cell, Qt::AlignHCenter | Qt::AlignTop, QString::fromUtf8(values[i].first));
    QFont valueFont = big;
    if (i == 3) valueFont.setPointSizeF(big.pointSizeF() * 0.6);
    p.setFont(valueFont);
    p.setPen(QColor(0x8f, 0xe3, 0x9b));
    p.drawText(cell.adjusted(0, 24, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
               QString::fromStdString(*values[i].second));
  }

  p.setFont(small);
  p.setPen(QColor(0xf2, 0xe6, 0xc8));
  p.drawText(QRectF(panel.left(), panel.top() + 165, panel.width(), 24), Qt::AlignHCenter,
             QString::fromStdString(shown_.state));

  // The transport buttons: lit when on, sunk while pressed.
  const int count = static_cast<int>(kReadoutButtons.size());
  const qreal gap = 6;
  const qreal buttonWidth = (panel.width() - 40 - gap * (count - 1)) / count;
  QFont buttonFont = font();
  buttonFont.setPointSizeF(buttonFont.pointSizeF() * 0.85);
  p.setFont(buttonFont);
  for (int i = 0; i < count; ++i) {
    const ReadoutButton& button = kReadoutButtons[static_cast<size_t>(i)];
    const QRectF r(panel.left() + 20 + i * (buttonWidth + gap), panel.bottom() - 80, buttonWidth,
                   56);
    const bool pressed =
        host_.Flashing(button.box) || shown_.buttons[static_cast<size_t>(i)] == 100;
    const bool on = shown_.buttons[static_cast<size_t>(i)] == 200;
    QColor face = on ? QColor(0x3f, 0x9b, 0x52) : QColor(0x4a, 0x50, 0x5a);
    if (pressed) face = face.darker(150);
    QPainterPath path;
    path.addRoundedRect(r.adjusted(0, pressed ? 2 : 0, 0, pressed ? 2 : 0), 6, 6);
    p.fillPath(path, face);
    p.setPen(on ? QColor(0xe8, 0xff, 0xe8) : QColor(0xd0, 0xd4, 0xda));
    p.drawText(r.adjusted(2, pressed ? 2 : 0, -2, pressed ? 2 : 0),
               Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(button.label));
  }
}

}  // namespace tuttiro
