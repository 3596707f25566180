// The program's start-up: reads the command line (a file to add, and "/a" to convert it and
// close without user action), builds the main window and runs it.
#pragma once

#include <QStringList>

#include "app/app_namespace.h"
#include <string>

namespace kestrova::app {

struct CommandWords {
    std::string file = "none";   // word 1: a file to add, or "none"
    std::string option = "none"; // word 2: "/a" for the automatic mode, or "none"
};

class ConverterApp {
public:
    // Words 1 and 2 of the arguments (arguments[0] is the program).
    static CommandWords ReadCommandWords(const QStringList& arguments);
    // Runs the program inside an existing QApplication; returns the exit status.
    static int Run(const QStringList& arguments);
};

// A hidden switch for the documentation: "--screenshot DIR FILE...". Shows the window with
// the files converted and one selected, the first one playing in the player window, and the
// options dialog, and writes them as DIR/window.png, DIR/player.png (when the player can
// run) and DIR/options.png. Returns the exit status.
int RunScreenshots(const QStringList& arguments);

} // namespace kestrova::app
