#include "swf/mp3_frames.h"

#include <cstring>
#include <sys/stat.h>

namespace kestrova::swf {

namespace {

// Layer III bit rates in kbit/s by bit rate index; 0 is free format, 15 is invalid.
constexpr uint32_t kBitRatesMpeg1[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                         112, 128, 160, 192, 224, 256, 320, 0};
constexpr uint32_t kBitRatesMpeg2[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                         64, 80, 96, 112, 128, 144, 160, 0};
constexpr uint32_t kSampleRatesMpeg1[3] = {44100, 48000, 32000};

constexpr size_t kId3v2HeaderSize = 10;
constexpr size_t kId3v1Size = 128;

// Length of an ID3v2 tag starting at p (header, body and optional footer), or 0 when the
// bytes are not a valid tag header.
size_t Id3v2Length(const uint8_t* p, size_t available) {
    if (available < kId3v2HeaderSize || memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF) {
        return 0;
    }
    size_t body = 0;
    for (int i = 6; i < 10; ++i) {
        if (p[i] & 0x80) {
            return 0;
        }
        body = body << 7 | p[i];
    }
    bool hasFooter = (p[5] & 0x10) != 0;
    return kId3v2HeaderSize + body + (hasFooter ? kId3v2HeaderSize : 0);
}

bool SameStream(const CMp3FrameHeader& a, const CMp3FrameHeader& b) {
    return a.version == b.version && a.sampleRate == b.sampleRate && a.IsMono() == b.IsMono();
}

// Encoders put a frame of silence with a "Xing", "Info" or "VBRI" tag first; it holds
// seek tables, not sound.
bool IsMetadataFrame(const uint8_t* frame, const CMp3FrameHeader& header) {
    size_t sideInfo =
        header.version == 10 ? (header.IsMono() ? 17 : 32) : (header.IsMono() ? 9 : 17);
    size_t xing = 4 + (header.hasCrc ? 2 : 0) + sideInfo;
    if (xing + 4 <= header.frameLength &&
        (memcmp(frame + xing, "Xing", 4) == 0 || memcmp(frame + xing, "Info", 4) == 0)) {
        return true;
    }
    return 36 + 4 <= header.frameLength && memcmp(frame + 36, "VBRI", 4) == 0;
}

} // namespace

bool ParseMp3FrameHeader(const uint8_t* p, CMp3FrameHeader& header) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) {
        return false;
    }
    uint32_t versionBits = (p[1] >> 3) & 3;
    uint32_t layerBits = (p[1] >> 1) & 3;
    uint32_t bitRateIndex = p[2] >> 4;
    uint32_t rateIndex = (p[2] >> 2) & 3;
    uint32_t emphasis = p[3] & 3;
    if (versionBits == 1 || layerBits != 1 || rateIndex == 3 || emphasis == 2) {
        return false;
    }
    bool mpeg1 = versionBits == 3;
    uint32_t kbps = mpeg1 ? kBitRatesMpeg1[bitRateIndex] : kBitRatesMpeg2[bitRateIndex];
    if (kbps == 0) {
        return false; // free format or invalid index
    }
    header.version = mpeg1 ? 10 : versionBits == 2 ? 20 : 25;
    header.sampleRate = kSampleRatesMpeg1[rateIndex] / (mpeg1 ? 1 : versionBits == 2 ? 2 : 4);
    header.bitRate = kbps * 1000;
    header.padding = (p[2] >> 1) & 1;
    header.channelMode = p[3] >> 6;
    header.hasCrc = (p[1] & 1) == 0;
    header.samplesPerFrame = mpeg1 ? 1152 : 576;
    header.frameLength = (mpeg1 ? 144 : 72) * header.bitRate / header.sampleRate + header.padding;
    return true;
}

bool CollectMp3Frames(const uint8_t* data, size_t size, CMp3Frames& out) {
    out = CMp3Frames();
    size_t end = size;
    if (end >= kId3v1Size && memcmp(data + end - kId3v1Size, "TAG", 3) == 0) {
        end -= kId3v1Size;
    }
    out.data.reserve(end);
    bool haveFirst = false;
    bool locked = false; // the previous frame ended exactly here
    size_t pos = 0;
    while (pos + 4 <= end) {
        if (size_t tag = Id3v2Length(data + pos, end - pos)) {
            pos += tag;
            locked = false;
            continue;
        }
        CMp3FrameHeader header;
        if (!ParseMp3FrameHeader(data + pos, header) ||
            (haveFirst && !SameStream(out.first, header)) || header.frameLength > end - pos) {
            ++pos;
            locked = false;
            continue;
        }
        size_t next = pos + header.frameLength;
        if (!locked) {
            // After junk, a sync word alone is weak evidence: the frame must be followed by
            // another frame of the same stream, or by the end of the data.
            CMp3FrameHeader following;
            bool confirmed = next + 4 > end || (ParseMp3FrameHeader(data + next, following) &&
                                                SameStream(header, following));
            if (!confirmed) {
                ++pos;
                continue;
            }
        }
        bool metadata = !haveFirst && IsMetadataFrame(data + pos, header);
        if (!haveFirst) {
            out.first = header;
            haveFirst = true;
        }
        if (!metadata) {
            out.data.insert(out.data.end(), data + pos, data + next);
            ++out.frameCount;
        }
        locked = true;
        pos = next;
    }
    out.sampleCount = out.frameCount * out.first.samplesPerFrame;
    return out.frameCount > 0;
}

bool ReadMp3File(FILE* file, CMp3Frames& out) {
    // Largest MP3 file read into memory; the engine refuses far smaller files long before.
    constexpr uint64_t kMaxMp3Bytes = uint64_t{1} << 30;
    struct stat info {};
    const long at = file != nullptr ? ftell(file) : -1;
    if (at < 0 || fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < at ||
        static_cast<uint64_t>(info.st_size - at) > kMaxMp3Bytes) {
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size - at));
    return fread(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
           CollectMp3Frames(bytes.data(), bytes.size(), out);
}

} // namespace kestrova::swf
