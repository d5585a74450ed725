// The About box.
#include "ui/about_box.h"

#include <QMessageBox>

namespace tuttiro {

void ShowAboutBox(QWidget* parent) {
  QMessageBox::about(parent, QStringLiteral("About Tuttiro"),
                     QStringLiteral("<h3>Tuttiro %1</h3>"
                                    "<p>An accompaniment player that listens to you: it plays the "
                                    "accompaniment of a Standard MIDI File and follows your tempo, "
                                    "your pauses and your jumps as you play the solo part.</p>")
                         .arg(QStringLiteral(TUTTIRO_VERSION)));
}

}  // namespace tuttiro
