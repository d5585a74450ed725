// The views in the main window, driven by real mouse events on the offscreen
// platform: buttons, sliders, double-clicks and drags end in the transport,
// a press cut off by a modal box or a lost focus ends cleanly, and a pressed
// button is drawn differently from a resting one.
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QToolTip>

#include "app/app.h"
#include "program_fixture.h"
#include "ui/views/skins.h"
#include "ui/views/views_widget.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

class ViewsWidgetTest : public test::MainWindowTest {
 protected:
  ViewsWidget& Views() { return *Window().Views(); }
  QPoint At(int view, int box, int dx = 0, int dy = 0) {
    const LayoutBox f = ViewFrame(App().views, view);
    const LayoutBox& b = App().views.boxes[static_cast<size_t>(box)];
    return {f.left + (b.left + b.right) / 2 + dx, f.top + (b.top + b.bottom) / 2 + dy};
  }
  QPoint AtStrip(int track, int box) {
    const LayoutBox f = ViewFrame(App().views, kViewTracks);
    const LayoutBox& b = kLayoutTable[static_cast<size_t>(box)];
    return {f.left + 40 + 35 * track + (b.left + b.right) / 2, f.top + (b.top + b.bottom) / 2};
  }
  // One mouse event as the window system delivers it.
  void Send(QEvent::Type type, QPoint p, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(p), Views().mapToGlobal(QPointF(p)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, modifiers);
    QApplication::sendEvent(&Views(), &event);
  }
  void DoubleClick(QPoint p) {
    Send(QEvent::MouseButtonPress, p);
    Send(QEvent::MouseButtonRelease, p);
    Send(QEvent::MouseButtonDblClick, p);
    Send(QEvent::MouseButtonRelease, p);
  }
};

TEST_F(ViewsWidgetTest, ClickingTheTransportButtonsPlaysAndStops) {
  QTest::mouseClick(&Views(), Qt::LeftButton, {}, At(kViewMainTransport, kBoxPlayFile));
  EXPECT_TRUE(App().engine.mode.playingFile.load());
  QTest::mouseClick(&Views(), Qt::LeftButton, {}, At(kViewMainTransport, kBoxStop));
  EXPECT_FALSE(TransportRunning(App()));
  // The transparent corner of a triangular button is no button.
  const LayoutBox f = ViewFrame(App().views, kViewMainTransport);
  QTest::mouseClick(&Views(), Qt::LeftButton, {}, QPoint(f.left + 170, f.top + 8));
  EXPECT_FALSE(TransportRunning(App()));
}

TEST_F(ViewsWidgetTest, TheMasterVolumeThumbFollowsADragAndADoubleClickResetsIt) {
  const QPoint thumb = At(kViewMasterVolume, kBoxVolumeThumb, 0, -22);
  Send(QEvent::MouseButtonPress, thumb);
  Send(QEvent::MouseMove, thumb + QPoint(0, -22));
  Send(QEvent::MouseButtonRelease, thumb + QPoint(0, -22));
  EXPECT_EQ(App().live.masterVolume, 512);
  DoubleClick(At(kViewMasterVolume, kBoxVolumeThumb, 0, -44));
  EXPECT_EQ(App().live.masterVolume, 256);
}

TEST_F(ViewsWidgetTest, ADoubleClickOnPlayStatusSolosTheTrack) {
  DoubleClick(AtStrip(1, kBoxPlayStatus));
  for (int t = 0; t < App().piece.trackCount; ++t) {
    EXPECT_EQ(App().piece.tracks[static_cast<size_t>(t)].play, t == 1 ? 1 : 0) << t;
  }
}

TEST_F(ViewsWidgetTest, AShiftDragMovesAView) {
  const LayoutBox before = ViewFrame(App().views, kViewMeasureBeat);
  const QPoint corner(before.left + 5, before.top + 5);
  Send(QEvent::MouseButtonPress, corner, Qt::ShiftModifier);
  Send(QEvent::MouseMove, corner + QPoint(25, 40), Qt::ShiftModifier);
  Send(QEvent::MouseButtonRelease, corner + QPoint(25, 40), Qt::ShiftModifier);
  EXPECT_EQ(ViewFrame(App().views, kViewMeasureBeat), before.Moved(25, 40));
}

TEST_F(ViewsWidgetTest, AHeldPreviewEndsWhenAModalBoxOrAnotherWindowTakesTheInput) {
  for (const QEvent::Type taken : {QEvent::WindowBlocked, QEvent::ActivationChange}) {
    Send(QEvent::MouseButtonPress, At(kViewMainTransport, kBoxPreview));
    ASSERT_TRUE(App().engine.mode.previewing.load());
    QEvent event(taken);
    QApplication::sendEvent(&Window(), &event);
    EXPECT_FALSE(TransportRunning(App())) << taken;
    EXPECT_FALSE(App().transport.holdGestureActive) << taken;
    EXPECT_FALSE(ViewsGestureActive(App())) << taken;
    EXPECT_EQ(App().views.boxImage[kBoxPreview], kImageNormal) << taken;
    // The release that follows elsewhere does nothing more.
    Send(QEvent::MouseButtonRelease, At(kViewMainTransport, kBoxPreview));
    EXPECT_FALSE(TransportRunning(App()));
  }
}

TEST_F(ViewsWidgetTest, APressedButtonIsDrawnPressedAndCrispAtTwiceThePixels) {
  const LayoutBox f = ViewFrame(App().views, kViewMainTransport);
  const LayoutBox& stop = App().views.boxes[kBoxStop];
  const QRect area(f.left + stop.left, f.top + stop.top, stop.Width(), stop.Height());
  const auto paint = [&](qreal dpr) {
    QImage image(Views().size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    QPainter painter(&image);
    Views().PaintAll(painter, QRegion(Views().rect()));
    return image;
  };
  const QImage resting = paint(1).copy(area);
  Send(QEvent::MouseButtonPress, At(kViewMainTransport, kBoxStop));
  const QImage pressed = paint(1).copy(area);
  Send(QEvent::MouseButtonRelease, At(kViewMainTransport, kBoxStop));
  EXPECT_NE(resting, pressed);
  EXPECT_EQ(paint(1).copy(area), resting);
  // At a device pixel ratio of 2 the views are drawn with twice the detail,
  // not as the pictures of ratio 1 scaled up.
  const QRect doubled(area.topLeft() * 2, area.size() * 2);
  const QImage sharp = paint(2).copy(doubled);
  EXPECT_EQ(sharp.size(), resting.size() * 2);
  EXPECT_NE(sharp, resting.scaled(resting.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                       .convertToFormat(sharp.format()));
}

// The indicators are filled above their thumbs, the song position's whole travel.
TEST_F(ViewsWidgetTest, TheGroovesAreFilledAboveTheThumbsAndAlongTheWholeSongTravel) {
  QImage image(Views().size(), QImage::Format_ARGB32_Premultiplied);
  {
    QPainter painter(&image);
    Views().PaintAll(painter, QRegion(Views().rect()));
  }
  const auto at = [&](int view, int box, bool top) {
    const LayoutBox f = ViewFrame(App().views, view);
    const LayoutBox& b = App().views.boxes[static_cast<size_t>(box)];
    return image.pixelColor(f.left + (b.left + b.right) / 2,
                            f.top + (top ? b.top + 2 : b.bottom - 2));
  };
  EXPECT_EQ(at(kViewMasterTempo, kBoxMasterIndicator, true), GrooveFill());
  EXPECT_NE(at(kViewMasterTempo, kBoxMasterIndicator, false), GrooveFill());
  EXPECT_EQ(at(kViewMasterVolume, kBoxVolumeIndicator, true), GrooveFill());
  const LayoutBox f = ViewFrame(App().views, kViewSongPosition);
  const LayoutBox& travel = App().views.boxes[kBoxSongTravel];
  EXPECT_EQ(image.pixelColor(f.left + travel.right - 3, f.top + (travel.top + travel.bottom) / 2),
            GrooveFill());
}

TEST_F(ViewsWidgetTest, TooltipsNameWhatIsUnderThePointerInTheFrontView) {
  const auto tip = [&](QPoint p) {
    QHelpEvent event(QEvent::ToolTip, p, Views().mapToGlobal(p));
    QApplication::sendEvent(&Views(), &event);
    return event.isAccepted() ? QToolTip::text() : QString();
  };
  EXPECT_EQ(tip(At(kViewMainTransport, kBoxStop)), QStringLiteral("Stop"));
  // A track name's tooltip is the strip's whole track name.
  EXPECT_EQ(tip(AtStrip(2, kBoxTrackName2)), QStringLiteral("Bass"));
  EXPECT_EQ(tip(At(kViewMeasureBeat, kBoxMeasureColon)), QStringLiteral("Current Location"));
  // Hidden, the view has no tooltips: the background is under the pointer.
  Item(kIdViewFirst + static_cast<int>(kViewMainTransport))->trigger();
  EXPECT_EQ(tip(At(kViewMainTransport, kBoxStop)), QString());
}

}  // namespace
}  // namespace tuttiro
