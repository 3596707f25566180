// Shared pieces of the engine tests: tag codes, a recording front end, convert lists, files
// made with ImageMagick and ffmpeg, and the run-and-parse steps.
#pragma once

#include "engine/convert_engine.h"

#include "support/swf_reader.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrova::test {

namespace enginetest {

using Codes = std::vector<uint16_t>;
constexpr uint16_t End = 0, ShowFrame = 1, DefineShape = 2, SetBackgroundColor = 9, DoAction = 12,
                   DefineSound = 14, StartSound = 15, SoundStreamHead = 18, DefineBitsLossless = 20,
                   DefineBitsJPEG2 = 21, PlaceObject2 = 26, RemoveObject2 = 28, DefineSprite = 39;
inline const Codes kPicture = {DefineBitsLossless, DefineShape, DefineSprite, PlaceObject2};

// The front end: notifications as events, messages and question captions as they came.
struct Recorder : IConvertObserver, IConvertPrompt {
    std::vector<std::string> events, messages, captions;
    bool answer = false;
    std::string savePath;
    std::function<void(const std::string&)> onEvent = [](const std::string&) {};

    void Record(const std::string& e) { events.push_back(e), onEvent(e); }
    void ShowFileName(int id) override { Record("showfilename " + std::to_string(id)); }
    void IncrementProgress(int steps) override { Record("progress " + std::to_string(steps)); }
    void FinishedConvert() override { Record("finished"); }
    void ShowState(const char* text) override { Record(std::string("state ") + text); }
    void ShowMessage(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
    bool AskYesNo(const std::string&, const std::string& caption) override {
        return captions.push_back(caption), answer;
    }
    bool ChooseSavePath(std::string& path) override { return path = savePath, !path.empty(); }
    bool Saw(const std::string& fragment) const {
        return std::ranges::any_of(events, [&](auto& e) { return e.find(fragment) != e.npos; });
    }
};

// A list of entries for the given files, linked in order, with ids from 100.
struct List {
    explicit List(const std::vector<std::string>& paths) : entries(paths.size()) {
        for (size_t i = 0; i < paths.size(); ++i) {
            ConvertObject& e = entries[i];
            e.id = 100 + static_cast<int>(i);
            e.path = paths[i];
            std::error_code error;
            e.size = static_cast<int>(std::filesystem::file_size(e.path, error));
            e.size = error ? -1 : e.size;
            if (i > 0)
                entries[i - 1].next = &e, e.prev = &entries[i - 1];
        }
    }
    ConvertObject& operator[](size_t i) { return entries[i]; }
    std::vector<ConvertObject> entries;
};

inline swfread::Swf Parse(const std::string& path) {
    swfread::Swf swf;
    std::string error;
    EXPECT_TRUE(swfread::ParseSwfFile(path, swf, &error)) << path << ": " << error;
    return swf;
}

inline Codes CodesOf(const std::string& path) {
    Codes codes;
    for (const swfread::Tag& t : Parse(path).tags)
        codes.push_back(t.code);
    return codes;
}

inline Codes Concat(std::initializer_list<Codes> parts) {
    Codes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Options with every optional frame, action and effect off and lossless BMPs; three BMPs
// p1..p3 of 20 x 10, 40 x 20 and 60 x 30; temporary files in a folder of their own.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("ffmpeg") || !testutil::HaveTool("convert"))
            GTEST_SKIP() << "ffmpeg and ImageMagick make the inputs";
        opts.optimizePlayback = opts.usePreloader = opts.useLens = 0;
        opts.blankFrameAtStart = opts.blankFrameAtEnd = opts.stopActionInFirstFrame = 0;
        opts.tempDirectory = temp.Path() + "/";
        Format(FormatBmp).compression = Format(FormatBmp).smallCompression = EncodeLossless;
        for (int i = 1; i <= 3; ++i)
            Made("p" + std::to_string(i) + ".bmp", Bmp(20 * i, 10 * i));
    }
    FormatOptions& Format(int32_t id) { return opts.formats[opts.FindFormat(id)]; }
    std::string File(const std::string& name) const { return dir.File(name); }
    // The file written by the shell command, which ends where the path goes.
    std::string Made(const std::string& name, const std::string& command) {
        EXPECT_EQ(
            testutil::RunCommand(command + testutil::ShellQuote(File(name)) + " 2>&1").exitCode, 0)
            << command;
        return File(name);
    }
    static std::string Bmp(int w, int h) {
        return "convert -size " + std::to_string(w) + "x" + std::to_string(h) +
               " gradient:red-blue -type TrueColor BMP3:";
    }
    static std::string Ffmpeg(const std::string& input) {
        return "ffmpeg -nostdin -v error -y -f lavfi -i " + input + " -fflags +bitexact ";
    }
    List Pictures(int n) {
        std::vector<std::string> paths;
        for (int i = 1; i <= n; ++i)
            paths.push_back(File("p" + std::to_string(i) + ".bmp"));
        return List(paths);
    }
    void Convert(List& list) {
        ASSERT_TRUE(engine.StartConversion(&rec, &list[0], &opts));
        engine.Wait();
    }
    int ConvertOne(const std::string& path) {
        List list({path});
        Convert(list);
        return list[0].result;
    }
    size_t TempFileCount() const {
        auto files = std::filesystem::recursive_directory_iterator(temp.Path());
        return std::ranges::count_if(files, [](auto& f) { return f.is_regular_file(); });
    }
    bool TempEmpty() const { return std::filesystem::is_empty(temp.Path()); }

    testutil::TempDir dir, temp;
    ConvertOptions opts;
    Recorder rec;
    CConvertEngine engine{&rec};
};

} // namespace enginetest

} // namespace kestrova::test
