// A whole conversion through the engine, for the benchmarks that time ours end to end: the
// files into one movie with one format's encoding and quality.
#pragma once

#include "engine/convert_engine.h"
#include "engine/engine_namespace.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::bench {

using namespace engine;

class QuietObserver : public IConvertObserver {
public:
    void ShowFileName(int) override {}
    void IncrementProgress(int) override {}
    void FinishedConvert() override {}
    void ShowState(const char*) override {}
};

// Answers the save dialog with a fixed path and prints messages.
class SavePrompt : public IConvertPrompt {
public:
    explicit SavePrompt(std::string path) : path(std::move(path)) {}
    void ShowMessage(const std::string& text, const std::string&) override {
        fprintf(stderr, "message: %s\n", text.c_str());
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool ChooseSavePath(std::string& chosen) override {
        chosen = path;
        return true;
    }

private:
    std::string path;
};

// Converts the files into the movie at moviePath (temporary files in tempDirectory); returns
// the movie's size, or -1 when an entry failed.
inline long long ConvertSingleMovie(const std::vector<std::string>& paths, int32_t format,
                                    int32_t encoding, int quality, const std::string& tempDirectory,
                                    const std::string& moviePath) {
    ConvertOptions options;
    options.outputMode = OutputSingle;
    options.tempDirectory = tempDirectory + "/";
    FormatOptions& f = options.formats[options.FindFormat(format)];
    f.compression = f.smallCompression = encoding;
    f.quality = f.smallQuality = quality;
    std::vector<ConvertObject> list(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        list[i].id = static_cast<int>(i) + 1;
        list[i].path = paths[i];
        struct stat info {};
        list[i].size = stat(paths[i].c_str(), &info) == 0 ? static_cast<int>(info.st_size) : -1;
        list[i].prev = i > 0 ? &list[i - 1] : nullptr;
        list[i].next = i + 1 < paths.size() ? &list[i + 1] : nullptr;
    }
    SavePrompt prompt(moviePath);
    QuietObserver observer;
    CConvertEngine engine(&prompt);
    engine.StartConversion(&observer, &list.front(), &options);
    engine.Wait();
    for (const ConvertObject& entry : list) {
        if (entry.result != 1) {
            return -1;
        }
    }
    struct stat info {};
    return stat(moviePath.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

} // namespace kestrova::bench
