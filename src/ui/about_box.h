// The About box: the program's name, its version and what it does.
#pragma once

class QWidget;

namespace tuttiro {

void ShowAboutBox(QWidget* parent);

}  // namespace tuttiro
