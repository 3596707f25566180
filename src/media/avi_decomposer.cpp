#include "media/avi_decomposer.h"

#include "media/ffmpeg_handles.h"
#include "media/image_codec.h"
#include "media/ordered_pool.h"
#include "media/temp_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <turbojpeg.h>

namespace kestrova::media {

const char* const kAviErrBadFormatText =
    "The AVI file couldn't be read, indicating a corrupt file or an unrecognized format.";
const char* const kAviErrMemoryText =
    "The AVI file could not be opened because of insufficient memory. ";
const char* const kAviErrFileReadText = "A disk error occurred while reading the AVI file. ";
const char* const kAviErrFileOpenText = "A disk error occurred while opening the AVI file. ";
const char* const kAviErrNoCodecText =
    "Unable to find decomposser drive for this format, Unable to decompse this .avi file\nNo "
    "Suitable Codec for this format available";
const char* const kAviErrUnknownText = "An unknown error has occured file initialising the AVI "
                                       "library, Unable to decompose the .avi file";

const char* const kContinueQuestion = "Error converting frame in AVI Movie, Continue Conversion?";

namespace {

const char* const kNoVideoDecoderText =
    "Error, unable to get suitable driver to decode AVI frame, Unable to decompose this .avi file";
const char* const kFrameFailedText =
    "Error, unable to get suitable driver to open frame, Unable to decompose this .avi file";
const char* const kSoundFileFailedText = "Error, out put file could not be opened!";
const char* const kTempWriteFailedText =
    "Error, unable to write the temporary file %s\nThe disk could be full or write protected, "
    "Unable to decompose this .avi file";
const char* const kSoundFileName = "Audio3.wav";

std::string WithPath(const char* text, const std::string& path) {
    std::string result = text;
    result.replace(result.find("%s"), 2, path);
    return result;
}

// What StoreFrame returns instead of a store id.
constexpr int kFrameNotStored = -1;
constexpr int kFrameNotWritten = -2;

// Streams are looked at up to this index, as many as a movie file can sensibly hold.
constexpr int kMaxStreams = 1000;
// Bytes before the samples of the sound file: RIFF header, 16-byte "fmt " chunk, "data" header.
constexpr long kWavHeaderBytes = 44;

// The last `count` characters of a text (all of it when shorter), as the status texts show
// the end of a path.
std::string Tail(const std::string& text, size_t count) {
    return text.size() > count ? text.substr(text.size() - count) : text;
}

// A decoder for the stream, opened; nullptr when FFmpeg has none or it will not open.
// Video decoders decode several frames at once on as many threads as there are cores.
CodecPtr OpenDecoder(const AVStream* stream, bool frameThreads) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr) {
        return nullptr;
    }
    CodecPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0) {
        return nullptr;
    }
    context->pkt_timebase = stream->time_base;
    // Frames larger than a decoded picture may be are refused by the decoder itself.
    context->max_pixels = kMaxImagePixels;
    if (frameThreads) {
        context->thread_count = 0;
        context->thread_type = FF_THREAD_FRAME;
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    return context;
}

void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v & 0xFFFF);
    PutLe16(p + 2, v >> 16);
}

// The 44 bytes in front of 16-bit PCM samples: RIFF header, 16-byte format record, "data".
void MakeWavHeader(uint8_t* h, int channels, int rate, uint32_t dataBytes) {
    const uint32_t blockAlign = static_cast<uint32_t>(channels) * 2;
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, static_cast<uint32_t>(kWavHeaderBytes) - 8 + dataBytes);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    PutLe32(h + 16, 16);
    PutLe16(h + 20, 1); // PCM
    PutLe16(h + 22, static_cast<uint32_t>(channels));
    PutLe32(h + 24, static_cast<uint32_t>(rate));
    PutLe32(h + 28, static_cast<uint32_t>(rate) * blockAlign);
    PutLe16(h + 32, blockAlign);
    PutLe16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, dataBytes);
}

// Turns decoded sound of any sample format and channel layout into interleaved 16-bit
// samples at the first frame's rate, mono or stereo, and appends them to a file.
class SoundWriter {
public:
    // maxConvertedBytes: the most a PCM copy of the sound at an SWF rate may have (0: any).
    SoundWriter(FILE* file, uint64_t maxConvertedBytes)
        : file(file), maxConvertedBytes(maxConvertedBytes) {}

    bool Write(const AVFrame* frame) {
        if (!resampler && !Start(frame)) {
            return false;
        }
        return Convert(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    }
    // Drains what the resampler still holds.
    bool Finish() { return !resampler || Convert(nullptr, 0); }

    int channels = 0;
    int rate = 0;
    long long samples = 0; // per channel
    long long bytes = 0;
    bool writeFailed = false; // the file did not take every byte
    bool tooLong = false;     // the sound went past what can be converted

private:
    bool Start(const AVFrame* frame) {
        AVChannelLayout in{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
            av_channel_layout_copy(&in, &frame->ch_layout) < 0) {
            av_channel_layout_default(&in, frame->ch_layout.nb_channels);
        }
        channels = in.nb_channels >= 2 ? 2 : 1;
        rate = frame->sample_rate;
        AVChannelLayout out{};
        av_channel_layout_default(&out, channels);
        SwrContext* swr = nullptr;
        int err = swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, rate, &in,
                                      static_cast<AVSampleFormat>(frame->format), rate, 0, nullptr);
        resampler.reset(swr);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        // Converted to an SWF rate (never below this one up to 44100 Hz, 44100 above) and
        // perhaps to mono, the sound shrinks at most by half and by 44100 / rate: past that it
        // cannot fit, and it must fit the 32-bit sizes of a WAV file in any case.
        limit = 0xFFFFFFFFu - (kWavHeaderBytes - 8);
        if (maxConvertedBytes != 0 && rate > 0) {
            limit = std::min(limit, static_cast<uint64_t>(2.0 * maxConvertedBytes *
                                                          std::max(1.0, rate / 44100.0)));
        }
        return err >= 0 && rate > 0 && swr_init(resampler.get()) >= 0;
    }

    bool Convert(const uint8_t** in, int count) {
        const int room = swr_get_out_samples(resampler.get(), count) + 32;
        buffer.resize(static_cast<size_t>(room) * channels * 2);
        uint8_t* out = buffer.data();
        const int made = swr_convert(resampler.get(), &out, room, in, count);
        if (made < 0) {
            return false;
        }
        const size_t length = static_cast<size_t>(made) * channels * 2;
        if (static_cast<uint64_t>(bytes) + length > limit) {
            tooLong = true;
            return false;
        }
        samples += made;
        bytes += static_cast<long long>(length);
        writeFailed = std::fwrite(buffer.data(), 1, length, file) != length;
        return !writeFailed;
    }

    FILE* file;
    uint64_t maxConvertedBytes;
    uint64_t limit = 0;
    ResamplerPtr resampler;
    std::vector<uint8_t> buffer;
};

// The JPEG keeps the chroma resolution the movie itself has: full for RGB and 4:4:4
// sources, halved across for 4:2:2, halved both ways for 4:2:0 and coarser. Finer chroma
// than the source has would only spend bytes and time on interpolated colour.
int JpegSubsampling(AVPixelFormat format) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (desc == nullptr || (desc->flags & AV_PIX_FMT_FLAG_RGB) != 0 || desc->nb_components < 3 ||
        (desc->log2_chroma_w == 0 && desc->log2_chroma_h == 0)) {
        return TJSAMP_444;
    }
    return desc->log2_chroma_h == 0 ? TJSAMP_422 : TJSAMP_420;
}

} // namespace

const char* const kSoundTooLongText =
    "The sound of %s is too long to convert, the movie is made without it";

const char* MovieOpenErrorText(int averror) {
    switch (averror) {
    case AVERROR_INVALIDDATA:
    case AVERROR_DEMUXER_NOT_FOUND:
        return kAviErrBadFormatText;
    case AVERROR(ENOMEM):
        return kAviErrMemoryText;
    case AVERROR(EIO):
        return kAviErrFileReadText;
    case AVERROR(ENOENT):
    case AVERROR(EACCES):
    case AVERROR(EPERM):
    case AVERROR(EISDIR):
        return kAviErrFileOpenText;
    case AVERROR_DECODER_NOT_FOUND:
        return kAviErrNoCodecText;
    default:
        return kAviErrUnknownText;
    }
}

AviDecomposer::~AviDecomposer() {
    Close();
}

void AviDecomposer::ShowStatus(const char* text) {
    std::snprintf(statusText, sizeof statusText, "%s", text);
    if (window != nullptr) {
        window->ShowState(statusText);
    }
}

int AviDecomposer::OpenInput() {
    AVFormatContext* context = nullptr;
    int err = avformat_open_input(&context, sourcePath.c_str(), nullptr, nullptr);
    if (err < 0) {
        return err;
    }
    err = avformat_find_stream_info(context, nullptr);
    if (err < 0) {
        avformat_close_input(&context);
        return err;
    }
    input = context;
    packetsRead = false;
    return 0;
}

// Every pass reads the file from its start, for the one stream it works on; the others are
// not even read where the container allows it. Reopening the file is the one way back to its
// start that works for every container and for damaged files.
bool AviDecomposer::Rewind(int streamIndex) {
    if (packetsRead) {
        avformat_close_input(&input);
        if (OpenInput() != 0) {
            return false;
        }
    }
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        input->streams[i]->discard =
            static_cast<int>(i) == streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    packetsRead = true;
    return true;
}

// Cover pictures of sound files come as one-picture video streams; they are not movie frames.
bool AviDecomposer::IsPlainVideo(int streamIndex) const {
    const AVStream* stream = input->streams[streamIndex];
    return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0;
}

bool AviDecomposer::IsSound(int streamIndex) const {
    return input->streams[streamIndex]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

bool AviDecomposer::HasPictures() const {
    for (unsigned i = 0; input != nullptr && i < input->nb_streams; ++i) {
        if (IsPlainVideo(static_cast<int>(i))) {
            return true;
        }
    }
    return false;
}

int AviDecomposer::Open(IMovieWindow* newWindow, const std::string& path,
                        const std::string& tempDir) {
    if (newWindow == nullptr) {
        return 0;
    }
    Close();
    frameCounter = 0;
    window = newWindow;
    tempDirectory = tempDir;
    sourcePath = path;
    ShowStatus((Tail(sourcePath, 25) + "  Init AVI library...").c_str());

    int err = OpenInput();
    if (err == 0) {
        // A file whose sound and video all need decoders FFmpeg lacks cannot be taken apart.
        bool anyStream = false, anyDecoder = false;
        for (unsigned i = 0; i < input->nb_streams; ++i) {
            if (IsSound(static_cast<int>(i)) || IsPlainVideo(static_cast<int>(i))) {
                anyStream = true;
                anyDecoder |=
                    avcodec_find_decoder(input->streams[i]->codecpar->codec_id) != nullptr;
            }
        }
        err = !anyStream ? AVERROR_INVALIDDATA : !anyDecoder ? AVERROR_DECODER_NOT_FOUND : 0;
        if (err != 0) {
            avformat_close_input(&input);
        }
    }
    if (err != 0) {
        window->ShowMessage(MovieOpenErrorText(err));
        return 0;
    }
    return 1;
}

int AviDecomposer::Close() {
    ShowStatus((Tail(sourcePath, 25) + "  Closeing AVI library...").c_str());
    if (input != nullptr) {
        avformat_close_input(&input);
    }
    engine = nullptr;
    return 1;
}

int AviDecomposer::Decompose(IMovieEngine* newEngine, const DecomposeSettings* newSettings) {
    engine = newEngine;
    if (engine == nullptr || newSettings == nullptr || input == nullptr) {
        return 0;
    }
    settings = *newSettings;
    const int streams = static_cast<int>(input->nb_streams);

    // Sound first, so that it starts with the movie's first picture wherever its stream lies.
    const std::string soundPath = tempDirectory + kSoundFileName;
    // A file that cannot be opened again for a later pass ends the work (input is then null).
    for (int i = 0; settings.soundFlag && input != nullptr && i < streams && i <= kMaxStreams;
         ++i) {
        if (!IsSound(i)) {
            continue;
        }
        Outcome outcome = ExtractSound(i, soundPath);
        if (outcome == Outcome::Done) {
            engine->AddSound(soundPath);
            std::remove(soundPath.c_str());
        }
        if (outcome == Outcome::Stop || engine->IsCancelRequested()) {
            Close();
            return 0;
        }
    }
    for (int i = 0; input != nullptr && i < streams && i <= kMaxStreams; ++i) {
        if (IsPlainVideo(i) && TakeFrames(i) == Outcome::Stop) {
            Close();
            return 0;
        }
    }
    Close();
    return 1;
}

AviDecomposer::Outcome AviDecomposer::ExtractSound(int streamIndex, const std::string& soundPath) {
    CodecPtr decoder = OpenDecoder(input->streams[streamIndex], false);
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!decoder || !packet || !frame || !Rewind(streamIndex)) {
        return Outcome::Failed;
    }
    TempFilePtr file = CreateExclusiveFile(soundPath);
    if (!file) {
        window->ShowMessage(kSoundFileFailedText);
        return Outcome::Stop;
    }
    SoundWriter writer(file.get(), settings.maxSoundBytes);
    bool ok = std::fseek(file.get(), kWavHeaderBytes, SEEK_SET) == 0;
    auto drain = [&] {
        while (ok && avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            ok = writer.Write(frame.get());
            av_frame_unref(frame.get());
        }
    };
    bool cancelled = false;
    while (ok && av_read_frame(input, packet.get()) >= 0) {
        if (engine->IsCancelRequested()) {
            cancelled = true;
            break;
        }
        if (packet->stream_index == streamIndex) {
            // A damaged packet is skipped; the sound goes on with the next one.
            avcodec_send_packet(decoder.get(), packet.get());
            drain();
        }
        av_packet_unref(packet.get());
    }
    av_packet_unref(packet.get());
    if (!cancelled) {
        avcodec_send_packet(decoder.get(), nullptr);
        drain();
        ok = ok && writer.Finish();
    }

    char status[200];
    std::snprintf(status, sizeof status, "%s Decomposing...Audio Sample %lld",
                  Tail(soundPath, 20).c_str(), writer.samples);
    ShowStatus(status);

    uint8_t header[kWavHeaderBytes];
    MakeWavHeader(header, writer.channels, writer.rate, static_cast<uint32_t>(writer.bytes));
    bool written = !writer.writeFailed && std::fseek(file.get(), 0, SEEK_SET) == 0 &&
                   std::fwrite(header, 1, sizeof header, file.get()) == sizeof header;
    written = CloseWrittenFile(std::move(file)) && written;
    if (cancelled || !ok || !written || writer.channels == 0) {
        std::remove(soundPath.c_str());
        if (writer.tooLong) {
            // As a converted sound over the limit would be: the movie goes on without it.
            window->ShowMessage(WithPath(kSoundTooLongText, sourcePath));
            return Outcome::Failed;
        }
        if (!cancelled && !written) {
            // A sound track that could not be written (a full disk) fails the whole movie.
            window->ShowMessage(WithPath(kTempWriteFailedText, soundPath));
            return Outcome::Stop;
        }
        return cancelled ? Outcome::Stop : Outcome::Failed;
    }
    return Outcome::Done;
}

AviDecomposer::Outcome AviDecomposer::TakeFrames(int streamIndex) {
    CodecPtr decoder = OpenDecoder(input->streams[streamIndex], true);
    if (!decoder) {
        window->ShowMessage(kNoVideoDecoderText);
        return Outcome::Failed;
    }
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame || !Rewind(streamIndex)) {
        return Outcome::Failed;
    }
    // Frames are encoded side by side on the workers and taken into the movie in their
    // order; at most workers + 2 are in flight, so a long movie holds no more than that.
    OrderedPool<EncodedFrame> pool(settings.workers);
    const size_t inFlight = settings.workers > 0 ? static_cast<size_t>(settings.workers) + 2 : 1;
    const int quality = std::clamp(settings.quality, 1, 100);
    Outcome outcome = Outcome::Done;
    auto takeReady = [&](size_t keep) {
        while (outcome == Outcome::Done && pool.Pending() > keep) {
            outcome = TakeFrame(pool.Next());
        }
    };
    auto drain = [&] {
        while (outcome == Outcome::Done && avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            // A reference to the decoded picture, which the decoder then leaves alone.
            std::shared_ptr<AVFrame> copy(av_frame_clone(frame.get()),
                                          [](AVFrame* f) { av_frame_free(&f); });
            av_frame_unref(frame.get());
            pool.Submit([this, copy, quality] { return EncodeFrame(copy.get(), quality); });
            takeReady(inFlight - 1);
        }
    };
    while (outcome == Outcome::Done && av_read_frame(input, packet.get()) >= 0) {
        if (packet->stream_index == streamIndex) {
            // A damaged packet is skipped; the decoder picks up again at the next picture.
            avcodec_send_packet(decoder.get(), packet.get());
            drain();
        }
        av_packet_unref(packet.get());
        if (engine->IsCancelRequested()) {
            outcome = Outcome::Stop;
        }
    }
    av_packet_unref(packet.get());
    if (outcome == Outcome::Done) {
        avcodec_send_packet(decoder.get(), nullptr);
        drain();
        takeReady(0);
    }
    pool.Stop();
    return outcome;
}

// Reused from frame to frame by one thread at a time: the pixel converter, the RGB pixels,
// the JPEG compressor with its chroma subsampling, and a JPEG buffer of the codec's bound.
class FrameEncoder {
public:
    FrameEncoder() = default;
    ~FrameEncoder() {
        sws_freeContext(scaler);
        if (compressor != nullptr) {
            tjDestroy(compressor);
        }
    }
    FrameEncoder(const FrameEncoder&) = delete;
    FrameEncoder& operator=(const FrameEncoder&) = delete;

    EncodedFrame Encode(const AVFrame* frame, int quality) {
        EncodedFrame encoded;
        if (frame == nullptr || !ToRgb(frame)) {
            return encoded;
        }
        const size_t length = Compress(frame->width, frame->height, quality);
        encoded.jpeg.assign(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(length));
        encoded.width = frame->width;
        encoded.height = frame->height;
        return encoded;
    }

private:
    bool ToRgb(const AVFrame* frame);
    size_t Compress(int width, int height, int quality);

    struct ScalerKey {
        int width = 0, height = 0, format = -1, range = 0, space = 0;
        bool operator==(const ScalerKey&) const = default;
    };
    SwsContext* scaler = nullptr;
    ScalerKey scalerKey;
    std::vector<uint8_t> rgb;
    tjhandle compressor = nullptr;
    int subsampling = 0;
    std::vector<uint8_t> jpeg;
};

AviDecomposer::AviDecomposer() = default;

EncodedFrame AviDecomposer::EncodeFrame(const AVFrame* frame, int quality) {
    std::unique_ptr<FrameEncoder> encoder;
    {
        std::lock_guard lock(encodersMutex);
        if (!spareEncoders.empty()) {
            encoder = std::move(spareEncoders.back());
            spareEncoders.pop_back();
        }
    }
    if (!encoder) {
        encoder = std::make_unique<FrameEncoder>();
    }
    EncodedFrame encoded = encoder->Encode(frame, quality);
    std::lock_guard lock(encodersMutex);
    spareEncoders.push_back(std::move(encoder));
    return encoded;
}

// Converts a decoded picture of any pixel format into the reused RGB buffer (rows of
// width * 3 bytes, no padding, as the JPEG writer takes them). The converter is made again
// only when the picture's size, format or colour description changes.
bool FrameEncoder::ToRgb(const AVFrame* frame) {
    const ScalerKey key{frame->width, frame->height, frame->format, frame->color_range,
                        frame->colorspace};
    if (scaler == nullptr || key != scalerKey) {
        sws_freeContext(scaler);
        // The yuvj formats are full-range yuv ones; the converter is told the range itself.
        auto format = static_cast<AVPixelFormat>(frame->format);
        bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
        for (auto [jpegFormat, plain] : {std::pair{AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV420P},
                                         std::pair{AV_PIX_FMT_YUVJ422P, AV_PIX_FMT_YUV422P},
                                         std::pair{AV_PIX_FMT_YUVJ444P, AV_PIX_FMT_YUV444P},
                                         std::pair{AV_PIX_FMT_YUVJ440P, AV_PIX_FMT_YUV440P},
                                         std::pair{AV_PIX_FMT_YUVJ411P, AV_PIX_FMT_YUV411P}}) {
            if (format == jpegFormat) {
                format = plain;
                fullRange = true;
            }
        }
        scaler = sws_getContext(frame->width, frame->height, format, frame->width, frame->height,
                                AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (scaler == nullptr) {
            return false;
        }
        scalerKey = key;
        subsampling = JpegSubsampling(format);
        // The source's own matrix, BT.601 when it names none.
        int* inTable = nullptr;
        int* outTable = nullptr;
        int inFull = 0, outFull = 0, brightness = 0, contrast = 0, saturation = 0;
        if (sws_getColorspaceDetails(scaler, &inTable, &inFull, &outTable, &outFull, &brightness,
                                     &contrast, &saturation) >= 0) {
            const int space =
                frame->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : frame->colorspace;
            sws_setColorspaceDetails(scaler, sws_getCoefficients(space), fullRange, outTable,
                                     outFull, brightness, contrast, saturation);
        }
    }
    const size_t rowBytes = static_cast<size_t>(frame->width) * 3;
    const size_t size = rowBytes * static_cast<size_t>(frame->height);
    if (rgb.size() < size) {
        rgb.resize(size);
    }
    uint8_t* planes[4] = {rgb.data(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(rowBytes), 0, 0, 0};
    return sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides) ==
           frame->height;
}

// Compresses the RGB pixels into the reused JPEG buffer, which has the codec's bound for
// the picture, so no frame can run out of room. The JPEG's length, or 0 when it fails.
size_t FrameEncoder::Compress(int width, int height, int quality) {
    if (compressor == nullptr) {
        compressor = tjInitCompress();
    }
    const unsigned long bound = compressor == nullptr ? 0 : tjBufSize(width, height, subsampling);
    if (bound == 0 || bound == static_cast<unsigned long>(-1)) {
        return 0;
    }
    if (jpeg.size() < bound) {
        jpeg.resize(bound);
    }
    unsigned char* out = jpeg.data();
    unsigned long length = bound;
    if (tjCompress2(compressor, rgb.data(), width, 0, height, TJPF_RGB, &out, &length, subsampling,
                    quality, TJFLAG_NOREALLOC) != 0) {
        return 0;
    }
    return length;
}

// Stores the frame's JPEG: a new file in the private temporary folder in least-RAM mode
// (framePath is set to its name), an exactly sized buffer in maximum-RAM mode. The store id,
// kFrameNotStored when the picture could not be made or kept, kFrameNotWritten when its file
// could not be created or written.
int AviDecomposer::StoreFrame(std::string& framePath, const EncodedFrame& frame) {
    const size_t length = frame.jpeg.size();
    const int width = frame.width, height = frame.height;
    if (length == 0) {
        return kFrameNotStored;
    }
    int id = -1;
    if (!settings.maxRam) {
        // Names an earlier movie of the same conversion still uses are passed over.
        TempFilePtr file;
        do {
            framePath = tempDirectory + "frame" + std::to_string(++nameSerial) + ".jpg";
            file = CreateExclusiveFile(framePath);
        } while (!file && errno == EEXIST);
        if (!file) {
            return kFrameNotWritten;
        }
        const bool written = std::fwrite(frame.jpeg.data(), 1, length, file.get()) == length;
        if (!CloseWrittenFile(std::move(file)) || !written) {
            std::remove(framePath.c_str());
            return kFrameNotWritten;
        }
        id = engine->MakeFrameFile(framePath);
        if (id < 0) {
            std::remove(framePath.c_str());
            return kFrameNotStored;
        }
        engine->SetFrameInfo(id, width, height, static_cast<int>(length));
        return id;
    }
    uint8_t* buffer = engine->MakeFrameBuffer(length, &id);
    if (buffer == nullptr) {
        engine->DropFrame(id);
        return kFrameNotStored;
    }
    std::memcpy(buffer, frame.jpeg.data(), length);
    engine->SetFrameInfo(id, width, height, static_cast<int>(length));
    return id;
}

AviDecomposer::Outcome AviDecomposer::TakeFrame(EncodedFrame frame) {
    ++frameCounter;
    char text[200];
    std::snprintf(text, sizeof text, "%s Decomposing...Frame %d", Tail(sourcePath, 20).c_str(),
                  frameCounter);
    ShowStatus(text);

    // In maximum-RAM mode the name only labels the picture in messages.
    std::string framePath = tempDirectory + "frame" + std::to_string(frameCounter) + ".jpg";
    int id = StoreFrame(framePath, frame);
    if (id == kFrameNotWritten) {
        // A frame file the disk did not take would leave an empty picture: the movie fails.
        window->ShowMessage(WithPath(kTempWriteFailedText, framePath));
        return Outcome::Stop;
    }
    if (id < 0) {
        window->ShowMessage(kFrameFailedText);
        return Outcome::Done;
    }
    if (settings.lossless) {
        id = engine->ToLossless(id);
        if (id == -1 && !window->AskYesNo(kContinueQuestion, "Error1")) {
            return Outcome::Stop;
        }
    }
    if (engine->AddFrameImage(framePath, id) == 0 &&
        !window->AskYesNo(kContinueQuestion, "Error2")) {
        return Outcome::Stop;
    }
    for (int i = 0; i < settings.swfFramesPerImage; ++i) {
        engine->AddShowFrame();
    }
    engine->RemoveImage(1);
    if (settings.optimizePlayback) {
        engine->FreeImageCharacters();
    }
    return engine->IsCancelRequested() ? Outcome::Stop : Outcome::Done;
}

} // namespace kestrova::media
