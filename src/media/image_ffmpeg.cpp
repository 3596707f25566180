// BMP, PCX, TGA, GIF and WebP back end: FFmpeg's image decoders take the whole file as one
// packet, and libswscale turns whatever pixel format they produce (palette, 16-bit, planar,
// with alpha, ...) into RGB24, or into RGBA for the formats whose transparency is kept (TGA,
// GIF, WebP). The picture's size is read from the file header first, so a header claiming an
// absurd size is refused before the decoder allocates anything.
#include "media/image_codec.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace kestrova::media {

namespace {

struct HeaderSize {
    uint64_t width;
    uint64_t height;
};

uint32_t Le16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

bool IsOneOf(uint32_t value, std::initializer_list<uint32_t> allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

// Each returns false when the data is too short to hold the header or the header's fixed
// fields have values no such picture has (the bytes are then not a picture of the format).
bool BmpSize(const uint8_t* p, size_t n, HeaderSize* size) {
    if (n < 30) {
        return false;
    }
    const uint32_t headerSize = Le32(p + 14);
    if (headerSize == 12) { // OS/2 1.x core header: 16-bit sides
        *size = {Le16(p + 18), Le16(p + 20)};
        return Le16(p + 22) == 1 && IsOneOf(Le16(p + 24), {1, 4, 8, 24});
    }
    if (!IsOneOf(headerSize, {16, 40, 52, 56, 64, 108, 124}) || Le16(p + 26) != 1 ||
        !IsOneOf(Le16(p + 28), {1, 2, 4, 8, 16, 24, 32})) {
        return false;
    }
    const auto width = static_cast<int32_t>(Le32(p + 18));
    const auto height = static_cast<int32_t>(Le32(p + 22));
    // A negative height marks a top-down bitmap.
    *size = {width < 0 ? 0 : uint64_t(width), uint64_t(height < 0 ? -int64_t{height} : height)};
    return true;
}

bool PcxSize(const uint8_t* p, size_t n, HeaderSize* size) {
    if (n < 12) {
        return false;
    }
    const uint32_t xMin = Le16(p + 4);
    const uint32_t yMin = Le16(p + 6);
    const uint32_t xMax = Le16(p + 8);
    const uint32_t yMax = Le16(p + 10);
    *size = {xMax < xMin ? 0 : xMax - xMin + 1u, yMax < yMin ? 0 : yMax - yMin + 1u};
    return true;
}

bool TgaSize(const uint8_t* p, size_t n, HeaderSize* size) {
    if (n < 18) {
        return false;
    }
    *size = {Le16(p + 12), Le16(p + 14)};
    // Colour map type, image type (mapped, true colour, grey; raw or run-length) and depth.
    return p[1] <= 1 && IsOneOf(p[2], {1, 2, 3, 9, 10, 11}) && IsOneOf(p[16], {8, 15, 16, 24, 32});
}

// The logical screen: every frame of a GIF is drawn on it, so it is the decoded picture's size.
bool GifSize(const uint8_t* p, size_t n, HeaderSize* size) {
    if (n < 13 || (std::memcmp(p, "GIF87a", 6) != 0 && std::memcmp(p, "GIF89a", 6) != 0)) {
        return false;
    }
    *size = {Le16(p + 6), Le16(p + 8)};
    return true;
}

// The canvas size, from the first chunk: the extended header (24-bit sides less one), a
// lossless bitstream (14-bit sides less one after its signature byte) or a lossy key frame
// (14-bit sides after its start code).
bool WebpSize(const uint8_t* p, size_t n, HeaderSize* size) {
    if (n < 30 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WEBP", 4) != 0) {
        return false;
    }
    const uint8_t* chunk = p + 20;
    if (std::memcmp(p + 12, "VP8X", 4) == 0) {
        *size = {(Le32(chunk + 4) & 0xFFFFFF) + 1u, (Le32(chunk + 6) >> 8) + 1u};
        return true;
    }
    if (std::memcmp(p + 12, "VP8L", 4) == 0 && chunk[0] == 0x2F) {
        const uint32_t bits = Le32(chunk + 1);
        *size = {(bits & 0x3FFF) + 1u, ((bits >> 14) & 0x3FFF) + 1u};
        return true;
    }
    if (std::memcmp(p + 12, "VP8 ", 4) == 0 && std::memcmp(chunk + 3, "\x9D\x01\x2A", 3) == 0) {
        *size = {Le16(chunk + 6) & 0x3FFFu, Le16(chunk + 8) & 0x3FFFu};
        return true;
    }
    return false;
}

// Whether the alpha the decoder gives is the picture's transparency. A TGA says how many of
// its bits a pixel are alpha; many 32-bit ones say none and hold zeros there.
bool TgaHasAlpha(const uint8_t* p, size_t /*n*/) {
    return (p[17] & 0x0F) != 0;
}
bool AlwaysAlpha(const uint8_t* /*p*/, size_t /*n*/) {
    return true;
}

struct DecoderFormat {
    AVCodecID codec;
    int badFileCode;
    bool (*headerSize)(const uint8_t*, size_t, HeaderSize*);
    bool (*hasAlpha)(const uint8_t*, size_t); // null: the format's alpha is never kept
};

constexpr DecoderFormat kBmp{AV_CODEC_ID_BMP, kImageErrBadBmp, BmpSize, nullptr};
constexpr DecoderFormat kPcx{AV_CODEC_ID_PCX, kImageErrBadPcx, PcxSize, nullptr};
constexpr DecoderFormat kTga{AV_CODEC_ID_TARGA, kImageErrBadTga, TgaSize, TgaHasAlpha};
// Neither has an error code of its own: a broken one reads as a file that could not be read.
constexpr DecoderFormat kGif{AV_CODEC_ID_GIF, kImageErrFileRead, GifSize, AlwaysAlpha};
constexpr DecoderFormat kWebp{AV_CODEC_ID_WEBP, kImageErrFileRead, WebpSize, AlwaysAlpha};

int MapError(int averror, const DecoderFormat& format) {
    if (averror == AVERROR(ENOMEM)) {
        return kImageErrNoMemory;
    }
    if (averror == AVERROR_PATCHWELCOME && format.codec == AV_CODEC_ID_BMP) {
        return kImageErrRleVariant; // a compression the decoder does not implement
    }
    return format.badFileCode;
}

// Decodes the one picture of the data into frame; returns an error code.
int DecodeFrame(const ISSource* source, const DecoderFormat& format, AVFrame* frame) {
    const AVCodec* codec = avcodec_find_decoder(format.codec);
    AVCodecContext* context = codec == nullptr ? nullptr : avcodec_alloc_context3(codec);
    AVPacket* packet = av_packet_alloc();
    int result = context == nullptr || packet == nullptr ? AVERROR(ENOMEM) : 0;
    if (result == 0) {
        context->max_pixels = kMaxImagePixels;
        context->thread_count = 1;
        context->err_recognition = AV_EF_EXPLODE;
        result = avcodec_open2(context, codec, nullptr);
    }
    if (result == 0) {
        result = av_new_packet(packet, static_cast<int>(source->length));
    }
    if (result == 0 && source->length != 0) {
        std::memcpy(packet->data, source->data, source->length);
        result = avcodec_send_packet(context, packet);
    }
    if (result == 0) {
        result = avcodec_receive_frame(context, frame);
        if (result == AVERROR(EAGAIN) && avcodec_send_packet(context, nullptr) == 0) {
            result = avcodec_receive_frame(context, frame);
        }
    }
    if (result == 0 && frame->decode_error_flags != 0) {
        result = AVERROR_INVALIDDATA;
    }
    av_packet_free(&packet);
    avcodec_free_context(&context);
    return result == 0 ? kImageOk : MapError(result, format);
}

// Whether a decoded pixel format carries alpha (a palette's entries always may).
bool FormatHasAlpha(int format) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
    return descriptor != nullptr &&
           (descriptor->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL)) != 0;
}

// The frame as RGB; with alpha not null, its transparency (if any) goes to *alpha.
uint8_t* FrameToRgb(const AVFrame* frame, uint8_t** alpha, int* code) {
    const auto width = static_cast<uint32_t>(frame->width);
    const auto height = static_cast<uint32_t>(frame->height);
    *code = ISCheckImageSize(width, height);
    if (*code != kImageOk) {
        return nullptr;
    }
    const bool withAlpha = alpha != nullptr && FormatHasAlpha(frame->format);
    const int pixelBytes = withAlpha ? 4 : 3;
    auto* pixels =
        static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width) * height * pixelBytes));
    SwsContext* context =
        sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                       frame->width, frame->height, withAlpha ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24,
                       SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (pixels == nullptr || context == nullptr) {
        *code = pixels == nullptr ? kImageErrNoMemory : kImageErrMisc;
    } else {
        uint8_t* planes[1] = {pixels};
        const int strides[1] = {frame->width * pixelBytes};
        if (sws_scale(context, frame->data, frame->linesize, 0, frame->height, planes, strides) !=
            frame->height) {
            *code = kImageErrMisc;
        }
    }
    sws_freeContext(context);
    if (*code == kImageOk && withAlpha) {
        *code = ISSplitAlpha(&pixels, static_cast<size_t>(width) * height, alpha);
    }
    if (*code != kImageOk) {
        std::free(pixels);
        return nullptr;
    }
    return pixels;
}

uint8_t* ReadWithDecoder(const ISSource* source, const DecoderFormat& format, uint32_t* width,
                         uint32_t* height, uint8_t** alpha) {
    if (source == nullptr || width == nullptr || height == nullptr) {
        ISSetLastError(kImageErrBadParam);
        return nullptr;
    }
    HeaderSize size{};
    if (!format.headerSize(source->data, source->length, &size)) {
        ISSetLastError(format.badFileCode);
        return nullptr;
    }
    int code = ISCheckImageSize(size.width, size.height);
    if (code == kImageErrBadParam) {
        code = format.badFileCode; // a zero side is a broken header
    }
    if (code == kImageOk && source->length > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE) {
        code = kImageErrNoMemory; // larger than one packet can carry
    }
    AVFrame* frame = code == kImageOk ? av_frame_alloc() : nullptr;
    if (code == kImageOk) {
        code = frame == nullptr ? kImageErrNoMemory : DecodeFrame(source, format, frame);
    }
    const bool keepAlpha =
        format.hasAlpha != nullptr && format.hasAlpha(source->data, source->length);
    uint8_t* pixels =
        code == kImageOk ? FrameToRgb(frame, keepAlpha ? alpha : nullptr, &code) : nullptr;
    if (pixels != nullptr) {
        *width = static_cast<uint32_t>(frame->width);
        *height = static_cast<uint32_t>(frame->height);
    }
    av_frame_free(&frame);
    ISSetLastError(code);
    return pixels;
}

} // namespace

uint8_t* ISReadBMP(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha) {
    return ReadWithDecoder(source, kBmp, width, height, alpha);
}

uint8_t* ISReadPCX(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha) {
    return ReadWithDecoder(source, kPcx, width, height, alpha);
}

uint8_t* ISReadTGA(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha) {
    return ReadWithDecoder(source, kTga, width, height, alpha);
}

// The first frame of an animated GIF: the decoder stops at the end of the first image.
uint8_t* ISReadGIF(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha) {
    return ReadWithDecoder(source, kGif, width, height, alpha);
}

// An animated WebP is refused by the decoder.
uint8_t* ISReadWEBP(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha) {
    return ReadWithDecoder(source, kWebp, width, height, alpha);
}

} // namespace kestrova::media
