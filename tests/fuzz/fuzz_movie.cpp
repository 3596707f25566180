// Movie files through the decomposer: the bytes are written to a scratch file and taken
// apart with an engine that keeps nothing. The first byte picks the settings (sound, frames
// in memory or in files, lossless frames); a run stops itself after a few dozen frames so
// that one input never takes long, which also exercises the cancel path.
#include <cstdlib>
#include <map>
#include <vector>

#include "fuzz_scratch.h"
#include "media/avi_decomposer.h"
#include "media/media_log.h"

namespace kestrova::test {

namespace {

class QuietWindow : public IMovieWindow {
public:
    void ShowState(const char*) override {}
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

class CountingEngine : public IMovieEngine {
public:
    ~CountingEngine() override {
        while (!files.empty()) {
            Release(files.begin()->first);
        }
    }
    int MakeFrameFile(const std::string& path) override {
        files[nextId] = path;
        return nextId++;
    }
    uint8_t* MakeFrameBuffer(size_t capacity, int* id) override {
        buffers[nextId].resize(capacity);
        *id = nextId;
        return buffers[nextId++].data();
    }
    void SetFrameInfo(int id, int width, int height, int byteCount) override {
        const auto it = buffers.find(id);
        if (width <= 0 || height <= 0 || byteCount <= 0 ||
            (it != buffers.end() && static_cast<size_t>(byteCount) > it->second.size())) {
            std::abort(); // a stored frame must have a size and fit its buffer
        }
    }
    void DropFrame(int id) override { Release(id); }
    int ToLossless(int id) override { return id; }
    int AddFrameImage(const std::string&, int id) override {
        Release(id);
        ++frames;
        return 1;
    }
    int AddSound(const std::string&) override { return 1; }
    void AddShowFrame() override {}
    void RemoveImage(uint16_t) override {}
    void FreeImageCharacters() override {}
    bool IsCancelRequested() override { return frames >= 40; }

private:
    void Release(int id) {
        buffers.erase(id);
        if (const auto it = files.find(id); it != files.end()) {
            std::remove(it->second.c_str());
            files.erase(it);
        }
    }
    std::map<int, std::vector<uint8_t>> buffers;
    std::map<int, std::string> files;
    int nextId = 1;
    int frames = 0;
};

} // namespace

// FFmpeg is kept quiet as in the programs: its warnings about damaged input are expected here.

} // namespace kestrova::test

using namespace kestrova::test;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietMediaLibraryLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir scratch;
    if (size < 1) {
        return 0;
    }
    DecomposeSettings settings;
    settings.soundFlag = (data[0] & 1) != 0;
    settings.maxRam = (data[0] & 2) != 0;
    settings.lossless = (data[0] & 4) != 0;
    settings.quality = 50;
    const std::string path = scratch.Write("movie", data + 1, size - 1);
    QuietWindow window;
    CountingEngine engine;
    AviDecomposer decomposer;
    if (decomposer.Open(&window, path, scratch.path)) {
        decomposer.Decompose(&engine, &settings);
    }
    return 0;
}
