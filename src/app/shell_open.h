// Opening sources and results: the desktop opens a file (or an address) with the program it
// associates with it; when it cannot, the desktop's default web browser is started on it.
#pragma once

#include "app/app_namespace.h"
#include <functional>
#include <string>

namespace kestrova::app {

// Results of ShellOpen: greater than 32 means the target was opened.
constexpr int kShellOpened = 42;
constexpr int kShellLaunchFailed = 2;
constexpr int kShellNoAssociation = 31;

// Opens the target; returns a code greater than 32 on success.
int ShellOpen(const std::string& target);

// The browser's command line cut before the place of its target: at the opening quote of the
// first quoted field ("%1", or a desktop entry's "%u" "%U" "%f" "%F"); else at the first such
// field standing bare; else the whole command.
std::string CutBrowserCommand(const std::string& command);
// The command that opens the target in the browser: the cut command, one space, the target
// unchanged (no quotes added).
std::string BrowserLaunchCommand(const std::string& command, const std::string& target);

// The Exec line of the desktop's default web browser, empty when none is registered.
std::string DefaultBrowserCommand();

// Replaces ShellOpen (tests); an empty function restores it.
void SetShellOpenHook(std::function<int(const std::string&)> hook);

} // namespace kestrova::app
