// The command-line front end: parses the arguments, converts the listed files with the
// engine, reports progress and messages on stderr and a summary on stdout.
#pragma once

#include <iosfwd>

// Exit status: 0 when every entry converted, 1 when any failed (or the run was cancelled),
// 2 for bad usage.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);

// Process-wide allocator settings for converting lists of large pictures: each picture passes
// through buffers of several megabytes (decoded pixels, bitmap data, compressed output) that
// are served from the heap and kept for the next picture instead of being mapped, page-faulted
// and returned to the system every time. Called once at start-up, before any thread starts.
void TuneAllocatorForPictures();
