// Sound files into movies: a WAV file is brought to 16-bit PCM and becomes an event sound,
// uncompressed or ADPCM; an MP3 file's frames are embedded as they are.
#include "engine/convert_engine.h"

#include "media/wav_to_pcm.h"
#include "swf/mp3_frames.h"
#include "swf/swf_sound.h"
#include "swf/wav_reader.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace {

const char* const kStillTooLargeText = "WAVE File Still To Large (> 30 MB), Skipping file %s";
const char* const kMp3TooLargeText = "MP3 file too large (more than 30 MB), skipping file %s";

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

// The re-encoder reports through a message sink; the engine's prompt shows the boxes.
class PromptSink : public IMessageSink {
public:
    explicit PromptSink(IConvertPrompt* prompt) : prompt(prompt) {}
    void ShowMessage(const std::string& text, const std::string& caption) override {
        ++shown;
        if (prompt != nullptr) {
            prompt->ShowMessage(text, caption);
        }
    }
    int shown = 0;

private:
    IConvertPrompt* prompt;
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
void AddEventSound(CSwfMovie& movie, std::unique_ptr<CSwfTag> streamHead,
                   std::unique_ptr<CSwfDefineSound> sound) {
    const uint16_t soundId = sound->GetId();
    movie.AddTag(std::move(streamHead));
    movie.AddTag(std::move(sound));
    movie.AddTag(std::make_unique<CSwfStartSound>(soundId, CSwfSoundInfo{.syncFlags = 1}));
}

} // namespace

int CConvertEngine::AddWave(ConvertObject& entry, const ConvertOptions& opts,
                            IConvertObserver* window) {
    int index = opts.FindFormat(FormatWav);
    const FormatOptions& audio = opts.formats[index < 0 ? 0 : index];
    PromptSink sink(prompt);
    std::string copyPath = PcmCopyPath(tempFolder, entry.path);
    WavToPcmConverter converter(entry.path, copyPath, &sink);
    window->ShowState((LastChars(entry.path, 25) + " converting to PCM wave data...").c_str());

    bool mono = audio.soundFlag != 0;
    if (entry.size > kSoundSizeLimit) {
        std::string question = Format(
            "WAVE to large File %s\nwave files greater than 30 MB are not currently supported, "
            "to reduce file size\nyou can convert this wave file to mono\n\nConvert stero -> "
            "mono ?",
            entry.path);
        if (prompt == nullptr || !prompt->AskYesNo(question, "File To Large...")) {
            ShowMessage(Format("Skipping file %s", entry.path), "Conversion");
            return 0;
        }
        mono = true;
    }
    // The limit holds for what the conversion would write, refused before it is written.
    converter.LimitDestination(kSoundSizeLimit);
    if (!converter.Convert(mono)) {
        if (converter.IsTooLarge()) {
            ShowMessage(Format(kStillTooLargeText, entry.path), "Conversion");
            return 0;
        }
        // A file without a format chunk fails without a word of its own; say something.
        if (sink.shown == 0) {
            ShowMessage("There was an error while converting this audio file");
        }
        return 0;
    }
    CopyRemover remover{converter.IsConverted() ? copyPath : std::string()};
    const std::string& pcmPath = converter.IsConverted() ? copyPath : entry.path;

    FILE* file = fopen(pcmPath.c_str(), "rb");
    if (file == nullptr) {
        ShowMessage("Unable to Open Wave File for conversion to SWF format");
        return 0;
    }
    fseek(file, 0, SEEK_END);
    long length = ftell(file);
    if (length > kSoundSizeLimit) {
        ShowMessage(Format(kStillTooLargeText, entry.path), "Conversion");
        fclose(file);
        return 0;
    }
    window->ShowState((LastChars(entry.path, 25) + " Adding to Movie...").c_str());
    fseek(file, 0, SEEK_SET);
    const uint16_t soundId = movie.NewId();
    CWaveSound wave;
    const bool read = ReadWaveFile(file, wave);
    fclose(file);
    if (soundId == 0 || !read || wave.waveFormatTag != 1) {
        ShowMessage("There was an error while converting this audio file");
        return 0;
    }
    CSwfSoundData sound = SoundFromWave(std::move(wave), CodeSizeFor(audio.compression));
    auto head = std::make_unique<CSwfSoundStreamHead>(sound.SoundFlags(), sound.IsStereo() ? 1 : 0,
                                                      static_cast<uint16_t>(sound.sampleCount));
    AddEventSound(movie, std::move(head),
                  std::make_unique<CSwfDefineSound>(soundId, std::move(sound)));
    return 1;
}

int CConvertEngine::AddMp3(ConvertObject& entry, const ConvertOptions& opts,
                           IConvertObserver* window) {
    FILE* file = fopen(entry.path.c_str(), "rb");
    if (file == nullptr) {
        return 0;
    }
    // MP3 frames are embedded as they are: a file over the limit is refused before it is read.
    struct stat info {};
    if (fstat(fileno(file), &info) == 0 && info.st_size > kSoundSizeLimit) {
        fclose(file);
        ShowMessage(Format(kMp3TooLargeText, entry.path), "Conversion");
        return 0;
    }
    const uint16_t soundId = movie.NewId();
    CMp3Frames frames;
    const bool found = ReadMp3File(file, frames);
    fclose(file);
    const uint32_t sampleRate = frames.first.sampleRate;
    std::optional<CSwfSoundData> sound;
    if (found) {
        sound = SoundFromMp3(std::move(frames));
    }
    if (found && !sound) {
        // SWF can only label MP3 at 11025, 22050 and 44100 Hz: decode and re-encode the rest.
        std::string state = LastChars(entry.path, 25) + " MP3 at " + std::to_string(sampleRate) +
                            " Hz, converting through PCM...";
        window->ShowState(state.c_str());
        return AddWave(entry, opts, window);
    }
    if (!sound || soundId == 0) {
        ShowMessage("There was an error while converting this audio file");
        return 0;
    }
    auto head = std::make_unique<CSwfSoundStreamHead2>(sound->SoundFlags(), kSoundMp3, 1,
                                                       sound->IsStereo() ? 1 : 0,
                                                       static_cast<uint16_t>(sound->sampleCount));
    AddEventSound(movie, std::move(head),
                  std::make_unique<CSwfDefineSound>(soundId, std::move(*sound)));
    return 1;
}
