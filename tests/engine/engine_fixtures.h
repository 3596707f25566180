// Shared pieces of the engine tests: tag codes, a recording front end, convert lists, a BMP
// writer and the run-and-parse steps.
#pragma once

#include "engine/convert_engine.h"

#include "support/swf_reader.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace enginetest {

using swfread::Tag;
using Codes = std::vector<uint16_t>;

// Tag codes.
enum Code : uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    SetBackgroundColor = 9,
    DoAction = 12,
    DefineSound = 14,
    StartSound = 15,
    SoundStreamHead = 18,
    DefineBitsLossless = 20,
    DefineBitsJPEG2 = 21,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineSprite = 39
};
inline const Codes kPicture = {DefineBitsLossless, DefineShape, DefineSprite, PlaceObject2};

// A temporary folder; dir / "name" is the path of a file in it.
class TempDir : public testutil::TempDir {
public:
    std::string operator/(const std::string& name) const { return File(name); }
};

// A 24-bit BMP of w x h (a gradient), made with ImageMagick.
inline void WriteBmp(const std::string& path, int w, int h) {
    ASSERT_EQ(testutil::RunCommand(
                  "convert -size " + std::to_string(w) + "x" + std::to_string(h) +
                  " gradient:red-blue -type TrueColor BMP3:" + testutil::ShellQuote(path))
                  .exitCode,
              0);
}

// The front end: notifications as events, messages and questions as they came.
struct Recorder : IConvertObserver, IConvertPrompt {
    std::vector<std::string> events, messages;
    std::vector<std::string> captions; // of the questions
    bool answer = false;
    std::string savePath;
    std::function<void(const std::string&)> onEvent;

    void Record(const std::string& e) {
        events.push_back(e);
        if (onEvent)
            onEvent(e);
    }
    void ShowFileName(int id) override { Record("showfilename " + std::to_string(id)); }
    void IncrementProgress(int steps) override { Record("progress " + std::to_string(steps)); }
    void FinishedConvert() override { Record("finished"); }
    void ShowState(const char* text) override { Record(std::string("state ") + text); }
    void ShowMessage(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
    bool AskYesNo(const std::string&, const std::string& caption) override {
        captions.push_back(caption);
        return answer;
    }
    bool ChooseSavePath(std::string& path) override {
        path = savePath;
        return !savePath.empty();
    }
    bool Saw(const std::string& fragment) const {
        for (const std::string& e : events)
            if (e.find(fragment) != std::string::npos)
                return true;
        return false;
    }
};

// A list of entries for the given files, linked in order, with ids from 100.
struct List {
    explicit List(const std::vector<std::string>& paths) {
        for (const std::string& p : paths) {
            auto e = std::make_unique<ConvertObject>();
            e->id = 100 + static_cast<int>(entries.size());
            e->path = p;
            std::error_code error;
            auto size = std::filesystem::file_size(p, error);
            e->size = error ? -1 : static_cast<int>(size);
            if (!entries.empty())
                entries.back()->next = e.get(), e->prev = entries.back().get();
            entries.push_back(std::move(e));
        }
    }
    ConvertObject* first() { return entries.front().get(); }
    ConvertObject& operator[](size_t i) { return *entries[i]; }
    std::vector<std::unique_ptr<ConvertObject>> entries;
};

inline swfread::Swf Parse(const std::string& path) {
    swfread::Swf swf;
    std::string error;
    EXPECT_TRUE(swfread::ParseSwfFile(path, swf, &error)) << path << ": " << error;
    return swf;
}

inline Codes CodesOf(const std::string& path) {
    Codes codes;
    for (const Tag& t : Parse(path).tags)
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
        opts.optimizePlayback = opts.usePreloader = opts.useLens = 0;
        opts.blankFrameAtStart = opts.blankFrameAtEnd = opts.stopActionInFirstFrame = 0;
        opts.loopMovie = 1;
        opts.tempDirectory = temp.Path() + "/";
        Format(FormatBmp).compression = Format(FormatBmp).smallCompression = EncodeLossless;
        for (int i = 1; i <= 3; ++i)
            WriteBmp(dir / ("p" + std::to_string(i) + ".bmp"), 20 * i, 10 * i);
    }
    FormatOptions& Format(int32_t id) { return opts.formats[opts.FindFormat(id)]; }
    std::vector<std::string> Pictures(int n) {
        std::vector<std::string> paths;
        for (int i = 1; i <= n; ++i)
            paths.push_back(dir / ("p" + std::to_string(i) + ".bmp"));
        return paths;
    }
    void Convert(List& list) {
        ASSERT_TRUE(engine.StartConversion(&rec, list.first(), &opts));
        engine.Wait();
    }
    // Converts one file on its own; its result.
    int ConvertOne(const std::string& path) {
        List list({path});
        Convert(list);
        return list[0].result;
    }
    size_t TempFileCount() const {
        size_t count = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(temp.Path()))
            count += entry.is_regular_file();
        return count;
    }
    bool TempFolderEmpty() const { return std::filesystem::is_empty(temp.Path()); }

    TempDir dir;
    testutil::TempDir temp;
    ConvertOptions opts;
    Recorder rec;
    CConvertEngine engine{&rec};
};

} // namespace enginetest
