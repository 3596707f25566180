// The SWF player window: the movie's publish page shown by Qt WebEngine, with the page, the
// Ruffle files and the movie served from disk through the kestrova-player: URL scheme, so
// nothing goes over the network and no browser or server is needed.
#pragma once

#include "app/app_namespace.h"
#include <QString>

class QWidget;

namespace kestrova::app {

// Registers the player's URL scheme. Qt WebEngine wants it before the QApplication is made.
void PreparePlayer();

// Why the player cannot run, or empty when it can: the build may lack Qt WebEngine, and the
// installation may lack its Ruffle copy.
QString PlayerUnavailableReason();

// Opens a player window on the movie; it deletes itself when closed. Returns null, with the
// message to show in error, when the player cannot run or the file is not a movie.
QWidget* OpenPlayerWindow(const QString& moviePath, QWidget* parent, QString* error);

} // namespace kestrova::app
