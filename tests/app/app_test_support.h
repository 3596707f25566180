// Helpers for the window tests: the QApplication (offscreen), dialogs answered by the test,
// small pictures, running the event loop until something has happened, and a window on an
// options file of its own.
#pragma once

#include "app/app_dialogs.h"
#include "app/main_window.h"
#include "support/test_util.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace apptest {

// Answers every dialog of the window and records what was asked.
class DialogRecorder {
public:
    DialogRecorder();
    ~DialogRecorder();
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    std::vector<QString> messages; // texts of message boxes and questions, in order
    std::deque<bool> answers;      // answers to questions, front first; "No" when empty
    std::deque<QStringList> files; // results of file dialogs, front first; cancel when empty
    std::deque<QColor> colors;     // results of the colour dialog; cancel when empty
    std::vector<QString> filters;  // filters the file dialogs were opened with

private:
    DialogHooks hooks;
};

// Writes a picture of the size in one colour (format by the extension: png, bmp, jpg).
bool WritePicture(const std::string& path, int width, int height, QColor color = Qt::red);
// Writes a file of exactly size bytes.
bool WriteBytes(const std::string& path, size_t size);
// Runs the event loop until done() holds or the time is up; returns done().
bool SpinUntil(const std::function<bool()>& done, int milliseconds = 30000);
// Runs the event loop for a while.
void Spin(int milliseconds);

// A main window reading and writing its own options file (defaults at the start) in a
// temporary directory; every dialog is answered by the recorder.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    std::string OptionsFile() const { return dir.File("kestrova.ini"); }
    // Closes the window (which writes the options file) and opens a new one on the same file.
    void Reopen();
    // Adds a file of size bytes (or, with a width, a picture) to the list without a refresh.
    std::string Add(const std::string& name, size_t size = 100, int width = 0, int height = 0);
    int Count() const;

    testutil::TempDir dir;
    DialogRecorder dialogs;
    std::unique_ptr<MainWindow> window;
};

} // namespace apptest
