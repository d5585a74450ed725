// The About box: the picture in a 1-pixel black frame.
#include "ui/about_box.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPainter>

#include "ui/views/skins.h"

namespace tuttiro {
namespace {

class AboutBox : public QDialog {
 public:
  explicit AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Tuttiro"));
    setFixedSize(kPictureWidth + 2, kPictureHeight + 2);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    DrawPicture(p, QRectF(1, 1, kPictureWidth, kPictureHeight), AboutLines());
  }
  void mousePressEvent(QMouseEvent*) override { accept(); }
  void keyPressEvent(QKeyEvent*) override { accept(); }
};

}  // namespace

QStringList AboutLines() {
  return {QStringLiteral("Tuttiro %1").arg(QStringLiteral(TUTTIRO_VERSION)),
          QStringLiteral("An accompaniment player that follows your playing")};
}

void ShowAboutBox(QWidget* parent) {
  AboutBox box(parent);
  box.exec();
}

}  // namespace tuttiro
