#pragma once
// The monitor's own small images, drawn at run time so that no image file has
// to travel with the program.
#include <QIcon>

namespace velmora::app {

QIcon ApplicationIcon();   // the window, the tray and the message boxes
QIcon RestartIcon();       // "Reiniciar"
QIcon ResetIcon();         // "Zerar Valores"
QIcon MinimizeIcon();      // "Minimizar"

}   // namespace velmora::app
