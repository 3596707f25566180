// kestrova: the desktop window. "kestrova FILE /a" converts FILE and closes by itself.
#include "app/converter_app.h"
#include "app/player_window.h"
#include "engine/allocator_tuning.h"
#include "media/media_log.h"

#include <QApplication>

int main(int argc, char** argv) {
    TuneAllocatorForPictures();
    QuietMediaLibraryLogs();
    PreparePlayer();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Kestrova");
    QApplication::setDesktopFileName("kestrova");
    return ConverterApp::Run(QApplication::arguments());
}
