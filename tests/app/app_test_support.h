// Helpers for the window tests: the QApplication (offscreen), dialogs answered by the test,
// small pictures, and running the event loop until something has happened.
#pragma once

#include "app/app_dialogs.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
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
    // Runs inside a message box (on the window's thread) before it returns.
    std::function<void(const QString&)> onMessage;

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

} // namespace apptest
