// Drawing the views and forwarding the mouse to them.
#include "ui/views/views_widget.h"

#include <QCursor>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>

#include "app/app.h"
#include "ui/about_box.h"
#include "ui/qt_host.h"
#include "ui/views/skins.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

constexpr int kShadow = 2;
constexpr int kNameOverhang = 16;  // a track name may reach into its neighbours
const QColor kText(0xe4, 0xe7, 0xec);
const QColor kCaption(0x9c, 0xa4, 0xb2);

QRect ToRect(const LayoutBox& b) {
  return QRect(b.left, b.top, b.Width(), b.Height());
}

bool Touches(const LayoutBox& b, const QRect& dirty) {
  return ToRect(b).intersects(dirty);
}

// The caption printed at the top of the panels that have room for one.
const char* Caption(int view) {
  switch (view) {
    case kViewCurrentTempo:
      return "TEMPO  BPM";
    case kViewMasterTempo:
      return "MASTER TEMPO";
    case kViewMeasureBeat:
      return "MEASURE : BEAT";
    case kViewMasterVolume:
      return "MASTER VOLUME";
    default:
      return nullptr;
  }
}

}  // namespace

ViewsWidget::ViewsWidget(AppRec& app, const QtHost& host, Runner run, QWidget* parent)
    : QWidget(parent), app_(app), host_(host), run_(std::move(run)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(kDesignWidth, 400);
  titleFont_ = font();
  titleFont_.setPixelSize(16);
  titleFont_.setBold(true);
  trackFont_ = font();
  trackFont_.setPixelSize(9);
  labelFont_ = font();
  labelFont_.setPixelSize(8);
  labelFont_.setBold(true);
  const QFontMetrics title(titleFont_);
  const QFontMetrics track(trackFont_);
  app_.views.measureTitle = [title](const std::string& s) {
    return title.horizontalAdvance(QString::fromStdString(s));
  };
  app_.views.measureTrackName = [track](const std::string& s) {
    return track.horizontalAdvance(QString::fromStdString(s));
  };
}

QRect ViewsWidget::ClientRectOf(int view, const LayoutBox& box) const {
  const LayoutBox f = ViewFrame(app_.views, view);
  return ToRect(box.Moved(f.left, f.top));
}

void ViewsWidget::MarkDirty(int view, const QRect& area) {
  images_[static_cast<size_t>(view)].dirty += area;
  const LayoutBox f = ViewFrame(app_.views, view);
  update(area.translated(f.left, f.top));
  waiting_ = true;
}

void ViewsWidget::InvalidateBox(int box) {
  const int view = ViewOfBox(box);
  if (view == kNoView || !app_.views.laidOut) return;
  if (box == kViewTable[static_cast<size_t>(view)].frameBox) {
    const LayoutBox b = ViewBounds(app_.views, view);
    MarkDirty(view, QRect(0, 0, b.Width(), b.Height()));
    return;
  }
  if (view == kViewTracks && box > kBoxMoreTracksForward) return;
  LayoutBox area = DirtyAreaOfBox(app_.views, box);
  if (box == kBoxMoreTracksForward) area = area.Moved(app_.views.boxes[kBoxTracksRight].left, 0);
  MarkDirty(view, ToRect(area));
}

void ViewsWidget::InvalidateTrackStrip(int track) {
  const ViewsRec& v = app_.views;
  const int i = track - v.firstStripTrack;
  if (!v.laidOut || i < 0 || i >= v.stripCount) return;
  const int32_t left = v.boxes[kBoxTracksLeft].right + i * StripPitch();
  MarkDirty(kViewTracks, QRect(left - kNameOverhang, 0, StripPitch() + 2 * kNameOverhang,
                               kLayoutTable[kBoxTrackStrip].Height()));
}

void ViewsWidget::InvalidateViews() {
  update();
  waiting_ = true;
}

void ViewsWidget::PaintNowIfDirty() {
  if (waiting_) repaint();
}

void ViewsWidget::CancelGesture() {
  if (!ViewsGestureActive(app_)) return;
  run_([this] { ViewsCancelGesture(app_); });
  update();
}

void ViewsWidget::ShowStartupPicture(int ms) {
  startupPicture_ = true;
  update();
  QTimer::singleShot(ms, this, [this] {
    startupPicture_ = false;
    update();
  });
}

void ViewsWidget::resizeEvent(QResizeEvent* event) {
  ViewsResize(app_, width(), height());
  QWidget::resizeEvent(event);
}

void ViewsWidget::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  PaintAll(p, event->region());
}

void ViewsWidget::PaintAll(QPainter& p, const QRegion& region) {
  waiting_ = false;
  const qreal dpr = p.device()->devicePixelRatioF();
  if (tile_.isNull() || tile_.devicePixelRatio() != dpr) tile_ = BackgroundTile(dpr);
  const ViewsRec& v = app_.views;
  QRegion background = region;
  std::array<QRect, kViewCount> shown{};
  if (startupPicture_) {
    p.drawTiledPixmap(rect(), tile_);
    const QRect picture((width() - kPictureWidth) / 2, (height() - kPictureHeight) / 3,
                        kPictureWidth, kPictureHeight);
    p.fillRect(picture.adjusted(-1, -1, 1, 1), Qt::black);
    DrawPicture(p, picture, AboutLines());
    return;
  }
  if (v.laidOut) {
    for (int z = 0; z < kViewCount; ++z) {
      const int view = app_.live.viewOrder[static_cast<size_t>(z)];
      if (view >= kViewCount || !app_.live.viewVisible[static_cast<size_t>(view)]) continue;
      shown[static_cast<size_t>(z)] = ToRect(ViewBounds(v, view));
      // The corners the shadow leaves open show the background.
      const LayoutBox f = ViewFrame(v, view);
      background -= QRegion(ToRect(f)) + QRegion(ToRect(f.Moved(kShadow, kShadow)));
    }
  }
  for (const QRect& r : background) p.drawTiledPixmap(r, tile_, r.topLeft());
  if (!v.laidOut) return;
  for (int z = kViewCount - 1; z >= 0; --z) {
    const QRect r = shown[static_cast<size_t>(z)];
    if (r.isEmpty() || !region.intersects(r)) continue;
    const int view = app_.live.viewOrder[static_cast<size_t>(z)];
    Compose(view, dpr);
    p.drawImage(r.topLeft(), images_[static_cast<size_t>(view)].image);
  }
  const GestureRec& g = v.gesture;
  if (g.kind == GestureKind::kViewDrag) {
    const QRect outline = ToRect(ViewBounds(v, g.view))
                              .translated(g.current.x - g.press.x, g.current.y - g.press.y)
                              .adjusted(0, 0, -1, -1);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(outline);
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawRect(outline);
  } else if (g.kind == GestureKind::kSlider && g.outline) {
    p.setPen(QPen(Qt::white, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(ClientRectOf(g.view, g.slider.thumb).adjusted(0, 0, -1, -1));
  }
}

void ViewsWidget::Compose(int view, qreal dpr) {
  ViewImage& vi = images_[static_cast<size_t>(view)];
  const LayoutBox b = ViewBounds(app_.views, view);
  const QSize size(qRound(b.Width() * dpr), qRound(b.Height() * dpr));
  if (vi.image.size() != size || vi.image.devicePixelRatio() != dpr) {
    vi.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    vi.image.setDevicePixelRatio(dpr);
    vi.dirty = QRect(0, 0, b.Width(), b.Height());
  }
  if (vi.dirty.isEmpty()) return;
  QPainter p(&vi.image);
  p.setClipRegion(vi.dirty);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(vi.dirty.boundingRect(), Qt::transparent);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  DrawView(p, view, vi.dirty.boundingRect());
  vi.dirty = QRegion();
}

void ViewsWidget::DrawView(QPainter& p, int view, const QRect& dirty) {
  const LayoutBox f = ViewFrame(app_.views, view);
  const QRect frame(0, 0, f.Width(), f.Height());
  p.fillRect(QRect(kShadow, frame.height(), frame.width(), kShadow), Qt::black);
  p.fillRect(QRect(frame.width(), kShadow, kShadow, frame.height()), Qt::black);
  if (view != kViewTracks) {
    DrawSkin(p, kViewTable[static_cast<size_t>(view)].background, kImageNormal, frame);
    if (const char* caption = Caption(view)) {
      p.setFont(labelFont_);
      p.setPen(kCaption);
      p.drawText(QRect(8, 5, frame.width() - 16, 14), Qt::AlignLeft | Qt::AlignVCenter,
                 QString::fromLatin1(caption));
    }
  }
  switch (view) {
    case kViewTitle:
      DrawTitle(p);
      break;
    case kViewMainTransport:
      DrawMainTransport(p, dirty);
      break;
    case kViewSongPosition:
      DrawSongPosition(p, dirty);
      break;
    case kViewCurrentTempo:
      DrawCurrentTempo(p, dirty);
      break;
    case kViewMasterTempo:
    case kViewMasterVolume:
      DrawMasterSlider(p, view, dirty);
      break;
    case kViewMeasureBeat:
      DrawMeasureBeat(p, dirty);
      break;
    default:
      DrawTracks(p, dirty);
      break;
  }
}

void ViewsWidget::DrawTitle(QPainter& p) {
  const LayoutBox& box = app_.views.boxes[kBoxTitleText];
  p.setFont(titleFont_);
  p.setPen(QColor(0xf4, 0xe8, 0xcc));
  p.drawText(
      QRect(box.left, box.top - 2, kLayoutTable[kBoxTitleText].Width() + 8, box.Height() + 4),
      Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(app_.views.title));
}

void ViewsWidget::DrawButton(QPainter& p, int box, const QRect& dirty) {
  const LayoutBox& b = app_.views.boxes[static_cast<size_t>(box)];
  if (!Touches(b, dirty)) return;
  const int state =
      host_.Flashing(box) ? kImagePressed : app_.views.boxImage[static_cast<size_t>(box)];
  DrawSkin(p, ButtonSkin(box), state, ToRect(b));
}

void ViewsWidget::DrawCells(QPainter& p, int firstBox, int cells, int32_t value, bool large,
                            bool right, const QRect& dirty) {
  const std::vector<int> digits = value < 0 ? std::vector<int>(static_cast<size_t>(cells), -1)
                                            : DigitCells(value, cells, right);
  for (int i = 0; i < cells; ++i) {
    const LayoutBox& b = app_.views.boxes[static_cast<size_t>(firstBox + i)];
    if (Touches(b, dirty)) DrawDigitCell(p, large, digits[static_cast<size_t>(i)], ToRect(b));
  }
}

void ViewsWidget::DrawMainTransport(QPainter& p, const QRect& dirty) {
  for (int box = kBoxRewind; box <= kBoxFastForward; ++box) DrawButton(p, box, dirty);
}

namespace {

// The part of a vertical indicator above its thumb (inset by a pixel) is filled:
// the room the value still has to grow.
void FillAboveThumb(QPainter& p, const QRect& indicator, const LayoutBox& thumb) {
  const QRect inside = indicator.adjusted(1, 1, -1, -1);
  if (thumb.top > inside.top()) {
    p.fillRect(QRect(inside.left(), inside.top(), inside.width(), thumb.top - inside.top()),
               GrooveFill());
  }
}

}  // namespace

void ViewsWidget::DrawSongPosition(QPainter& p, const QRect& dirty) {
  const ViewsRec& v = app_.views;
  const PositionDisplayRec& d = app_.views.displays;
  if (Touches(v.boxes[kBoxSongBar], dirty)) {
    DrawSkin(p, kSkinSongBar, kImageNormal, ToRect(v.boxes[kBoxSongBar]));
    const GestureRec& g = v.gesture;
    const bool dragged =
        g.kind == GestureKind::kSlider && g.slider.kind == SliderKind::kSongPosition;
    const LayoutBox thumb = dragged && !g.outline ? g.slider.thumb : SongThumbShown(app_);
    // The whole travel is the groove the thumb runs in.
    p.fillRect(ToRect(v.boxes[kBoxSongTravel]).adjusted(1, 1, -1, -1), GrooveFill());
    DrawSkin(p, kSkinSongThumb, kImageNormal, ToRect(thumb));
  }
  for (int box = kBoxSetLoopStart; box <= kBoxForwardScroll; ++box) DrawButton(p, box, dirty);
  DrawCells(p, kBoxLoopStart, 4, d.loopStartMeasure, false, true, dirty);
  DrawCells(p, kBoxLoopStartBeat, 2, d.loopStartBeat, false, false, dirty);
  DrawCells(p, kBoxLoopEnd, 4, d.loopEndMeasure, false, true, dirty);
  DrawCells(p, kBoxLoopEndBeat, 2, d.loopEndBeat, false, false, dirty);
  for (int colon : {kBoxLoopStartColon, kBoxLoopEndColon}) {
    if (Touches(v.boxes[static_cast<size_t>(colon)], dirty)) {
      DrawColon(p, false, ToRect(v.boxes[static_cast<size_t>(colon)]));
    }
  }
}

void ViewsWidget::DrawCurrentTempo(QPainter& p, const QRect& dirty) {
  DrawButton(p, kBoxMetronome, dirty);
  DrawCells(p, kBoxTempoDigits, 3, std::min(app_.views.displays.bpm, 999), true, true, dirty);
}

void ViewsWidget::DrawMasterSlider(QPainter& p, int view, const QRect& dirty) {
  const ViewsRec& v = app_.views;
  const bool tempo = view == kViewMasterTempo;
  const int indicator = tempo ? kBoxMasterIndicator : kBoxVolumeIndicator;
  const int digits = tempo ? kBoxMasterDigits : kBoxVolumeDigits;
  const int32_t value = tempo ? app_.engine.clock.tempoFactor.load() : app_.live.masterVolume;
  DrawCells(p, digits, 3, tempo ? TempoPercent(value) : VolumePercent(value), true, true, dirty);
  const LayoutBox& last = v.boxes[static_cast<size_t>(digits + 2)];
  p.setFont(labelFont_);
  p.setPen(kCaption);
  p.drawText(QRect(last.right + 2, last.top, 20, last.Height()), Qt::AlignLeft | Qt::AlignBottom,
             QStringLiteral("%"));
  const LayoutBox& ind = v.boxes[static_cast<size_t>(indicator)];
  if (!Touches(ind, dirty)) return;
  const GestureRec& g = v.gesture;
  const SliderKind kind = tempo ? SliderKind::kMasterTempo : SliderKind::kMasterVolume;
  const bool dragged = g.kind == GestureKind::kSlider && g.slider.kind == kind;
  const LayoutBox thumb =
      dragged ? g.slider.thumb : (tempo ? MasterTempoThumb(value) : MasterVolumeThumb(value));
  DrawSkin(p, tempo ? kSkinMasterIndicator : kSkinVolumeIndicator, kImageNormal, ToRect(ind));
  DrawSkin(p, kSkinThumb, kImageNormal, ToRect(thumb));
  FillAboveThumb(p, ToRect(ind), thumb);
}

void ViewsWidget::DrawMeasureBeat(QPainter& p, const QRect& dirty) {
  DrawCells(p, kBoxMeasureDigits, 4, app_.views.displays.measure, true, true, dirty);
  DrawCells(p, kBoxBeatDigits, 2, app_.views.displays.beat, true, false, dirty);
  const LayoutBox& colon = app_.views.boxes[kBoxMeasureColon];
  if (Touches(colon, dirty)) DrawColon(p, true, ToRect(colon));
}

void ViewsWidget::DrawTracks(QPainter& p, const QRect& dirty) {
  const ViewsRec& v = app_.views;
  const LayoutBox& left = v.boxes[kBoxTracksLeft];
  const LayoutBox& right = v.boxes[kBoxTracksRight];
  if (Touches(left, dirty)) {
    DrawSkin(p, kSkinTracksLeft, kImageNormal, ToRect(left));
    QFont small = labelFont_;
    small.setPixelSize(7);
    p.setFont(small);
    p.setPen(kCaption);
    const std::pair<int, const char*> labels[] = {{kBoxPortChannel, "PORT"},
                                                  {kBoxPlayStatus, "PLAY"},
                                                  {kBoxFollowStatus, "FOLLOW"},
                                                  {kBoxTransposition, "TRSP"},
                                                  {kBoxTrackVolumeText, "VOL"}};
    for (const auto& [box, text] : labels) {
      p.drawText(QRect(2, kLayoutTable[static_cast<size_t>(box)].top, left.Width() - 4, 10),
                 Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(text));
    }
  }
  if (Touches(right, dirty)) DrawSkin(p, kSkinTracksRight, kImageNormal, ToRect(right));
  if (v.moreTracksMode) {
    DrawButton(p, kBoxMoreTracksBack, dirty);
    const LayoutBox forward = v.boxes[kBoxMoreTracksForward].Moved(right.left, 0);
    if (Touches(forward, dirty)) {
      DrawSkin(p, kSkinMoreTracksForward, v.boxImage[kBoxMoreTracksForward], ToRect(forward));
    }
  }
  const int32_t pitch = StripPitch();
  const int32_t height = kLayoutTable[kBoxTrackStrip].Height();
  for (int i = 0; i < v.stripCount; ++i) {
    const QRect strip(left.right + i * pitch, 0, pitch, height);
    if (strip.intersects(dirty)) DrawSkin(p, kSkinTrackStrip, kImageNormal, strip);
  }
  for (int i = 0; i < v.stripCount; ++i) {
    const int32_t x = left.right + i * pitch;
    const int track = v.firstStripTrack + i;
    if (track >= app_.piece.trackCount) break;
    if (QRect(x - kNameOverhang, 0, pitch + 2 * kNameOverhang, height).intersects(dirty)) {
      DrawStrip(p, track, x);
    }
  }
}

void ViewsWidget::DrawStrip(QPainter& p, int track, int32_t left) {
  const TrackValues t = StripValues(app_, track);
  const ViewsRec& v = app_.views;
  const int32_t pitch = StripPitch();
  const auto text = [&](int box, const QString& s) {
    const LayoutBox b = kLayoutTable[static_cast<size_t>(box)].Moved(left, 0);
    p.drawText(QRect(b.left - kNameOverhang, b.top - 1, pitch + 2 * kNameOverhang, b.Height() + 2),
               Qt::AlignHCenter | Qt::AlignVCenter, s);
  };
  p.setFont(trackFont_);
  p.setPen(kText);
  const QString port = t.outputPort < 8 ? QString(QChar('A' + t.outputPort)) : QStringLiteral("*");
  text(kBoxPortChannel, port + QString::number(t.outputChannel + 1));
  text(kBoxTransposition, t.transposition > 0 ? QStringLiteral("+%1").arg(t.transposition)
                                              : QString::number(t.transposition));
  text(kBoxTrackVolumeText, QStringLiteral("%1%").arg(VolumePercent(t.volume)));
  const std::array<uint16_t, 2> images = static_cast<size_t>(track) < v.stripImage.size()
                                             ? v.stripImage[static_cast<size_t>(track)]
                                             : std::array<uint16_t, 2>{};
  DrawSkin(p, t.play ? kSkinTrackPlays : kSkinTrackOff, images[0],
           ToRect(kLayoutTable[kBoxPlayStatus].Moved(left, 0)));
  const PieceSettings& live = app_.live;
  const bool followed =
      app_.system.followSource == 0 && !app_.engine.mode.playingFile.load() &&
      (track == live.followTrack1 || (live.followTwoTracks && track == live.followTrack2));
  DrawSkin(p, followed ? kSkinTrackFollowed : kSkinTrackNotFollowed, images[1],
           ToRect(kLayoutTable[kBoxFollowStatus].Moved(left, 0)));
  const GestureRec& g = v.gesture;
  const bool dragged = g.kind == GestureKind::kSlider &&
                       g.slider.kind == SliderKind::kTrackVolume && g.track == track;
  const LayoutBox thumb = dragged ? g.slider.thumb : TrackThumb(t.volume).Moved(left, 0);
  const QRect indicator = ToRect(kLayoutTable[kBoxTrackIndicator].Moved(left, 0));
  DrawSkin(p, kSkinMasterIndicator, kImageNormal, indicator);
  DrawSkin(p, kSkinThumb, kImageNormal, ToRect(thumb));
  FillAboveThumb(p, indicator, thumb);
  p.setFont(trackFont_);
  p.setPen(kText);
  const std::string name = FitTrackName(ShownName(t), v.measureTrackName);
  text(track % 2 == 0 ? kBoxTrackName1 : kBoxTrackName2, QString::fromStdString(name));
}

ViewPoint ViewsWidget::Point(const QMouseEvent* event) const {
  const QPoint p = event->position().toPoint();
  return {p.x(), p.y()};
}

void ViewsWidget::mousePressEvent(QMouseEvent* event) {
  // The views are not to be seen under the startup picture.
  if (event->button() != Qt::LeftButton || startupPicture_) {
    event->ignore();
    return;
  }
  const ViewPoint p = Point(event);
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  run_([&] { ViewsPress(app_, p, false, shift); });
}

void ViewsWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  // The views are not to be seen under the startup picture.
  if (event->button() != Qt::LeftButton || startupPicture_) {
    event->ignore();
    return;
  }
  const ViewPoint p = Point(event);
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  run_([&] { ViewsPress(app_, p, true, shift); });
}

void ViewsWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!ViewsGestureActive(app_)) {
    event->ignore();
    return;
  }
  const ViewPoint p = Point(event);
  const bool fine = event->modifiers() & Qt::ShiftModifier;
  run_([&] { ViewsMove(app_, p, fine); });
  const GestureRec& g = app_.views.gesture;
  if (g.kind == GestureKind::kViewDrag) {
    // The pointer stays inside the client area while it drags a view.
    const QPoint inside(g.current.x, g.current.y);
    if (inside != QPoint(p.x, p.y)) QCursor::setPos(mapToGlobal(inside));
  }
  if (g.kind == GestureKind::kViewDrag || g.outline) update();
}

void ViewsWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  const ViewPoint p = Point(event);
  run_([&] { ViewsRelease(app_, p); });
  update();
}

void ViewsWidget::wheelEvent(QWheelEvent* event) {
  if (startupPicture_) {
    event->ignore();
    return;
  }
  // A notch is 120; a fine-grained wheel or touchpad adds up to whole notches.
  wheelEighths_ += event->angleDelta().y();
  const int steps = wheelEighths_ / 120;
  wheelEighths_ -= steps * 120;
  const QPoint at = event->position().toPoint();
  if (steps != 0) run_([&] { ViewsWheel(app_, {at.x(), at.y()}, steps); });
  event->accept();
}

bool ViewsWidget::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const ViewPoint at{help->pos().x(), help->pos().y()};
  const int view = app_.views.laidOut
                       ? ViewAtPoint(app_.views, app_.live.viewVisible, app_.live.viewOrder, at)
                       : kNoView;
  const auto rects = ToolRects(app_.views, app_.live.viewVisible);
  for (size_t i = 0; i < rects.size() && view != kNoView; ++i) {
    if (kToolTable[i].view != view || !rects[i].Contains(at.x, at.y)) continue;
    const std::string text = ToolTipText(app_, static_cast<int>(i), at);
    QToolTip::showText(help->globalPos(), QString::fromStdString(text), this, ToRect(rects[i]));
    return true;
  }
  QToolTip::hideText();
  event->ignore();
  return true;
}

}  // namespace tuttiro
