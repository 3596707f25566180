#include "media/wav_to_pcm.h"

#include "media/ffmpeg_handles.h"
#include "media/temp_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

namespace kestrova::media {

namespace {

const char* const kOpenSourceText =
    "Error opening file %s\n\nUnable to continue with wave converstion.. audio convert aborted\n";
const char* const kNoRiffText =
    "Error No WAVE RIFF block could be found in  file %s\nInvalid wave file\nUnable to continue "
    "with wave converstion.. audio convert aborted\n";
const char* const kShortReadText = "format tag read failed";
const char* const kUnableText = "Unable to continue with wave audio conversion...";
const char* const kShortFormatText =
    "The WAV file %s has a format chunk too short to describe its sound";
const char* const kNoChannelsText = "The WAV file %s declares 0 channels";
const char* const kNoRateText = "The WAV file %s declares a sample rate of 0 Hz";
const char* const kHighRateText = "The WAV file %s declares a sample rate above 768000 Hz";
// No recording is made faster; resampling from absurd rates costs the resampler seconds for a
// few bytes of sound.
constexpr uint32_t kMaxSourceRate = 768000;
const char* const kOpenDestinationText =
    "Error, Unable to Open Destination file for writing %s\n Make sure the disk is not write "
    "protected and the file is not in use\nUnable to continue with wave audio conversion...";
const char* const kWriteDestinationText =
    "Error, Unable to write to Destination file %s\n Make sure the disk is not write protected "
    "and the file is not in use\nUnable to continue with wave audio conversion...";
const char* const kCreationText =
    "Error, wave format Creation error %s\n Make sure the disk is not write protected and the "
    "file is not in use\nUnable to continue with wave audio conversion...";

// What went wrong with a sound FFmpeg could not open, decode or resample, in our words, from
// the FFmpeg error code of the failing step.
const char* SoundFaultText(int averror) {
    if (averror == AVERROR(ENOMEM)) {
        return "There is not enough memory to convert the sound in %s";
    }
    if (averror == AVERROR(EINVAL)) {
        return "The sound in %s has a channel count or sample rate that cannot be converted";
    }
    if (averror == AVERROR_DECODER_NOT_FOUND || averror == AVERROR_STREAM_NOT_FOUND) {
        return "The sound in %s is stored in a format that cannot be decoded";
    }
    return "The sound in %s is damaged and could not be decoded";
}

std::string WithPath(const char* text, const std::string& path) {
    std::string result = text;
    size_t at = result.find("%s");
    if (at != std::string::npos) {
        result.replace(at, 2, path);
    }
    return result;
}

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void PutU16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    PutU16(p, v);
    PutU16(p + 2, v >> 16);
}
void PutId(uint8_t* p, const char* id) {
    std::memcpy(p, id, 4);
}

// Fields of a "fmt " chunk; missing trailing fields read as 0.
WaveFormat ParseFormat(const std::vector<uint8_t>& chunk) {
    uint8_t bytes[18] = {};
    std::copy_n(chunk.begin(), std::min(chunk.size(), sizeof bytes), bytes);
    WaveFormat f;
    f.formatTag = GetU16(bytes);
    f.channels = GetU16(bytes + 2);
    f.samplesPerSec = GetU32(bytes + 4);
    f.avgBytesPerSec = GetU32(bytes + 8);
    f.blockAlign = GetU16(bytes + 12);
    f.bitsPerSample = GetU16(bytes + 14);
    f.extraSize = GetU16(bytes + 16);
    return f;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

struct IoFreer {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// The validated "fmt " and "data" chunks served to libavformat as a well-formed WAV file
// held in memory, so the demuxer sees exactly the chunks that were read and checked.
class MemoryWave {
public:
    MemoryWave(const std::vector<uint8_t>& format, const std::vector<uint8_t>& data) : data(data) {
        const uint32_t formatPad = format.size() & 1;
        header.resize(20 + format.size() + formatPad + 8);
        uint8_t* p = header.data();
        const uint64_t riffSize = 4 + 8 + format.size() + formatPad + 8 + data.size();
        PutId(p, "RIFF");
        PutU32(p + 4, static_cast<uint32_t>(std::min<uint64_t>(riffSize, 0xFFFFFFFFu)));
        PutId(p + 8, "WAVE");
        PutId(p + 12, "fmt ");
        PutU32(p + 16, static_cast<uint32_t>(format.size()));
        std::copy(format.begin(), format.end(), header.begin() + 20);
        p = header.data() + header.size() - 8;
        PutId(p, "data");
        PutU32(p + 4, static_cast<uint32_t>(data.size()));
    }

    static int Read(void* opaque, uint8_t* buffer, int size) {
        auto* self = static_cast<MemoryWave*>(opaque);
        const int64_t total = self->Size();
        if (self->position >= total) {
            return AVERROR_EOF;
        }
        const int count = static_cast<int>(std::min<int64_t>(size, total - self->position));
        for (int done = 0; done < count;) {
            const int64_t at = self->position;
            const auto headerSize = static_cast<int64_t>(self->header.size());
            const uint8_t* from =
                at < headerSize ? self->header.data() + at : self->data.data() + (at - headerSize);
            const int64_t left = at < headerSize ? headerSize - at : total - at;
            const int n = static_cast<int>(std::min<int64_t>(count - done, left));
            std::memcpy(buffer + done, from, static_cast<size_t>(n));
            done += n;
            self->position += n;
        }
        return count;
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        auto* self = static_cast<MemoryWave*>(opaque);
        const int64_t total = self->Size();
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return total;
        case SEEK_SET:
            break;
        case SEEK_CUR:
            offset += self->position;
            break;
        case SEEK_END:
            offset += total;
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (offset < 0 || offset > total) {
            return AVERROR(EINVAL);
        }
        self->position = offset;
        return offset;
    }

private:
    int64_t Size() const { return static_cast<int64_t>(header.size() + data.size()); }

    std::vector<uint8_t> header;
    const std::vector<uint8_t>& data;
    int64_t position = 0;
};

// The destination file, written as it is produced: the 44-byte header with its lengths filled
// in at the end. Any failure, or destruction before Finish succeeded, removes the file.
class DestinationFile {
public:
    // limit: the most bytes the file may have, header included (0 for no limit).
    DestinationFile(const std::string& path, uint64_t limit) : path(path) {
        if (limit != 0) {
            maxDataLength =
                limit <= kHeaderSize ? 0 : std::min<uint64_t>(limit - kHeaderSize, maxDataLength);
        }
    }
    ~DestinationFile() {
        if (file) {
            file.reset();
            std::remove(path.c_str());
        }
    }

    // Returns the message text of a failure, or nullptr.
    const char* Open(const WaveFormat& format) {
        file = CreateExclusiveFile(path);
        if (!file) {
            return kOpenDestinationText;
        }
        uint8_t header[kHeaderSize];
        PutId(header, "RIFF");
        PutU32(header + 4, 0);
        PutId(header + 8, "WAVE");
        PutId(header + 12, "fmt ");
        PutU32(header + 16, 16);
        PutU16(header + 20, format.formatTag);
        PutU16(header + 22, format.channels);
        PutU32(header + 24, format.samplesPerSec);
        PutU32(header + 28, format.avgBytesPerSec);
        PutU16(header + 32, format.blockAlign);
        PutU16(header + 34, format.bitsPerSample);
        PutId(header + 36, "data");
        PutU32(header + 40, 0);
        if (std::fwrite(header, 1, kHeaderSize, file.get()) != kHeaderSize) {
            return kWriteDestinationText;
        }
        return nullptr;
    }

    // Appends samples; false when they could not be written or would pass the limit (then
    // overLimit is set) or the RIFF lengths would overflow.
    bool Append(const uint8_t* bytes, size_t count) {
        if (count > maxDataLength - dataLength) {
            overLimit = true;
            return false;
        }
        dataLength += static_cast<uint32_t>(count);
        return std::fwrite(bytes, 1, count, file.get()) == count;
    }

    bool Finish() {
        uint8_t length[4];
        PutU32(length, kHeaderSize - 8 + dataLength);
        bool ok =
            std::fseek(file.get(), 4, SEEK_SET) == 0 && std::fwrite(length, 1, 4, file.get()) == 4;
        PutU32(length, dataLength);
        ok = ok && std::fseek(file.get(), 40, SEEK_SET) == 0 &&
             std::fwrite(length, 1, 4, file.get()) == 4;
        ok = CloseWrittenFile(std::move(file)) && ok;
        if (!ok) {
            std::remove(path.c_str());
        }
        return ok;
    }

    uint32_t DataLength() const { return dataLength; }
    bool overLimit = false;

    static constexpr size_t kHeaderSize = 44;

private:
    std::string path;
    uint64_t maxDataLength = 0xFFFFFFFFu - (kHeaderSize - 8);
    TempFilePtr file;
    uint32_t dataLength = 0;
};

// Decodes the one audio stream of an opened input and converts it to interleaved 16-bit
// samples in the target layout and rate. A failure's FFmpeg error code is kept for the report.
class AudioDecoder {
public:
    int failure = AVERROR_UNKNOWN;
    bool writeFailed = false; // the destination, not the sound, failed

    AudioDecoder() = default;
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;
    ~AudioDecoder() {
        resampler.reset();
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
    }

    // Finds the audio stream of an opened input and opens its decoder.
    bool Open(AVFormatContext* input) {
        format = input;
        // Failing to probe further is not fatal: the header's parameters usually suffice.
        (void)avformat_find_stream_info(format, nullptr);
        const AVCodec* codec = nullptr;
        streamIndex = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (streamIndex < 0 || !codec) {
            return Fail(streamIndex < 0 ? streamIndex : AVERROR_DECODER_NOT_FOUND);
        }
        decoder.reset(avcodec_alloc_context3(codec));
        frame.reset(av_frame_alloc());
        packet.reset(av_packet_alloc());
        if (!decoder || !frame || !packet) {
            return Fail(AVERROR(ENOMEM));
        }
        const AVCodecParameters* parameters = format->streams[streamIndex]->codecpar;
        int err = avcodec_parameters_to_context(decoder.get(), parameters);
        if (err >= 0) {
            err = avcodec_open2(decoder.get(), codec, nullptr);
        }
        if (err < 0) {
            return Fail(err);
        }
        if (Channels() <= 0 || Rate() <= 0) {
            return Fail(AVERROR(EINVAL));
        }
        return true;
    }

    // Seconds of sound the container announces; 0 when it tells none.
    double Duration() const {
        const AVStream* stream = format->streams[streamIndex];
        if (stream->duration > 0 && stream->time_base.den > 0) {
            return static_cast<double>(stream->duration) * av_q2d(stream->time_base);
        }
        return format->duration > 0 ? static_cast<double>(format->duration) / AV_TIME_BASE : 0;
    }

    int Channels() const { return decoder->ch_layout.nb_channels; }
    int Rate() const { return decoder->sample_rate; }

    void SetOutput(const WaveFormat& target) {
        outRate = static_cast<int>(target.samplesPerSec);
        av_channel_layout_uninit(&outLayout);
        av_channel_layout_default(&outLayout, target.channels);
    }

    // Decodes everything into the destination. Packets the decoder rejects are skipped; only a
    // stream of which nothing at all decodes fails. Returns false at the first failure; a
    // failure to write the destination sets writeFailed.
    bool Run(DestinationFile& output) {
        destination = &output;
        while (av_read_frame(format, packet.get()) >= 0) {
            bool ok = true;
            if (packet->stream_index == streamIndex) {
                ok = Decode(packet.get());
            }
            av_packet_unref(packet.get());
            if (!ok) {
                return false;
            }
        }
        if (!Decode(nullptr) || !Drain()) {
            return false;
        }
        if (producedAny || decodeErrors == 0) {
            return true;
        }
        return Fail(AVERROR_INVALIDDATA);
    }

private:
    bool Fail(int averror) {
        failure = averror;
        return false;
    }

    bool Decode(const AVPacket* input) {
        if (avcodec_send_packet(decoder.get(), input) < 0) {
            ++decodeErrors;
            return true;
        }
        for (;;) {
            const int err = avcodec_receive_frame(decoder.get(), frame.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) {
                return true;
            }
            if (err < 0) {
                ++decodeErrors;
                return true;
            }
            const bool ok = Resample(frame.get());
            av_frame_unref(frame.get());
            if (!ok) {
                return false;
            }
        }
    }

    // (Re)configures the resampler for the frame's format; a resampler for an earlier format
    // is drained first.
    bool Configure(const AVFrame* in) {
        AVChannelLayout layout{};
        if (in->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || in->ch_layout.nb_channels == 0) {
            av_channel_layout_default(&layout, in->ch_layout.nb_channels > 0
                                                   ? in->ch_layout.nb_channels
                                                   : decoder->ch_layout.nb_channels);
        } else if (av_channel_layout_copy(&layout, &in->ch_layout) < 0) {
            return Fail(AVERROR(ENOMEM));
        }
        const int rate = in->sample_rate > 0 ? in->sample_rate : decoder->sample_rate;
        const bool same = resampler && in->format == inFormat && rate == inRate &&
                          av_channel_layout_compare(&layout, &inLayout) == 0;
        if (same) {
            av_channel_layout_uninit(&layout);
            return true;
        }
        if (resampler && !Drain()) {
            av_channel_layout_uninit(&layout);
            return false;
        }
        resampler.reset();
        av_channel_layout_uninit(&inLayout);
        inLayout = layout;
        inFormat = in->format;
        inRate = rate;
        if (inLayout.nb_channels <= 0 || inRate <= 0) {
            return Fail(AVERROR(EINVAL));
        }
        SwrContext* swr = nullptr;
        int err = swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_S16, outRate, &inLayout,
                                      static_cast<AVSampleFormat>(inFormat), inRate, 0, nullptr);
        resampler.reset(swr);
        if (err >= 0) {
            err = swr_init(resampler.get());
        }
        return err >= 0 || Fail(err);
    }

    bool Resample(const AVFrame* in) {
        if (!Configure(in)) {
            return false;
        }
        return Convert(const_cast<const uint8_t**>(in->extended_data), in->nb_samples);
    }

    bool Drain() { return !resampler || Convert(nullptr, 0); }

    // Converts the given input (none: flush the resampler's delay) and hands the result on.
    bool Convert(const uint8_t** in, int count) {
        for (;;) {
            const int room = swr_get_out_samples(resampler.get(), count) + 32;
            const int bytesPerFrame = outLayout.nb_channels * 2;
            if (room <= 0 || static_cast<size_t>(room) * bytesPerFrame > buffer.max_size()) {
                return Fail(AVERROR(ENOMEM));
            }
            buffer.resize(static_cast<size_t>(room) * bytesPerFrame);
            uint8_t* out = buffer.data();
            const int made = swr_convert(resampler.get(), &out, room, in, count);
            if (made < 0) {
                return Fail(made);
            }
            if (made > 0) {
                producedAny = true;
                if (!destination->Append(buffer.data(),
                                         static_cast<size_t>(made) * bytesPerFrame)) {
                    writeFailed = true;
                    return false;
                }
            }
            // Input is consumed in one call; a flush repeats until the delay is empty.
            if (in || made == 0) {
                return true;
            }
        }
    }

    AVFormatContext* format = nullptr;
    int streamIndex = -1;
    CodecPtr decoder;
    ResamplerPtr resampler;
    FramePtr frame;
    PacketPtr packet;
    AVChannelLayout inLayout{};
    AVChannelLayout outLayout{};
    int inFormat = -1;
    int inRate = 0;
    int outRate = 0;
    DestinationFile* destination = nullptr;
    std::vector<uint8_t> buffer;
    long decodeErrors = 0;
    bool producedAny = false;
};

// A plain file name could be taken for a protocol ("name:rest"); the file protocol is explicit.
std::string FfmpegFileUrl(const std::string& path) {
    return "file:" + path;
}

// True when libavformat recognises the file as an MPEG audio (MP3) stream.
bool IsMp3File(const std::string& path) {
    AVFormatContext* probe = nullptr;
    if (avformat_open_input(&probe, FfmpegFileUrl(path).c_str(), nullptr, nullptr) < 0) {
        return false;
    }
    const bool mp3 = std::strcmp(probe->iformat->name, "mp3") == 0;
    avformat_close_input(&probe);
    return mp3;
}

} // namespace

std::string PcmCopyPath(const std::string& tempDirectory, const std::string& sourcePath) {
    return tempDirectory + "kestrova_pcm_" + std::filesystem::path(sourcePath).stem().string() +
           ".wav";
}

uint32_t SwfPlaybackRate(uint32_t samplesPerSec) {
    for (uint32_t rate : {5512u, 11025u, 22050u}) {
        if (samplesPerSec <= rate) {
            return rate;
        }
    }
    return 44100;
}

WavToPcmConverter::WavToPcmConverter(const std::string& sourcePath,
                                     const std::string& destinationPath)
    : destinationPath(destinationPath), sourcePath(sourcePath) {}

void WavToPcmConverter::Show(const std::string& text) {
    messages.push_back(text);
}

void WavToPcmConverter::FreeBuffers() {
    std::vector<uint8_t>().swap(sourceFormat);
    std::vector<uint8_t>().swap(sourceData);
}

int WavToPcmConverter::Convert(bool stereoToMono) {
    converted = false;
    tooLarge = false;
    destinationLength = 0;
    int result = 0;
    switch (ReadSource()) {
    case Source::Failed:
    case Source::NoFormat:
        break;
    case Source::Mp3:
        result = ConvertWithFfmpeg(true, stereoToMono);
        break;
    case Source::Wave:
        result = NeedsNoConversion(stereoToMono) ? 1 : ConvertWithFfmpeg(false, stereoToMono);
        break;
    }
    FreeBuffers();
    return result;
}

bool WavToPcmConverter::NeedsNoConversion(bool stereoToMono) const {
    const WaveFormat f = ParseFormat(sourceFormat);
    return f.formatTag == 1 && f.bitsPerSample == 16 && f.channels >= 1 &&
           f.channels <= (stereoToMono ? 1 : 2) &&
           SwfPlaybackRate(f.samplesPerSec) == f.samplesPerSec;
}

void WavToPcmConverter::SetTargetFormat(uint16_t sourceChannels, uint32_t sourceRate,
                                        bool stereoToMono) {
    // SWF sound is mono or stereo, so more channels are mixed down to two.
    targetFormat = WaveFormat{};
    targetFormat.formatTag = 1;
    targetFormat.channels = stereoToMono ? 1 : std::min<uint16_t>(sourceChannels, 2);
    targetFormat.samplesPerSec = SwfPlaybackRate(sourceRate);
    targetFormat.bitsPerSample = 16;
    targetFormat.blockAlign = static_cast<uint16_t>(targetFormat.channels * 16 / 8);
    targetFormat.avgBytesPerSec = targetFormat.samplesPerSec * targetFormat.blockAlign;
}

WavToPcmConverter::Source WavToPcmConverter::ReadSource() {
    FilePtr file(std::fopen(sourcePath.c_str(), "rb"));
    if (!file) {
        Show(WithPath(kOpenSourceText, sourcePath));
        return Source::Failed;
    }
    // Only a regular file has an end: a device or pipe would keep the chunk search going.
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        Show(WithPath(kNoRiffText, sourcePath));
        return Source::Failed;
    }
    // Find the RIFF chunk of form WAVE among the top-level chunks.
    for (;;) {
        uint8_t head[12];
        if (std::fread(head, 1, sizeof head, file.get()) != sizeof head) {
            break;
        }
        if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
            const int read = ReadChunks(file.get(), GetU32(head + 4));
            if (read < 0) {
                return Source::Failed;
            }
            return read == 0 ? Source::NoFormat : Source::Wave;
        }
        const uint32_t size = GetU32(head + 4);
        if (std::fseek(file.get(), static_cast<long>(size) + (size & 1) - 4, SEEK_CUR) != 0) {
            break;
        }
    }
    file.reset();
    if (IsMp3File(sourcePath)) {
        return Source::Mp3;
    }
    Show(WithPath(kNoRiffText, sourcePath));
    return Source::Failed;
}

// Walks the sub-chunks of the RIFF chunk whose header was just read, keeping the last "fmt "
// and "data" chunks. Returns 1 when a "fmt " chunk was found, 0 when none was, -1 on a
// short read (reported). A missing "data" chunk leaves the data empty.
int WavToPcmConverter::ReadChunks(FILE* file, uint32_t riffSize) {
    const long start = std::ftell(file);
    const long end = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (start < 0 || end < 0) {
        Show(kShortReadText);
        return -1;
    }
    const auto fileEnd = static_cast<uint64_t>(end);
    // The RIFF size counts from the form type on.
    const uint64_t riffEnd = static_cast<uint64_t>(start) - 4 + riffSize;
    uint64_t position = static_cast<uint64_t>(start);
    bool haveFormat = false;
    while (position + 8 <= std::min(riffEnd, fileEnd)) {
        uint8_t head[8];
        if (std::fseek(file, static_cast<long>(position), SEEK_SET) != 0 ||
            std::fread(head, 1, sizeof head, file) != sizeof head) {
            break;
        }
        uint32_t size = GetU32(head + 4);
        const uint64_t body = position + 8;
        const bool isFormat = std::memcmp(head, "fmt ", 4) == 0;
        if (isFormat || std::memcmp(head, "data", 4) == 0) {
            std::vector<uint8_t>& target = isFormat ? sourceFormat : sourceData;
            // A streamed file (written where its sizes could not be filled in afterwards)
            // has its data to the end of the file.
            if (!isFormat && (riffSize == 0xFFFFFFFFu || size == 0xFFFFFFFFu)) {
                size = static_cast<uint32_t>(std::min<uint64_t>(size, fileEnd - body));
            }
            // A chunk longer than the rest of the file is a short read; checked before
            // allocating so absurd sizes cost nothing.
            if (size > fileEnd - body) {
                Show(kShortReadText);
                return -1;
            }
            target.assign(size, 0);
            if (std::fread(target.data(), 1, size, file) != size) {
                Show(kShortReadText);
                return -1;
            }
            haveFormat = haveFormat || isFormat;
        }
        position = body + size + (size & 1);
    }
    return haveFormat ? 1 : 0;
}

int WavToPcmConverter::ConvertWithFfmpeg(bool mp3, bool stereoToMono) {
    auto report = [this, mp3](int averror) {
        std::string text = WithPath(SoundFaultText(averror), sourcePath);
        if (!mp3 && averror == AVERROR_DECODER_NOT_FOUND) {
            char tag[32];
            std::snprintf(tag, sizeof tag, " (WAV format tag 0x%04X)",
                          ParseFormat(sourceFormat).formatTag);
            text += tag;
        }
        Show(text);
        Show(kUnableText);
        return 0;
    };

    std::unique_ptr<MemoryWave> memory;
    std::unique_ptr<AVIOContext, IoFreer> io;
    InputPtr input;
    AVFormatContext* opened = nullptr;
    int err = 0;
    if (mp3) {
        err = avformat_open_input(&opened, FfmpegFileUrl(sourcePath).c_str(), nullptr, nullptr);
    } else {
        const WaveFormat source = ParseFormat(sourceFormat);
        const char* fault = sourceFormat.size() < 14                ? kShortFormatText
                            : source.channels == 0                  ? kNoChannelsText
                            : source.samplesPerSec == 0             ? kNoRateText
                            : source.samplesPerSec > kMaxSourceRate ? kHighRateText
                                                                    : nullptr;
        if (fault != nullptr) {
            Show(WithPath(fault, sourcePath));
            Show(kUnableText);
            return 0;
        }
        memory = std::make_unique<MemoryWave>(sourceFormat, sourceData);
        constexpr int kIoBufferSize = 65536;
        auto* ioBuffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
        if (ioBuffer) {
            io.reset(avio_alloc_context(ioBuffer, kIoBufferSize, 0, memory.get(), &MemoryWave::Read,
                                        nullptr, &MemoryWave::Seek));
            if (!io) {
                av_free(ioBuffer);
            }
        }
        opened = io ? avformat_alloc_context() : nullptr;
        if (!opened) {
            return report(AVERROR(ENOMEM));
        }
        opened->pb = io.get();
        err = avformat_open_input(&opened, nullptr, av_find_input_format("wav"), nullptr);
    }
    if (err < 0) {
        return report(err);
    }
    input.reset(opened);

    AudioDecoder decoder;
    if (!decoder.Open(input.get())) {
        return report(decoder.failure);
    }
    SetTargetFormat(static_cast<uint16_t>(std::min(decoder.Channels(), 0xFFFF)),
                    static_cast<uint32_t>(decoder.Rate()), stereoToMono);
    decoder.SetOutput(targetFormat);

    // What the conversion would write, from the announced duration: a small file declaring a
    // very low rate would otherwise grow into gigabytes before being found too large.
    const double projected =
        decoder.Duration() * targetFormat.samplesPerSec * targetFormat.blockAlign +
        DestinationFile::kHeaderSize;
    if (destinationLimit != 0 && projected > static_cast<double>(destinationLimit)) {
        tooLarge = true;
        return 0;
    }
    DestinationFile destination(destinationPath, destinationLimit);
    if (const char* failure = destination.Open(targetFormat)) {
        Show(WithPath(failure, destinationPath));
        return 0;
    }
    const bool decoded = decoder.Run(destination);
    if (destination.overLimit) {
        tooLarge = true;
        return 0;
    }
    if (!decoded && !decoder.writeFailed) {
        return report(decoder.failure);
    }
    if (!decoded || !destination.Finish()) {
        Show(WithPath(kCreationText, destinationPath));
        return 0;
    }
    destinationLength = destination.DataLength();
    converted = true;
    return 1;
}

} // namespace kestrova::media
