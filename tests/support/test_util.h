// Small helpers for tests: a temporary directory that cleans up after itself, whole-file
// reads and writes, and running command-line tools (ffmpeg, convert, sox).
#pragma once

#include "support/test_namespace.h"
#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::test {

namespace testutil {

// A fresh directory under the system temporary directory, removed with its contents when the
// object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Ok() const { return !path.empty(); }
    const std::string& Path() const { return path; }
    // Path of a file inside the directory.
    std::string File(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

// Whole file contents; empty when the file cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
bool Contains(const std::string& text, const std::string& part);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

struct CommandResult {
    int exitCode = -1;  // -1 when the command could not be started or did not exit normally
    std::string output; // captured standard output
};
// Runs the command through /bin/sh; standard error is not captured.
CommandResult RunCommand(const std::string& command);
// True when the tool is found on PATH.
bool HaveTool(const std::string& name);
// Single-quotes a string for /bin/sh.
std::string ShellQuote(const std::string& text);

} // namespace testutil

} // namespace kestrova::test
