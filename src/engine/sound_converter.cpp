// Sound files into movies: a WAV file is brought to 16-bit PCM and becomes an event sound,
// uncompressed or ADPCM; an MP3 file's frames are embedded as they are.
#include "engine/converter_parts.h"
#include "engine/movie_builder.h"

#include "media/wav_to_pcm.h"
#include "swf/swf_sound.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include <sys/stat.h>

namespace {

const char* const kStillTooLargeText = "WAVE File Still To Large (> 30 MB), Skipping file %s";
const char* const kMp3TooLargeText = "MP3 file too large (more than 30 MB), skipping file %s";
const char* const kSoundErrorText = "There was an error while converting this audio file";

// ADPCM code size by the ".wav" entry's compression value; 0 keeps the samples uncompressed.
uint32_t CodeSizeFor(int32_t compression) {
    static const uint32_t kTable[] = {4, 5, 2, 3, 4, 5, 0};
    return compression >= 0 && compression <= 6 ? kTable[compression] : 4;
}

std::string LastChars(const std::string& text, size_t count) {
    return text.size() > count ? text.substr(text.size() - count) : text;
}

std::string Format(const char* format, const std::string& path) {
    std::vector<char> text(strlen(format) + path.size() + 1);
    snprintf(text.data(), text.size(), format, path.c_str());
    return text.data();
}

const FormatOptions& WavFormat(const ConvertOptions& opts) {
    int index = opts.FindFormat(FormatWav);
    return opts.formats[index < 0 ? 0 : index];
}

// The re-encoder's messages become notes of the entry.
class NoteSink : public IMessageSink {
public:
    explicit NoteSink(Notes& notes) : notes(notes) {}
    void ShowMessage(const std::string& text, const std::string& caption) override {
        notes.push_back({text, caption});
        ++shown;
    }
    int shown = 0;

private:
    Notes& notes;
};

// Removes the converted copy once the sound has been read from it.
struct CopyRemover {
    std::string path;
    ~CopyRemover() {
        if (!path.empty()) {
            std::remove(path.c_str());
        }
    }
};

// Stream head, sound and its start, in the order players expect them.
void AddEventSound(MovieBuilder& builder, CSwfTag* streamHead, CSwfDefineSound* sound) {
    builder.Add(streamHead);
    builder.Add(sound);
    builder.Add(
        new CSwfStartSound(sound->GetId(), new CSwfSoundInfo(1, 0, 0, 0, 0, 0, 0, 0, 0, nullptr)));
}

// Individual movies give a sound entry the entry's frames; a single movie goes on at once.
void AddEntryFrames(MovieBuilder& builder, const ConvertOptions& opts) {
    if (opts.outputMode != OutputSingle) {
        builder.AddShowFrames(opts.framesPerImage);
    }
}

// A 16-bit PCM WAV file's bytes, made into an event sound on Append.
class PreparedWave final : public PreparedEntry {
public:
    Status Append(MovieBuilder& builder, const EntryContext& context) override {
        context.status(LastChars(path, 25) + " Adding to Movie...");
        FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
        if (file == nullptr) {
            return ConvertError{"Unable to Open Wave File for conversion to SWF format", ""};
        }
        auto* sound = new CSwfDefineSoundWave(file, codeSize);
        fclose(file);
        if (sound->HasFailed() || sound->GetWaveFormatTag() != 1) {
            delete sound;
            return ConvertError{kSoundErrorText, ""};
        }
        AddEventSound(builder,
                      new CSwfSoundStreamHead(sound->GetSoundFlags(), sound->IsStereo() ? 1 : 0,
                                              static_cast<uint16_t>(sound->GetSampleCount())),
                      sound);
        if (entryFrames) {
            AddEntryFrames(builder, context.opts);
        }
        return Done{};
    }

    std::string path;
    std::vector<char> bytes;
    uint32_t codeSize = 0;
    bool entryFrames = false;
};

// An MP3 file's frames, embedded as they are; a rate SWF cannot label goes through PCM.
class PreparedMp3 final : public PreparedEntry {
public:
    Status Append(MovieBuilder& builder, const EntryContext& context) override {
        FILE* file = fopen(path.c_str(), "rb");
        if (file == nullptr) {
            return ConvertError{};
        }
        auto* sound = new CSwfDefineSoundMp3(file);
        fclose(file);
        if (sound->HasUnsupportedRate()) {
            // SWF labels MP3 only at 11025, 22050 and 44100 Hz: decode and re-encode the rest.
            context.status(LastChars(path, 25) + " MP3 at " +
                           std::to_string(sound->GetSampleRate()) +
                           " Hz, converting through PCM...");
            delete sound;
            Notes notes;
            auto wave = PrepareWave(path, size, context, false, notes, true);
            for (const ConvertError& note : notes) {
                context.show(note);
            }
            return wave ? (*wave)->Append(builder, context) : wave.Error();
        }
        if (sound->HasFailed()) {
            delete sound;
            return ConvertError{kSoundErrorText, ""};
        }
        AddEventSound(builder,
                      new CSwfSoundStreamHead2(sound->GetSoundFlags(), kSoundMp3, 1,
                                               sound->IsStereo() ? 1 : 0,
                                               static_cast<uint16_t>(sound->GetSampleCount())),
                      sound);
        AddEntryFrames(builder, context.opts);
        return Done{};
    }

    std::string path;
    long size = 0;
};

bool IsWave(const ConvertObject& entry, const ConvertOptions& opts) {
    int index = FormatIndexOf(entry.path, opts);
    return index >= 0 && opts.formats[index].formatId == FormatWav;
}

class SoundConverter final : public EntryConverter {
public:
    std::optional<ConvertError> Question(const ConvertObject& entry,
                                         const ConvertOptions& opts) const override {
        if (!IsWave(entry, opts) || entry.size <= kSoundSizeLimit) {
            return std::nullopt;
        }
        return ConvertError{
            Format("WAVE to large File %s\nwave files greater than 30 MB are not currently "
                   "supported, to reduce file size\nyou can convert this wave file to mono\n\n"
                   "Convert stero -> mono ?",
                   entry.path),
            "File To Large..."};
    }

    Result<std::unique_ptr<PreparedEntry>> Prepare(const ConvertObject& entry,
                                                   const EntryContext& context, bool answeredYes,
                                                   Notes& notes) const override {
        if (IsWave(entry, context.opts)) {
            return PrepareWave(entry.path, entry.size, context, answeredYes, notes, true);
        }
        // MP3 frames are embedded as they are: a file over the limit is refused unread.
        struct stat info {};
        if (stat(entry.path.c_str(), &info) != 0) {
            return ConvertError{};
        }
        if (info.st_size > kSoundSizeLimit) {
            return ConvertError{Format(kMp3TooLargeText, entry.path), "Conversion"};
        }
        auto mp3 = std::make_unique<PreparedMp3>();
        mp3->path = entry.path;
        mp3->size = entry.size;
        return std::unique_ptr<PreparedEntry>(std::move(mp3));
    }
};

} // namespace

const EntryConverter& SoundEntryConverter() {
    static const SoundConverter converter;
    return converter;
}

Result<std::unique_ptr<PreparedEntry>> PrepareWave(const std::string& path, long size,
                                                   const EntryContext& context, bool answeredYes,
                                                   Notes& notes, bool entryFrames) {
    const FormatOptions& audio = WavFormat(context.opts);
    NoteSink sink(notes);
    std::string copyPath = PcmCopyPath(context.tempFolder, path);
    WavToPcmConverter converter(path, copyPath, &sink);
    context.status(LastChars(path, 25) + " converting to PCM wave data...");

    bool mono = audio.soundFlag != 0;
    if (size > kSoundSizeLimit) {
        if (!answeredYes) {
            return ConvertError{Format("Skipping file %s", path), "Conversion"};
        }
        mono = true;
    }
    // The limit holds for what the conversion would write, refused before it is written.
    converter.LimitDestination(kSoundSizeLimit);
    if (!converter.Convert(mono)) {
        if (converter.IsTooLarge()) {
            return ConvertError{Format(kStillTooLargeText, path), "Conversion"};
        }
        // A file without a format chunk fails without a word of its own; say something.
        return ConvertError{sink.shown == 0 ? kSoundErrorText : "", ""};
    }
    CopyRemover remover{converter.IsConverted() ? copyPath : std::string()};
    std::ifstream file(converter.IsConverted() ? copyPath : path, std::ios::binary | std::ios::ate);
    if (!file) {
        return ConvertError{"Unable to Open Wave File for conversion to SWF format", ""};
    }
    const std::streamoff length = file.tellg();
    if (length > kSoundSizeLimit) {
        return ConvertError{Format(kStillTooLargeText, path), "Conversion"};
    }
    auto wave = std::make_unique<PreparedWave>();
    wave->bytes.resize(static_cast<size_t>(std::max<std::streamoff>(length, 0)));
    file.seekg(0);
    file.read(wave->bytes.data(), static_cast<std::streamsize>(wave->bytes.size()));
    if (!file) {
        return ConvertError{"Unable to Open Wave File for conversion to SWF format", ""};
    }
    wave->path = path;
    wave->codeSize = CodeSizeFor(audio.compression);
    wave->entryFrames = entryFrames;
    return std::unique_ptr<PreparedEntry>(std::move(wave));
}
