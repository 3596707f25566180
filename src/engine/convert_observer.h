// How the conversion worker talks to its front end (window or command line).
//
// IConvertObserver has one operation per notification. The worker calls them synchronously,
// on its own thread, in the documented order, and waits for each to return; a front end whose
// widgets live on another thread must deliver the call there and wait for it. While a cancel
// is pending such a front end must not block forever (the canceller may be waiting for the
// worker): it returns at once when the engine's IsCancelRequested() becomes true.
//
// IConvertPrompt carries the driver's message boxes (the converters' errors, which the driver
// alone shows), the converters' yes/no questions and the save dialog of a single movie.
#pragma once

#include "engine/engine_namespace.h"
#include <string>

namespace kestrova::engine {

class IConvertObserver {
public:
    virtual ~IConvertObserver() = default;
    virtual void ShowFileName(int id) = 0;
    virtual void IncrementProgress(int steps) = 0;
    virtual void FinishedConvert() = 0;
    virtual void ShowState(const char* text) = 0;
};

class IConvertPrompt {
public:
    virtual ~IConvertPrompt() = default;
    // A modal message box with an OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // A modal yes/no question; true for yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // The save-file dialog for a single movie ("Flash Files (.swf)|*.swf|"). Returns false
    // when the user cancels; otherwise the path as chosen, before any extension fix-up.
    virtual bool ChooseSavePath(std::string& path) = 0;
};

} // namespace kestrova::engine
