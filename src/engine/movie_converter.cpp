// Movie files into movies: the engine's side of taking a movie apart. The decomposer (media
// layer) reads and decodes the file; the engine lends it its picture store, its picture and
// sound converters and its frame tags, and the front end its status line and message boxes.
#include "engine/convert_engine.h"

#include "media/avi_decomposer.h"

#include <string_view>

namespace {

class CMovieLink final : public IMovieWindow, public IMovieEngine {
public:
    CMovieLink(CConvertEngine& engine, const ConvertOptions& opts, IConvertObserver* window)
        : engine(engine), opts(opts), window(window) {
        // The one temporary entry of a whole movie, renamed for each frame and sound.
        temporary.id = -1;
    }

    void ShowState(const char* text) override { window->ShowState(text); }
    // The decomposer reports only failures (a frame, the sound, the decoder): the movie is
    // then incomplete and the entry fails, except for a sound track too long to convert,
    // which the movie is made without. A question answered yes is the user's choice.
    void ShowMessage(const std::string& text) override {
        std::string_view tooLong = kSoundTooLongText;
        size_t path = tooLong.find("%s");
        bool soundLeftOut =
            text.starts_with(tooLong.substr(0, path)) && text.ends_with(tooLong.substr(path + 2));
        incomplete = incomplete || !soundLeftOut;
        if (engine.Prompt() != nullptr) {
            engine.Prompt()->ShowMessage(text, "");
        }
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        return engine.Prompt() != nullptr && engine.Prompt()->AskYesNo(text, caption);
    }

    // Frame files are deleted when the store lets go of them: once the movie has been
    // written, or abandoned on cancel.
    int MakeFrameFile(const std::string& path) override {
        return engine.Images().MakeFileEntry(path, true)->id;
    }
    uint8_t* MakeFrameBuffer(size_t capacity, int* id) override {
        StoredImage* e = engine.Images().MakeMemoryEntry(capacity);
        *id = e->id;
        return e->data.get();
    }
    void SetFrameInfo(int id, int width, int height, int byteCount) override {
        if (StoredImage* e = engine.Images().Find(id)) {
            e->width = width;
            e->height = height;
            e->dataLength = byteCount;
        }
    }
    void DropFrame(int id) override { engine.Images().Remove(id); }
    int ToLossless(int id) override { return engine.ToLossless(id); }
    int AddFrameImage(const std::string& framePath, int id) override {
        temporary.path = framePath;
        return engine.AddImage(temporary, opts, FormatAvi, id);
    }
    int AddSound(const std::string& wavPath) override {
        temporary.path = wavPath;
        int result = engine.AddWave(temporary, opts, window);
        temporary.path.clear();
        return result;
    }
    // A movie holds at most 65535 frames: past that the decomposer is stopped as if
    // cancelled, and the entry fails.
    void AddShowFrame() override {
        if (engine.Movie().GetFrameCount() >= kSwfMaxFrames) {
            tooManyFrames = true;
            return;
        }
        engine.AddShowFrame();
    }
    bool TooManyFrames() const { return tooManyFrames; }
    bool Incomplete() const { return incomplete; }
    void RemoveImage(uint16_t depth) override { engine.RemoveImage(depth); }
    void FreeImageCharacters() override { engine.FreeImageCharacters(); }
    bool IsCancelRequested() override { return engine.IsCancelRequested() || tooManyFrames; }

private:
    CConvertEngine& engine;
    const ConvertOptions& opts;
    IConvertObserver* window;
    ConvertObject temporary;
    bool tooManyFrames = false;
    bool incomplete = false;
};

} // namespace

int CConvertEngine::AddMovie(ConvertObject& entry, const ConvertOptions& opts,
                             IConvertObserver* window) {
    CMovieLink link(*this, opts, window);
    AviDecomposer decomposer;
    if (!decomposer.Open(window != nullptr ? &link : nullptr, entry.path, tempFolder)) {
        return 0;
    }
    // Every movie-kind file takes its frame and sound settings from the ".avi" entry.
    const int index = opts.FindFormat(FormatAvi);
    DecomposeSettings settings;
    if (index >= 0) {
        const FormatOptions& format = opts.formats[index];
        settings.soundFlag = format.soundFlag != 0;
        settings.swfFramesPerImage = format.swfFramesPerImage;
        settings.quality = format.quality;
        settings.lossless = format.compression == EncodeLossless;
        settings.maxRam = opts.performanceMode == PerformanceMaxRam;
        settings.optimizePlayback = opts.optimizePlayback != 0;
        settings.maxSoundBytes = kSoundSizeLimit;
        // One worker encodes on this thread, as the sequential run always has.
        const int workers = WorkerThreadCount(opts);
        settings.workers = workers > 1 ? workers : 0;
    }
    int result = decomposer.Decompose(&link, index >= 0 ? &settings : nullptr) == 1 ? 1 : 0;
    if (link.TooManyFrames()) {
        ShowMessage(TooManyFramesText(entry));
        return 0;
    }
    return link.Incomplete() ? 0 : result;
}
