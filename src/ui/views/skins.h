// The views' artwork, drawn in code: every skin element at the size of its
// layout box, as vectors, so that it stays crisp at any device pixel ratio.
// One look throughout: dark brushed panels with a drop shadow, raised buttons
// whose faces take the shape of their hit areas, green LCD digits and metal
// slider thumbs.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPixmap>
#include <QRectF>
#include <QStringList>

namespace tuttiro {

// Skin element `element` (5000-5059) in image state `state` (0 normal, 100
// pressed, 200 lit or inactive), filling `box`.
void DrawSkin(QPainter& p, int element, int state, const QRectF& box);
// One digit cell: a digit 0-9, or -1 for a blank cell.
void DrawDigitCell(QPainter& p, bool large, int digit, const QRectF& box);
void DrawColon(QPainter& p, bool large, const QRectF& box);
// The picture of the startup screen and the About box (400 x 350): a stage
// with a staff of notes and the program's name; `lines` are written in black
// near its bottom.
inline constexpr int kPictureWidth = 400;
inline constexpr int kPictureHeight = 350;
void DrawPicture(QPainter& p, const QRectF& box, const QStringList& lines);
// The window's background tile (64 x 64 logical pixels).
QPixmap BackgroundTile(qreal devicePixelRatio);
// The fill of a slider's groove above its thumb.
QColor GrooveFill();

}  // namespace tuttiro
