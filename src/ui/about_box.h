// The About box: the program's picture with its name and version, closed by a
// click, a key or its close button. The same lines are written on the startup
// picture.
#pragma once

#include <QStringList>

class QWidget;

namespace tuttiro {

// The program's name and version and what it does, as the picture shows them.
QStringList AboutLines();

void ShowAboutBox(QWidget* parent);

}  // namespace tuttiro
