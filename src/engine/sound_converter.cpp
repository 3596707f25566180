// Sound files into movies: a WAV file is brought to 16-bit PCM and becomes an event sound,
// uncompressed or ADPCM; an MP3 file's frames are embedded as they are.
#include "engine/converter_parts.h"
#include "engine/engine_namespace.h"
#include "engine/movie_builder.h"

#include "media/wav_to_pcm.h"
#include "swf/mp3_frames.h"
#include "swf/swf_sound.h"
#include "swf/wav_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace kestrova::engine {

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

// Removes the converted copy once the sound has been read from it.
struct CopyRemover {
    std::string path;
    ~CopyRemover() {
        if (!path.empty()) {
            std::remove(path.c_str());
        }
    }
};

// Stream head, sound and its start, in the order players expect them; the sound takes id.
void AddEventSound(MovieBuilder& builder, std::unique_ptr<CSwfTag> streamHead, uint16_t id,
                   CSwfSoundData sound) {
    builder.Add(std::move(streamHead));
    builder.Add(std::make_unique<CSwfDefineSound>(id, std::move(sound)));
    builder.Add(std::make_unique<CSwfStartSound>(id, CSwfSoundInfo{.syncFlags = 1}));
}

// A WAV file's samples, uncompressed or ADPCM-encoded, made into an event sound on Append;
// none when the file could not be read as 16-bit PCM (the sound's id is taken all the same).
class PreparedWave final : public PreparedEntry {
public:
    Status Append(MovieBuilder& builder, const EntryContext& context) override {
        context.status(LastChars(path, 25) + " Adding to Movie...");
        const uint16_t id = builder.NewId();
        if (id == 0 || !sound) {
            return ConvertError{kSoundErrorText, ""};
        }
        auto head =
            std::make_unique<CSwfSoundStreamHead>(sound->SoundFlags(), sound->IsStereo() ? 1 : 0,
                                                  static_cast<uint16_t>(sound->sampleCount));
        AddEventSound(builder, std::move(head), id, std::move(*sound));
        if (entryFrames) {
            AddEntryFrames(builder, context.opts);
        }
        return Done{};
    }

    std::string path;
    std::optional<CSwfSoundData> sound;
    bool entryFrames = false;
};

// An MP3 file's frames, embedded as they are; or, at a rate SWF cannot label, the file
// re-encoded through PCM, which takes the id after the one the MP3 sound would have had.
class PreparedMp3 final : public PreparedEntry {
public:
    Status Append(MovieBuilder& builder, const EntryContext& context) override {
        const uint16_t id = builder.NewId();
        if (reencoded) {
            return reencoded->Append(builder, context);
        }
        if (id == 0) {
            return ConvertError{kSoundErrorText, ""};
        }
        auto head = std::make_unique<CSwfSoundStreamHead2>(
            sound.SoundFlags(), kSoundMp3, 1, sound.IsStereo() ? 1 : 0,
            static_cast<uint16_t>(sound.sampleCount));
        AddEventSound(builder, std::move(head), id, std::move(sound));
        AddEntryFrames(builder, context.opts);
        return Done{};
    }

    CSwfSoundData sound;
    std::unique_ptr<PreparedEntry> reencoded;
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
        return PrepareMp3(entry, context, notes);
    }

private:
    static Result<std::unique_ptr<PreparedEntry>>
    PrepareMp3(const ConvertObject& entry, const EntryContext& context, Notes& notes) {
        FILE* file = fopen(entry.path.c_str(), "rb");
        if (file == nullptr) {
            return ConvertError{};
        }
        // MP3 frames are embedded as they are: a file over the limit is refused unread.
        struct stat info {};
        if (fstat(fileno(file), &info) == 0 && info.st_size > kSoundSizeLimit) {
            fclose(file);
            return ConvertError{Format(kMp3TooLargeText, entry.path), "Conversion"};
        }
        CMp3Frames frames;
        const bool found = ReadMp3File(file, frames);
        fclose(file);
        const uint32_t sampleRate = frames.first.sampleRate;
        std::optional<CSwfSoundData> sound;
        if (found) {
            sound = SoundFromMp3(std::move(frames));
        }
        auto mp3 = std::make_unique<PreparedMp3>();
        if (found && !sound) {
            // SWF labels MP3 only at 11025, 22050 and 44100 Hz: decode and re-encode the rest.
            context.status(LastChars(entry.path, 25) + " MP3 at " + std::to_string(sampleRate) +
                           " Hz, converting through PCM...");
            auto wave = PrepareWave(entry.path, entry.size, context, false, notes, true);
            if (!wave) {
                return wave.Error();
            }
            mp3->reencoded = std::move(*wave);
        } else if (!sound) {
            return ConvertError{kSoundErrorText, ""};
        } else {
            mp3->sound = std::move(*sound);
        }
        return std::unique_ptr<PreparedEntry>(std::move(mp3));
    }
};

} // namespace

void AddEntryFrames(MovieBuilder& builder, const ConvertOptions& opts) {
    if (opts.outputMode != OutputSingle) {
        builder.AddShowFrames(opts.framesPerImage);
    }
}

const EntryConverter& SoundEntryConverter() {
    static const SoundConverter converter;
    return converter;
}

Result<std::unique_ptr<PreparedEntry>> PrepareWave(const std::string& path, long size,
                                                   const EntryContext& context, bool answeredYes,
                                                   Notes& notes, bool entryFrames) {
    const FormatOptions& audio = WavFormat(context.opts);
    std::string copyPath = PcmCopyPath(context.tempFolder, path);
    WavToPcmConverter converter(path, copyPath);
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
    const int converted = converter.Convert(mono);
    // The re-encoder's messages become notes of the entry.
    for (const std::string& text : converter.Messages()) {
        notes.push_back({text, ""});
    }
    if (!converted) {
        if (converter.IsTooLarge()) {
            return ConvertError{Format(kStillTooLargeText, path), "Conversion"};
        }
        // A file without a format chunk fails without a word of its own; say something.
        return ConvertError{converter.Messages().empty() ? kSoundErrorText : "", ""};
    }
    CopyRemover remover{converter.IsConverted() ? copyPath : std::string()};
    FILE* file = fopen((converter.IsConverted() ? copyPath : path).c_str(), "rb");
    if (file == nullptr) {
        return ConvertError{"Unable to Open Wave File for conversion to SWF format", ""};
    }
    fseek(file, 0, SEEK_END);
    if (ftell(file) > kSoundSizeLimit) {
        fclose(file);
        return ConvertError{Format(kStillTooLargeText, path), "Conversion"};
    }
    fseek(file, 0, SEEK_SET);
    CWaveSound samples;
    const bool read = ReadWaveFile(file, samples);
    fclose(file);
    auto wave = std::make_unique<PreparedWave>();
    if (read && samples.waveFormatTag == 1) {
        wave->sound = SoundFromWave(std::move(samples), CodeSizeFor(audio.compression));
    }
    wave->path = path;
    wave->entryFrames = entryFrames;
    return std::unique_ptr<PreparedEntry>(std::move(wave));
}

} // namespace kestrova::engine
