// Helpers for the window tests: the offscreen QApplication, dialogs answered by the test,
// small pictures, running the event loop, and a window on an options file of its own.
#pragma once

#include "app/app_dialogs.h"
#include "app/main_window.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace kestrova::test {

namespace apptest {

// Answers every dialog of the window ("No", cancel) and records what was asked.
class DialogRecorder {
public:
    DialogRecorder();
    ~DialogRecorder();
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    std::vector<QString> messages; // texts of message boxes and questions, in order
    std::deque<QStringList> files; // results of file dialogs, front first
    std::vector<QString> filters;  // filters the file dialogs were opened with

private:
    DialogHooks hooks;
};

// Writes a picture of one colour (format by the extension).
bool WritePicture(const std::string& path, int width, int height);
// Runs the event loop until done() holds or the time is up; returns done().
bool SpinUntil(const std::function<bool()>& done, int milliseconds = 30000);
void Spin(int milliseconds);

// A main window on its own options file (defaults) in a temporary directory.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    std::string OptionsFile() const { return dir.File("kestrova.ini"); }
    // Adds a picture (or, without a width, a file of junk) to the list without a refresh.
    std::string Add(const std::string& name, int width = 0, int height = 0);

    testutil::TempDir dir;
    DialogRecorder dialogs;
    std::unique_ptr<MainWindow> window;
};

} // namespace apptest

} // namespace kestrova::test
