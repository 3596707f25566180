#include "app/converter_app.h"
#include "app/app_namespace.h"

#include "app/app_dialogs.h"
#include "app/main_window.h"
#include "app/options_dialog.h"
#include "app/small_controls.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace kestrova::app {

CommandWords ConverterApp::ReadCommandWords(const QStringList& arguments) {
    CommandWords words;
    if (arguments.size() > 1) {
        words.file = arguments[1].toStdString();
    }
    if (arguments.size() > 2) {
        words.option = arguments[2].toStdString();
    }
    return words;
}

int ConverterApp::Run(const QStringList& arguments) {
    if (arguments.size() > 1 && arguments[1] == "--screenshot") {
        return RunScreenshots(arguments);
    }
    CommandWords words = ReadCommandWords(arguments);
    // Without a file the switch has no effect.
    const bool automatic = words.file != "none" && words.option == "/a";
    // In automatic mode nobody is there to answer: messages go to standard error, questions
    // are answered No and dialogs cancelled, so nothing waits for a person.
    DialogHooks unattended;
    if (automatic) {
        unattended.message = [](const QString& text, const QString&, bool question) {
            QString line = QString(text).replace('\n', ' ');
            std::fprintf(stderr, "kestrova: %s%s\n", qPrintable(line), question ? " No" : "");
            return false;
        };
        unattended.file = [](const QString&, bool, bool) { return QStringList(); };
        unattended.color = [](const QColor&) { return QColor(); };
        SetDialogHooks(&unattended);
    }
    int status = 0;
    bool allConverted = true;
    {
        MainWindow window;
        if (words.file != "none") {
            window.AddObject(words.file, true);
            window.SetAutoMode(automatic);
        }
        window.Initialize();
        window.show();
        status = QApplication::exec();
        allConverted = window.AllConverted();
    }
    SetDialogHooks(nullptr);
    // An automatic run ends non-zero when any entry's movie was not written.
    return automatic && status == 0 && !allConverted ? 1 : status;
}

namespace {

// Runs the event loop until the condition holds (or the time is up).
template <typename Condition> void SpinUntil(Condition done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

bool Grab(QWidget* widget, const QString& path) {
    QApplication::processEvents();
    if (!widget->grab().save(path, "PNG")) {
        std::fprintf(stderr, "kestrova: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int RunScreenshots(const QStringList& arguments) {
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: kestrova --screenshot DIR FILE...\n");
        return 2;
    }
    QString outDir = arguments[2];
    QDir().mkpath(outDir);
    // Nobody is there to answer: messages are passed over, dialogs cancelled.
    DialogHooks hooks;
    hooks.message = [](const QString& text, const QString&, bool) {
        std::fprintf(stderr, "kestrova: %s\n", qPrintable(text));
        return false;
    };
    hooks.file = [](const QString&, bool, bool) { return QStringList(); };
    hooks.color = [](const QColor&) { return QColor(); };
    SetDialogHooks(&hooks);
    QApplication::setStyle("Fusion");

    QTemporaryDir settings;
    ConvertOptions defaults;
    std::string optionsPath = settings.filePath("kestrova.ini").toStdString();
    defaults.SaveOptionsFile(optionsPath);
    int status = 0;
    {
        MainWindow window(optionsPath);
        window.Initialize();
        for (int i = 3; i < arguments.size(); ++i) {
            window.AddObject(arguments[i].toStdString(), false);
        }
        window.RefreshList();
        window.resize(860, 480);
        window.show();
        if (window.List() != nullptr) {
            window.OnConvert();
            SpinUntil([&] { return !window.Converting(); }, 60000);
        }
        QTableWidget* view = window.ListView();
        view->selectRow(0);
        SpinUntil([] { return false; }, 300);
        if (!Grab(&window, outDir + "/window.png")) {
            status = 1;
        }

        // The first entry in the player window, once Ruffle has had time to start.
        window.OnPlayMovie();
        if (auto* player = window.findChild<QWidget*>("playerWindow")) {
            SpinUntil([] { return false; }, 5000);
            if (!Grab(player, outDir + "/player.png")) {
                status = 1;
            }
            delete player;
        }

        COptionsDialog dialog(&window, &window.Options());
        dialog.show();
        dialog.Tabs()->SelectTab(1);
        SpinUntil([] { return false; }, 300);
        if (!Grab(&dialog, outDir + "/options.png")) {
            status = 1;
        }
        dialog.hide();
    }
    SetDialogHooks(nullptr);
    return status;
}

} // namespace kestrova::app
