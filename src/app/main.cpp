// kestrova: the desktop window. "kestrova FILE /a" converts FILE and closes by itself.
#include "app/app_namespace.h"
#include "app/converter_app.h"
#include "app/player_window.h"
#include "engine/allocator_tuning.h"
#include "media/media_log.h"

#include <QApplication>

#include <csignal>

using namespace kestrova::app;

int main(int argc, char** argv) {
    // Past a file-size limit a write fails like a full disk and the entry is reported, instead
    // of the process being killed with a partial movie and its temporary folder left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    TuneAllocatorForPictures();
    QuietMediaLibraryLogs();
    PreparePlayer();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Kestrova");
    QApplication::setDesktopFileName("kestrova");
    return ConverterApp::Run(QApplication::arguments());
}
