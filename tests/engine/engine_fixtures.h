// Shared pieces of the engine tests: tag codes, a recording observer and prompt, convert
// lists, a BMP writer and the run-and-parse steps.
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

enum Code : uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    FreeCharacter = 3,
    SetBackgroundColor = 9,
    DoAction = 12,
    DefineSound = 14,
    StartSound = 15,
    SoundStreamHead = 18,
    DefineBitsLossless = 20,
    DefineBitsJPEG2 = 21,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineSprite = 39,
    SoundStreamHead2 = 45,
};

// A temporary folder; dir / "name" is the path of a file in it.
class TempDir : public testutil::TempDir {
public:
    std::string operator/(const std::string& name) const { return File(name); }
};

// A 24-bit BMP of w x h whose pixel (x, y) is (x * 5, y * 7, 100).
inline void WriteBmp(const std::string& path, int w, int h) {
    int row = (w * 3 + 3) & ~3;
    std::vector<uint8_t> b(54 + static_cast<size_t>(row) * h, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = (v >> (8 * i)) & 0xFF;
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < h; ++y) {
        uint8_t* p = &b[54 + static_cast<size_t>(h - 1 - y) * row];
        for (int x = 0; x < w; ++x) {
            p[3 * x] = 100;
            p[3 * x + 1] = static_cast<uint8_t>(y * 7);
            p[3 * x + 2] = static_cast<uint8_t>(x * 5);
        }
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(b.data()), b.size());
}

struct Recorder : IConvertObserver, IConvertPrompt {
    std::vector<std::string> events;
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> questions; // text, caption
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
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        questions.emplace_back(text, caption);
        return answer;
    }
    bool ChooseSavePath(std::string& path) override {
        path = savePath;
        return !savePath.empty();
    }
};

// A list of entries for the given files, linked in order.
struct List {
    explicit List(const std::vector<std::string>& paths) {
        int id = 100;
        for (const std::string& p : paths) {
            auto e = std::make_unique<ConvertObject>();
            e->id = id++;
            e->path = p;
            std::ifstream in(p, std::ios::binary | std::ios::ate);
            e->size = in ? static_cast<int>(in.tellg()) : -1;
            if (!entries.empty()) {
                entries.back()->next = e.get();
                e->prev = entries.back().get();
            }
            entries.push_back(std::move(e));
        }
    }
    ConvertObject* first() { return entries.front().get(); }
    ConvertObject& operator[](size_t i) { return *entries[i]; }
    std::vector<std::unique_ptr<ConvertObject>> entries;
};

// Options with every optional frame, action and effect switched off.
inline void PlainOptions(ConvertOptions& o, const std::string& tempDir) {
    o.optimizePlayback = 0;
    o.usePreloader = 0;
    o.useLens = 0;
    o.blankFrameAtStart = 0;
    o.blankFrameAtEnd = 0;
    o.stopActionInFirstFrame = 0;
    o.loopMovie = 1;
    o.tempDirectory = tempDir + "/";
    for (FormatOptions& f : o.formats) {
        if (f.formatId == FormatBmp) {
            f.compression = EncodeLossless;
            f.smallCompression = EncodeLossless;
        }
    }
}

inline void Convert(CConvertEngine& engine, Recorder& rec, List& list, ConvertOptions& opts) {
    ASSERT_TRUE(engine.StartConversion(&rec, list.first(), &opts));
    engine.Wait();
}

inline swfread::Swf Parse(const std::string& path) {
    swfread::Swf swf;
    std::string error;
    EXPECT_TRUE(swfread::ParseSwfFile(path, swf, &error)) << path << ": " << error;
    return swf;
}

inline std::vector<uint16_t> Codes(const swfread::Swf& swf) {
    std::vector<uint16_t> codes;
    for (const Tag& t : swf.tags)
        codes.push_back(t.code);
    return codes;
}

inline uint16_t U16(const swfread::Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlainOptions(opts, dir.Path());
        for (int i = 1; i <= 3; ++i) {
            WriteBmp(dir / ("p" + std::to_string(i) + ".bmp"), 20 * i, 10 * i);
        }
    }
    std::vector<std::string> Pictures(int n) {
        std::vector<std::string> paths;
        for (int i = 1; i <= n; ++i)
            paths.push_back(dir / ("p" + std::to_string(i) + ".bmp"));
        return paths;
    }
    TempDir dir;
    ConvertOptions opts;
    Recorder rec;
    CConvertEngine engine{&rec};
};

// Entries whose conversion writes files into the temporary folder: a folder of its own.
class TempFolderTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        opts.tempDirectory = temp.Path() + "/";
    }
    // Files under the temporary folder, in the run's private folder or beside it.
    size_t TempFileCount() const {
        size_t count = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(temp.Path())) {
            count += entry.is_regular_file();
        }
        return count;
    }
    bool TempFolderEmpty() const { return std::filesystem::is_empty(temp.Path()); }
    testutil::TempDir temp;
};

inline const std::vector<uint16_t> kPicture = {DefineBitsLossless, DefineShape, DefineSprite,
                                               PlaceObject2};

inline std::vector<uint16_t> Concat(std::initializer_list<std::vector<uint16_t>> parts) {
    std::vector<uint16_t> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace enginetest
