// The skin elements drawn with QPainter.
#include "ui/views/skins.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <array>

#include "layout_table.h"

namespace tuttiro {
namespace {

const QColor kIcon(0xe6, 0xe9, 0xee);
const QColor kIconLit(0x7d, 0xf5, 0x9a);
const QColor kIconInactive(0x70, 0x75, 0x7e);
const QColor kLcdBack(0x0c, 0x17, 0x10);
const QColor kSegmentOn(0x72, 0xf2, 0x8e);
const QColor kSegmentOff(0x15, 0x25, 0x1a);

enum class Face { kRound, kTriangleLeft, kTriangleRight };

// A panel: a dark vertical gradient with a light top-left and dark
// bottom-right edge.
void Panel(QPainter& p, const QRectF& r, QColor top, QColor bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.fillRect(r, g);
  p.setPen(QPen(QColor(255, 255, 255, 40), 1));
  p.drawLine(QPointF(r.left() + 0.5, r.bottom() - 0.5), QPointF(r.left() + 0.5, r.top() + 0.5));
  p.drawLine(QPointF(r.left() + 0.5, r.top() + 0.5), QPointF(r.right() - 0.5, r.top() + 0.5));
  p.setPen(QPen(QColor(0, 0, 0, 110), 1));
  p.drawLine(QPointF(r.right() - 0.5, r.top() + 0.5), QPointF(r.right() - 0.5, r.bottom() - 0.5));
  p.drawLine(QPointF(r.left() + 0.5, r.bottom() - 0.5), QPointF(r.right() - 0.5, r.bottom() - 0.5));
}

QPainterPath FacePath(Face face, const QRectF& r) {
  QPainterPath path;
  switch (face) {
    case Face::kRound:
      path.addRoundedRect(r, 5, 5);
      break;
    case Face::kTriangleLeft:
      path.addPolygon(QPolygonF({QPointF(r.right(), r.top()), QPointF(r.right(), r.bottom()),
                                 QPointF(r.left(), r.center().y())}));
      path.closeSubpath();
      break;
    case Face::kTriangleRight:
      path.addPolygon(QPolygonF({QPointF(r.left(), r.top()), QPointF(r.left(), r.bottom()),
                                 QPointF(r.right(), r.center().y())}));
      path.closeSubpath();
      break;
  }
  return path;
}

// A raised button in `box` less its 2-pixel shadow band; pressed, the face
// sinks into the band. Returns the face rectangle for the icon.
QRectF Button(QPainter& p, Face face, int state, const QRectF& box, bool shadowBand) {
  const qreal band = shadowBand ? 2 : 0;
  QRectF r = box.adjusted(0, 0, -band, -band);
  const bool pressed = state == kImagePressed;
  if (band > 0) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawPath(FacePath(face, r.translated(band, band)));
  }
  if (pressed) r.translate(band / 2 + 0.5, band / 2 + 0.5);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  if (pressed) {
    g.setColorAt(0, QColor(0x2c, 0x30, 0x37));
    g.setColorAt(1, QColor(0x3c, 0x41, 0x4a));
  } else if (state == kImageOn) {
    g.setColorAt(0, QColor(0x4f, 0x9a, 0x62));
    g.setColorAt(1, QColor(0x25, 0x5c, 0x36));
  } else {
    g.setColorAt(0, QColor(0x6a, 0x71, 0x7e));
    g.setColorAt(1, QColor(0x43, 0x48, 0x52));
  }
  p.setBrush(g);
  p.setPen(QPen(QColor(0x16, 0x18, 0x1c), 1));
  p.drawPath(FacePath(face, r.adjusted(0.5, 0.5, -0.5, -0.5)));
  return r;
}

QColor IconColour(int state) {
  return state == kImageOn ? kIconLit : kIcon;
}

void Triangle(QPainter& p, const QRectF& r, bool left, QColor c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  if (left) {
    p.drawPolygon(QPolygonF({QPointF(r.right(), r.top()), QPointF(r.right(), r.bottom()),
                             QPointF(r.left(), r.center().y())}));
  } else {
    p.drawPolygon(QPolygonF({QPointF(r.left(), r.top()), QPointF(r.left(), r.bottom()),
                             QPointF(r.right(), r.center().y())}));
  }
}

// The icon area of a triangular face: its inner third, towards the base.
QRectF TriangleInner(const QRectF& r, bool left) {
  const qreal w = r.width() * 0.42;
  const qreal h = r.height() * 0.34;
  const qreal x = left ? r.right() - r.width() * 0.2 - w : r.left() + r.width() * 0.2;
  return QRectF(x, r.center().y() - h / 2, w, h);
}

void DoubleTriangle(QPainter& p, const QRectF& r, bool left, QColor c) {
  const qreal half = r.width() / 2;
  Triangle(p, QRectF(r.left(), r.top(), half, r.height()), left, c);
  Triangle(p, QRectF(r.left() + half, r.top(), half, r.height()), left, c);
}

void TransportButton(QPainter& p, int k, int state, const QRectF& box) {
  const int box3 = kBoxRewind + k;
  const QColor c = IconColour(state);
  switch (box3) {
    case kBoxRewind: {
      const QRectF r = Button(p, Face::kTriangleLeft, state, box, true);
      DoubleTriangle(p, TriangleInner(r, true), true, c);
      return;
    }
    case kBoxFastForward: {
      const QRectF r = Button(p, Face::kTriangleRight, state, box, true);
      DoubleTriangle(p, TriangleInner(r, false), false, c);
      return;
    }
    case kBoxStop: {
      const QRectF r = Button(p, Face::kRound, state, box, true);
      const qreal s = r.width() * 0.36;
      p.fillRect(QRectF(r.center().x() - s / 2, r.center().y() - s / 2, s, s), c);
      return;
    }
    case kBoxPreview: {
      const QRectF r = Button(p, Face::kRound, state, box, true);
      // An eye: look before playing.
      const QRectF eye(r.center().x() - r.width() * 0.32, r.center().y() - r.height() * 0.16,
                       r.width() * 0.64, r.height() * 0.32);
      QPainterPath lid;
      lid.moveTo(eye.left(), eye.center().y());
      lid.quadTo(eye.center().x(), eye.top() - eye.height() * 0.6, eye.right(), eye.center().y());
      lid.quadTo(eye.center().x(), eye.bottom() + eye.height() * 0.6, eye.left(), eye.center().y());
      p.setPen(QPen(c, 2));
      p.setBrush(Qt::NoBrush);
      p.drawPath(lid);
      p.setPen(Qt::NoPen);
      p.setBrush(c);
      p.drawEllipse(eye.center(), eye.height() * 0.42, eye.height() * 0.42);
      return;
    }
    default: {
      // Play and Follow, Play File, Play Performance: a play triangle with a
      // mark for what plays: an ear (following), a page, a recording dot.
      const QRectF r = Button(p, Face::kTriangleRight, state, box, true);
      const QRectF in = TriangleInner(r, false);
      p.setPen(QPen(c, box3 == kBoxPlayAndFollow ? 2 : 1.5));
      p.setBrush(Qt::NoBrush);
      if (box3 == kBoxPlayAndFollow) {
        // A note: the accompaniment follows the soloist's notes.
        const QRectF n = in.adjusted(0, -in.height() * 0.55, 0, in.height() * 0.35);
        const qreal rx = n.width() * 0.24;
        const qreal ry = n.height() * 0.13;
        const QPointF head(n.left() + rx + 1, n.bottom() - ry);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.save();
        p.translate(head);
        p.rotate(-20);
        p.drawEllipse(QPointF(0, 0), rx, ry);
        p.restore();
        const qreal stem = head.x() + rx * 0.85;
        p.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(stem, head.y()), QPointF(stem, n.top()));
        QPainterPath flag;
        flag.moveTo(stem, n.top());
        flag.cubicTo(stem + n.width() * 0.1, n.top() + n.height() * 0.25, stem + n.width() * 0.55,
                     n.top() + n.height() * 0.25, stem + n.width() * 0.35,
                     n.top() + n.height() * 0.6);
        p.setBrush(Qt::NoBrush);
        p.drawPath(flag);
      } else if (box3 == kBoxPlayFile) {
        // A page of the score: the file as written.
        const QRectF page = in.adjusted(in.width() * 0.1, -in.height() * 0.3, -in.width() * 0.15,
                                        in.height() * 0.3);
        p.setPen(QPen(c, 1.2));
        p.drawRect(page);
        for (int line = 1; line <= 3; ++line) {
          const qreal y = page.top() + page.height() * line / 4;
          p.drawLine(QPointF(page.left() + 1.5, y), QPointF(page.right() - 1.5, y));
        }
      } else {
        p.setPen(Qt::NoPen);
        p.setBrush(state == kImageOn ? kIconLit : QColor(0xf0, 0x6a, 0x5c));
        const qreal d = std::min(in.width(), in.height()) * 0.8;
        p.drawEllipse(QRectF(in.left(), in.center().y() - d / 2, d, d));
      }
      return;
    }
  }
}

void LoopButton(QPainter& p, int box, int state, const QRectF& area) {
  const QColor c = IconColour(state);
  if (box == kBoxBackwardScroll || box == kBoxForwardScroll) {
    const bool left = box == kBoxBackwardScroll;
    const QRectF r =
        Button(p, left ? Face::kTriangleLeft : Face::kTriangleRight, state, area, true);
    Triangle(p, TriangleInner(r, left), left, c);
    return;
  }
  const QRectF r = Button(p, Face::kRound, state, area, true);
  const QRectF in =
      r.adjusted(r.width() * 0.25, r.height() * 0.25, -r.width() * 0.25, -r.height() * 0.25);
  p.setPen(QPen(c, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  p.setBrush(Qt::NoBrush);
  if (box == kBoxLoopMode) {
    p.drawArc(in, 60 * 16, 300 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const QPointF tip(in.center().x() + in.width() * 0.25, in.top());
    p.drawPolygon(QPolygonF({tip + QPointF(-1, -4), tip + QPointF(5, 0), tip + QPointF(-1, 4)}));
    return;
  }
  // Set Loop Start "[" and Set Loop End "]", each with a marker line.
  const bool start = box == kBoxSetLoopStart;
  const qreal x = start ? in.left() : in.right();
  const qreal inward = start ? 5 : -5;
  p.drawPolyline(QPolygonF({QPointF(x + inward, in.top()), QPointF(x, in.top()),
                            QPointF(x, in.bottom()), QPointF(x + inward, in.bottom())}));
  p.setBrush(c);
  p.setPen(Qt::NoPen);
  const qreal cx = start ? in.left() + 8 : in.right() - 8;
  const qreal dir = start ? 1 : -1;
  p.drawPolygon(QPolygonF({QPointF(cx, in.center().y() - 4), QPointF(cx, in.center().y() + 4),
                           QPointF(cx + dir * 6, in.center().y())}));
}

void Metronome(QPainter& p, int state, const QRectF& area) {
  const QRectF r = Button(p, Face::kRound, state, area, true);
  const QColor c = IconColour(state);
  const QRectF in =
      r.adjusted(r.width() * 0.28, r.height() * 0.18, -r.width() * 0.28, -r.height() * 0.18);
  p.setPen(QPen(c, 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawPolygon(QPolygonF({QPointF(in.left() + in.width() * 0.3, in.top()),
                           QPointF(in.right() - in.width() * 0.3, in.top()),
                           QPointF(in.right(), in.bottom()), QPointF(in.left(), in.bottom())}));
  p.drawLine(QPointF(in.center().x(), in.bottom() - 2), QPointF(in.right() - 1, in.top() + 2));
  p.setBrush(c);
  p.drawEllipse(QPointF(in.center().x() + in.width() * 0.22, in.center().y() - 1), 2, 2);
}

void MoreTracksButton(QPainter& p, bool forward, int state, const QRectF& area) {
  const QRectF r = Button(p, Face::kRound, state == kImageOn ? 0 : state, area, false);
  const QColor c = state == kImageOn ? kIconInactive : kIcon;
  Triangle(p, r.adjusted(3.5, 3, -3.5, -3), !forward, c);
}

// A groove: the track a slider's thumb runs in.
void Groove(QPainter& p, const QRectF& r) {
  p.fillRect(r, QColor(0x14, 0x16, 0x1a));
  p.setPen(QPen(QColor(255, 255, 255, 45), 1));
  p.drawLine(QPointF(r.left() + 0.5, r.bottom() - 0.5), QPointF(r.right() - 0.5, r.bottom() - 0.5));
  p.drawLine(QPointF(r.right() - 0.5, r.top() + 0.5), QPointF(r.right() - 0.5, r.bottom() - 0.5));
}

void Thumb(QPainter& p, const QRectF& r, bool round) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, QColor(0xf2, 0xf3, 0xf5));
  g.setColorAt(0.5, QColor(0xb8, 0xbd, 0xc6));
  g.setColorAt(1, QColor(0x80, 0x86, 0x91));
  p.setBrush(g);
  p.setPen(QPen(QColor(0x1a, 0x1c, 0x20), 1));
  const QRectF in = r.adjusted(0.5, 0.5, -0.5, -0.5);
  if (round) {
    p.drawRoundedRect(in, 4, 4);
    p.setPen(QPen(QColor(0x40, 0x44, 0x4c), 1));
    p.drawLine(QPointF(r.center().x(), r.top() + 4), QPointF(r.center().x(), r.bottom() - 4));
  } else {
    p.drawRoundedRect(in, 2, 2);
    p.setPen(QPen(QColor(0xd0, 0x3a, 0x2c), 1));
    p.drawLine(QPointF(r.left() + 3, r.center().y()), QPointF(r.right() - 3, r.center().y()));
  }
}

// A small LED lamp for the track strips' status buttons.
void Lamp(QPainter& p, const QRectF& r, QColor on, bool lit, int state) {
  const QRectF in =
      r.adjusted(0.5, 0.5, -0.5, -0.5)
          .translated(state == kImagePressed ? 0.5 : 0, state == kImagePressed ? 0.5 : 0);
  p.setPen(QPen(QColor(0x10, 0x11, 0x14), 1));
  QColor face = lit ? on : QColor(0x2a, 0x2d, 0x33);
  if (state == kImagePressed) face = face.darker(140);
  QLinearGradient g(in.topLeft(), in.bottomLeft());
  g.setColorAt(0, face.lighter(lit ? 135 : 120));
  g.setColorAt(1, face);
  p.setBrush(g);
  p.drawRoundedRect(in, 3, 3);
}

// Seven segments a-g of a digit: which are on.
constexpr std::array<uint8_t, 10> kSegments = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                               0x6D, 0x7D, 0x07, 0x7F, 0x6F};

void Segments(QPainter& p, const QRectF& r, uint8_t on) {
  const qreal t = std::max<qreal>(2, r.width() * 0.17);  // segment thickness
  const qreal l = r.left(), rt = r.right(), top = r.top(), bot = r.bottom();
  const qreal mid = (top + bot) / 2;
  auto horizontal = [&](qreal y) {
    return QPolygonF({QPointF(l + t * 0.6, y), QPointF(l + t * 1.1, y - t / 2),
                      QPointF(rt - t * 1.1, y - t / 2), QPointF(rt - t * 0.6, y),
                      QPointF(rt - t * 1.1, y + t / 2), QPointF(l + t * 1.1, y + t / 2)});
  };
  auto vertical = [&](qreal x, qreal y0, qreal y1) {
    return QPolygonF({QPointF(x, y0 + t * 0.6), QPointF(x + t / 2, y0 + t * 1.1),
                      QPointF(x + t / 2, y1 - t * 1.1), QPointF(x, y1 - t * 0.6),
                      QPointF(x - t / 2, y1 - t * 1.1), QPointF(x - t / 2, y0 + t * 1.1)});
  };
  const std::array<QPolygonF, 7> segments = {horizontal(top + t / 2),
                                             vertical(rt - t / 2, top + t / 2, mid),
                                             vertical(rt - t / 2, mid, bot - t / 2),
                                             horizontal(bot - t / 2),
                                             vertical(l + t / 2, mid, bot - t / 2),
                                             vertical(l + t / 2, top + t / 2, mid),
                                             horizontal(mid)};
  p.setPen(Qt::NoPen);
  for (size_t i = 0; i < segments.size(); ++i) {
    p.setBrush((on >> i) & 1 ? kSegmentOn : kSegmentOff);
    p.drawPolygon(segments[i]);
  }
}

}  // namespace

void DrawSkin(QPainter& p, int element, int state, const QRectF& box) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  if (element >= kSkinRewind && element <= kSkinRewind + 6) {
    TransportButton(p, element - kSkinRewind, state, box);
  } else if (element >= kSkinSetLoopStart && element <= kSkinSetLoopStart + 4) {
    LoopButton(p, kBoxSetLoopStart + (element - kSkinSetLoopStart), state, box);
  } else {
    switch (element) {
      case kSkinTitle:
        Panel(p, box, QColor(0x45, 0x3c, 0x33), QColor(0x2e, 0x28, 0x22));
        break;
      case kSkinMainTransport:
      case kSkinSongPosition:
      case kSkinCurrentTempo:
      case kSkinMasterTempo:
      case kSkinMasterVolume:
      case kSkinMeasureBeat:
      case kSkinTracksLeft:
      case kSkinTracksRight:
        Panel(p, box, QColor(0x41, 0x46, 0x4f), QColor(0x2a, 0x2e, 0x34));
        break;
      case kSkinTrackStrip:
        Panel(p, box, QColor(0x38, 0x3c, 0x44), QColor(0x26, 0x29, 0x2e));
        break;
      case kSkinSongThumb:
        Thumb(p, box, true);
        break;
      case kSkinThumb:
        Thumb(p, box, false);
        break;
      case kSkinSongBar:
      case kSkinMasterIndicator:
      case kSkinVolumeIndicator:
        Groove(p, box);
        break;
      case kSkinMetronome:
        Metronome(p, state, box);
        break;
      case kSkinMoreTracksBack:
      case kSkinMoreTracksForward:
        MoreTracksButton(p, element == kSkinMoreTracksForward, state, box);
        break;
      case kSkinTrackPlays:
      case kSkinTrackOff:
        Lamp(p, box, QColor(0x3c, 0xd0, 0x64), element == kSkinTrackPlays, state);
        break;
      case kSkinTrackFollowed:
      case kSkinTrackNotFollowed:
        Lamp(p, box, QColor(0xf0, 0xa8, 0x30), element == kSkinTrackFollowed, state);
        break;
      default:
        break;
    }
  }
  p.restore();
}

void DrawDigitCell(QPainter& p, bool large, int digit, const QRectF& box) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(box, kLcdBack);
  const qreal mx = large ? 3 : 2.5;
  const qreal my = large ? 4 : 3.5;
  Segments(p, box.adjusted(mx, my, -mx, -my),
           digit < 0 ? 0 : kSegments[static_cast<size_t>(digit)]);
  p.restore();
}

void DrawColon(QPainter& p, bool large, const QRectF& box) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(box, kLcdBack);
  p.setPen(Qt::NoPen);
  p.setBrush(kSegmentOn);
  const qreal d = large ? 3 : 2.4;
  const qreal cx = box.center().x();
  p.drawEllipse(QPointF(cx, box.top() + box.height() * 0.33), d / 2 + 0.2, d / 2 + 0.2);
  p.drawEllipse(QPointF(cx, box.top() + box.height() * 0.67), d / 2 + 0.2, d / 2 + 0.2);
  p.restore();
}

void DrawPicture(QPainter& p, const QRectF& box, const QStringList& lines) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(box.topLeft(), box.bottomLeft());
  sky.setColorAt(0, QColor(0x2b, 0x3a, 0x55));
  sky.setColorAt(0.62, QColor(0xd9, 0x9a, 0x5b));
  sky.setColorAt(1, QColor(0xf3, 0xe3, 0xc4));
  p.fillRect(box, sky);
  // A staff across the picture with a phrase of notes rising over it.
  const qreal top = box.top() + box.height() * 0.30;
  const qreal gap = 9;
  p.setPen(QPen(QColor(255, 255, 255, 150), 1.2));
  for (int line = 0; line < 5; ++line) {
    p.drawLine(QPointF(box.left() + 24, top + line * gap),
               QPointF(box.right() - 24, top + line * gap));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xff, 0xf6, 0xe6));
  constexpr int kSteps[] = {6, 5, 4, 3, 4, 2, 1, 0, 1, -1};
  for (int i = 0; i < 10; ++i) {
    const QPointF head(box.left() + 60 + i * 30, top + kSteps[i] * gap / 2 + gap * 1.0);
    p.save();
    p.translate(head);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), 5.5, 4);
    p.restore();
    p.fillRect(QRectF(head.x() + 4.2, head.y() - 28, 1.6, 28), QColor(0xff, 0xf6, 0xe6));
  }
  QFont title = p.font();
  title.setPixelSize(46);
  title.setBold(true);
  p.setFont(title);
  p.setPen(QColor(0x1d, 0x21, 0x27));
  p.drawText(QRectF(box.left(), box.top() + box.height() * 0.52, box.width(), 60), Qt::AlignHCenter,
             QStringLiteral("Tuttiro"));
  QFont text = p.font();
  text.setPixelSize(13);
  text.setBold(false);
  p.setFont(text);
  p.setPen(Qt::black);
  const qreal lineHeight = 18;
  qreal y = box.bottom() - 14 - lineHeight * lines.size();
  for (const QString& line : lines) {
    p.drawText(QRectF(box.left(), y, box.width(), lineHeight), Qt::AlignHCenter | Qt::AlignVCenter,
               line);
    y += lineHeight;
  }
  p.restore();
}

QPixmap BackgroundTile(qreal devicePixelRatio) {
  QPixmap tile(QSize(64, 64) * devicePixelRatio);
  tile.setDevicePixelRatio(devicePixelRatio);
  tile.fill(QColor(0x1d, 0x21, 0x27));
  QPainter p(&tile);
  p.setRenderHint(QPainter::Antialiasing);
  // A faint staff across the tile, and a dot grid.
  p.setPen(QPen(QColor(0x25, 0x2a, 0x31), 1));
  for (int line = 0; line < 5; ++line)
    p.drawLine(QPointF(0, 20.5 + line * 6), QPointF(64, 20.5 + line * 6));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2a, 0x30, 0x38));
  p.drawEllipse(QPointF(8, 8), 1, 1);
  p.drawEllipse(QPointF(40, 56), 1, 1);
  return tile;
}

QColor GrooveFill() {
  return QColor(0x55, 0x5b, 0x66);
}

}  // namespace tuttiro
