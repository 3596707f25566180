// Movie files into movies. Prepare lets the decomposer (media layer) take the file apart: its
// frames become JPEG pictures in the entry's own store and its sound tracks prepared sounds,
// and every step the decomposer takes (a picture, its frames, its removal, a message or a
// question) is recorded. Append replays the steps into the movie in the same order.
#include "engine/converter_parts.h"
#include "engine/engine_namespace.h"
#include "engine/movie_builder.h"

#include "media/avi_decomposer.h"

#include <string_view>

namespace kestrova::engine {

namespace {

const char* const kNoPictureText = "Error, the movie has no picture to convert:\n";

struct MovieStep {
    enum Kind { Message, Question, Picture, Sound, ShowFrames, Remove, FreeCharacters };
    explicit MovieStep(Kind kind, ConvertError message = {}, int id = 0, std::string path = {})
        : kind(kind), message(std::move(message)), id(id), path(std::move(path)) {}
    Kind kind;
    ConvertError message;                 // Message, Question
    int id = 0;                           // Picture: the store id
    std::string path;                     // Picture: the frame's name in messages
    std::unique_ptr<PreparedEntry> sound; // Sound
    int count = 0;                        // ShowFrames
};

class PreparedMovie final : public PreparedEntry {
public:
    Status Append(MovieBuilder& builder, const EntryContext& context) override;
    Status AppendFrame(MovieBuilder& builder, const MovieStep& step, const ConvertOptions& opts);
    bool CountsAsSound() const override { return soundOnly; }

    std::string path;
    std::unique_ptr<ImageStore> store = std::make_unique<ImageStore>();
    std::vector<MovieStep> steps;
    uint32_t frames = 0;
    // A message of the decomposer other than a sound track left out: the movie is incomplete.
    bool incomplete = false;
    // A file with sound but no pictures: a sound entry, with a sound entry's frames.
    bool soundOnly = false;
};

// The decomposer's view of the engine and the front end while a movie file is prepared.
class Recorder final : public IMovieWindow, public IMovieEngine {
public:
    Recorder(PreparedMovie& movie, const EntryContext& context) : movie(movie), context(context) {}

    void ShowState(const char* text) override { context.status(text); }
    // The decomposer reports only failures (a frame, the sound, the decoder): the movie is
    // then incomplete, except for a sound track too long to convert, which it goes without.
    void ShowMessage(const std::string& text) override {
        std::string_view tooLong = kSoundTooLongText;
        size_t path = tooLong.find("%s");
        bool soundLeftOut =
            text.starts_with(tooLong.substr(0, path)) && text.ends_with(tooLong.substr(path + 2));
        movie.incomplete = movie.incomplete || !soundLeftOut;
        Record(MovieStep(MovieStep::Message, {text, ""}));
    }
    // Questions are asked when the steps are replayed; until then the work goes on.
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        Record(MovieStep(MovieStep::Question, {text, caption}));
        return true;
    }

    // Frame files are deleted when the store lets go of them: once the movie has been
    // written, or abandoned.
    int MakeFrameFile(const std::string& path) override {
        return movie.store->MakeFileEntry(path, true)->id;
    }
    uint8_t* MakeFrameBuffer(size_t capacity, int* id) override {
        StoredImage* e = movie.store->MakeMemoryEntry(capacity);
        *id = e->id;
        return e->data.get();
    }
    void SetFrameInfo(int id, int width, int height, int byteCount) override {
        if (StoredImage* e = movie.store->Find(id)) {
            e->width = width;
            e->height = height;
            e->dataLength = byteCount;
        }
    }
    void DropFrame(int id) override { movie.store->Remove(id); }
    int ToLossless(int id) override {
        Result<int> lossless = ToLosslessPixels(*movie.store, id);
        if (!lossless && !lossless.Error().text.empty()) {
            Record(MovieStep(MovieStep::Message, lossless.Error()));
        }
        return lossless ? *lossless : -1;
    }
    int AddFrameImage(const std::string& framePath, int id) override {
        Record(MovieStep(MovieStep::Picture, {}, id, framePath));
        return 1;
    }
    int AddSound(const std::string& wavPath) override {
        Notes notes;
        auto sound = PrepareWave(wavPath, -1, context, false, notes, false);
        for (ConvertError& note : notes) {
            Record(MovieStep(MovieStep::Message, std::move(note)));
        }
        if (!sound && !sound.Error().text.empty()) {
            Record(MovieStep(MovieStep::Message, sound.Error()));
        }
        if (sound) {
            Record(MovieStep(MovieStep::Sound));
            movie.steps.back().sound = std::move(*sound);
        }
        return sound ? 1 : 0;
    }
    // A movie holds at most 65535 frames: past that the decomposer is stopped as if
    // cancelled, and the entry fails.
    void AddShowFrame() override {
        if (movie.frames >= kSwfMaxFrames) {
            tooManyFrames = true;
            return;
        }
        ++movie.frames;
        if (movie.steps.empty() || movie.steps.back().kind != MovieStep::ShowFrames) {
            Record(MovieStep(MovieStep::ShowFrames));
        }
        ++movie.steps.back().count;
    }
    void RemoveImage(uint16_t) override { Record(MovieStep(MovieStep::Remove)); }
    void FreeImageCharacters() override { Record(MovieStep(MovieStep::FreeCharacters)); }
    bool IsCancelRequested() override { return context.Cancelled() || tooManyFrames; }

    bool TooManyFrames() const { return tooManyFrames; }

private:
    void Record(MovieStep step) { movie.steps.push_back(std::move(step)); }

    PreparedMovie& movie;
    const EntryContext& context;
    bool tooManyFrames = false;
};

// The messages recorded so far, for an entry that fails before its steps are replayed.
void MoveMessages(PreparedMovie& movie, Notes& notes) {
    for (MovieStep& step : movie.steps) {
        if (step.kind == MovieStep::Message) {
            notes.push_back(std::move(step.message));
        }
    }
}

Status PreparedMovie::AppendFrame(MovieBuilder& builder, const MovieStep& step,
                                  const ConvertOptions& opts) {
    // Every movie-kind file takes its frame settings from the ".avi" entry.
    const int index = opts.FindFormat(FormatAvi);
    if (index < 0) {
        return ConvertError{"Error, Unknown/supported File Format\n\n" + step.path, ""};
    }
    const bool lossless = opts.formats[index].compression == EncodeLossless;
    const StoredImage* image = store->Find(step.id);
    Status added = image == nullptr ? Status(ConvertError{})
                                    : AppendBitmap(builder, *image, lossless, step.path, opts);
    if (lossless) {
        store->Remove(step.id);
    }
    return added;
}

Status PreparedMovie::Append(MovieBuilder& builder, const EntryContext& context) {
    if (builder.FrameCount() + frames > kSwfMaxFrames) {
        return ConvertError{TooManyFramesText(path), ""};
    }
    for (MovieStep& step : steps) {
        switch (step.kind) {
        case MovieStep::Message:
            context.show(step.message);
            break;
        case MovieStep::Question:
            // A No stops the movie where the decomposer would have stopped.
            if (!context.ask(step.message)) {
                return ConvertError{};
            }
            break;
        case MovieStep::Picture:
            if (Status added = AppendFrame(builder, step, context.opts); !added) {
                if (!added.Error().text.empty()) {
                    context.show(added.Error());
                }
                if (!context.ask({kContinueQuestion, "Error2"})) {
                    return ConvertError{};
                }
            }
            break;
        case MovieStep::Sound:
            if (Status added = step.sound->Append(builder, context);
                !added && !added.Error().text.empty()) {
                context.show(added.Error());
            }
            break;
        case MovieStep::ShowFrames:
            builder.AddShowFrames(step.count);
            break;
        case MovieStep::Remove:
            builder.RemoveImage(1);
            break;
        case MovieStep::FreeCharacters:
            builder.FreeImageCharacters();
            break;
        }
    }
    builder.Keep(std::move(store));
    if (incomplete) {
        return ConvertError{};
    }
    if (soundOnly) {
        AddEntryFrames(builder, context.opts);
        return Done{};
    }
    // A movie none of whose pictures could be taken would be an empty movie.
    if (frames == 0) {
        return ConvertError{kNoPictureText + path, ""};
    }
    return Done{};
}

class MovieConverter final : public EntryConverter {
public:
    Result<std::unique_ptr<PreparedEntry>> Prepare(const ConvertObject& entry,
                                                   const EntryContext& context, bool,
                                                   Notes& notes) const override {
        auto movie = std::make_unique<PreparedMovie>();
        movie->path = entry.path;
        Recorder recorder(*movie, context);
        AviDecomposer decomposer;
        if (!decomposer.Open(&recorder, entry.path, context.tempFolder)) {
            MoveMessages(*movie, notes);
            return ConvertError{};
        }
        const ConvertOptions& opts = context.opts;
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
        // A file with nothing to show is a sound: its sound is taken whatever the entry says.
        movie->soundOnly = !decomposer.HasPictures();
        settings.soundFlag = settings.soundFlag || movie->soundOnly;
        bool decomposed = decomposer.Decompose(&recorder, index >= 0 ? &settings : nullptr) == 1;
        if (recorder.TooManyFrames()) {
            MoveMessages(*movie, notes);
            return ConvertError{TooManyFramesText(entry.path), ""};
        }
        if (!decomposed) {
            MoveMessages(*movie, notes);
            return ConvertError{};
        }
        return std::unique_ptr<PreparedEntry>(std::move(movie));
    }
};

} // namespace

const EntryConverter& MovieEntryConverter() {
    static const MovieConverter converter;
    return converter;
}

} // namespace kestrova::engine
