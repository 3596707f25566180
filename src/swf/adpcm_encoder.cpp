#include "swf/adpcm_encoder.h"

#include <algorithm>

namespace kestrova::swf {

namespace {

// IMA ADPCM step sizes.
constexpr int32_t kStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

// Step index adjustments of the SWF format, by code size, indexed by the code without its
// sign bit.
constexpr int8_t kAdjust2[] = {-1, 2};
constexpr int8_t kAdjust3[] = {-1, -1, 2, 4};
constexpr int8_t kAdjust4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
constexpr int8_t kAdjust5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
constexpr const int8_t* kIndexAdjust[6] = {nullptr,  nullptr,  kAdjust2,
                                           kAdjust3, kAdjust4, kAdjust5};

constexpr uint32_t kPacketFrames = 4096;
constexpr uint32_t kPacketHeaderBits = 16 + 6;

inline int32_t SampleAt(const uint8_t* samples, size_t i) {
    return static_cast<int16_t>(samples[2 * i] | samples[2 * i + 1] << 8);
}

// Initial step index of a packet: the smallest step covering the first difference.
int32_t InitialIndex(int32_t sample, int32_t next) {
    int32_t distance = next > sample ? next - sample : sample - next;
    for (int32_t i = 0; i < 63; ++i) {
        if (kStepTable[i] >= distance) {
            return i;
        }
    }
    return 63;
}

} // namespace

CAdpcmEncoder::CAdpcmEncoder(uint8_t soundFlags, uint32_t codeSize)
    : channels((soundFlags & 1) ? 2 : 1), input8Bit((soundFlags & 2) == 0),
      codeSize(std::clamp<uint32_t>(codeSize, 2, 5)) {}

uint64_t CAdpcmEncoder::EncodedSize(uint32_t frameCount, uint32_t channels, uint32_t codeSize) {
    if (frameCount == 0) {
        return 0;
    }
    uint64_t packets = (frameCount + kPacketFrames - 1) / kPacketFrames;
    uint64_t bits = 2 + packets * kPacketHeaderBits * channels +
                    (frameCount - packets) * static_cast<uint64_t>(codeSize) * channels;
    return (bits + 7) / 8;
}

void CAdpcmEncoder::Encode(const void* samples, uint32_t frameCount, std::vector<uint8_t>& out) {
    const uint8_t* bytes = static_cast<const uint8_t*>(samples);
    // Room for the whole call up front (growing geometrically, so that many small calls
    // stay linear): the loop then appends without reallocating.
    size_t needed = out.size() + EncodedSize(frameCount, channels, codeSize) + 8;
    if (out.capacity() < needed) {
        out.reserve(std::max(needed, out.capacity() * 2));
    }
    if (!input8Bit) {
        EncodeFrames(bytes, frameCount, out);
        return;
    }
    // 8-bit input is widened to 16-bit in chunks of one packet's worth of frames.
    std::vector<uint8_t> wide(size_t{kPacketFrames} * channels * 2);
    while (frameCount > 0) {
        uint32_t chunk = std::min(frameCount, kPacketFrames);
        size_t values = size_t{chunk} * channels;
        for (size_t i = 0; i < values; ++i) {
            int32_t value = (bytes[i] - 128) * 256;
            wide[2 * i] = static_cast<uint8_t>(value);
            wide[2 * i + 1] = static_cast<uint8_t>(value >> 8);
        }
        EncodeFrames(wide.data(), chunk, out);
        bytes += values;
        frameCount -= chunk;
    }
}

void CAdpcmEncoder::EncodeFrames(const uint8_t* samples, uint32_t frameCount,
                                 std::vector<uint8_t>& out) {
    for (uint32_t frame = 0; frame < frameCount; ++frame) {
        if (frameCounter == 0) {
            PutBits(codeSize - 2, 2, out);
        }
        ++frameCounter;
        const size_t at = size_t{frame} * channels;
        if ((frameCounter & 0xFFF) == 1) {
            bool hasNext = frame + 1 < frameCount;
            for (uint32_t c = 0; c < channels; ++c) {
                int32_t s = SampleAt(samples, at + c);
                int32_t next = hasNext ? SampleAt(samples, at + channels + c) : s;
                int32_t index = InitialIndex(s, next);
                PutBits(static_cast<uint32_t>(s), 16, out);
                PutBits(static_cast<uint32_t>(index), 6, out);
                state[c].predicted = s;
                state[c].index = index;
            }
            continue;
        }
        for (uint32_t c = 0; c < channels; ++c) {
            PutBits(EncodeSample(state[c], SampleAt(samples, at + c)), codeSize, out);
        }
    }
}

uint32_t CAdpcmEncoder::EncodeSample(Channel& channel, int32_t sample) {
    const uint32_t signBit = 1u << (codeSize - 1);
    int32_t diff = sample - channel.predicted;
    uint32_t sign = 0;
    if (diff < 0) {
        sign = signBit;
        diff = -diff;
    }
    // Shift-and-add, exactly as decoders rebuild the delta; any other arithmetic would
    // let the decoder's prediction drift away from ours.
    int32_t step = kStepTable[channel.index];
    uint32_t code = 0;
    int32_t delta = 0;
    for (uint32_t mask = signBit >> 1; mask != 0; mask >>= 1) {
        if (diff >= step) {
            code |= mask;
            diff -= step;
            delta += step;
        }
        step >>= 1;
    }
    delta += step;
    int32_t predicted = sign ? channel.predicted - delta : channel.predicted + delta;
    channel.predicted = std::clamp(predicted, -32768, 32767);
    channel.index = std::clamp(channel.index + kIndexAdjust[codeSize][code], 0, 88);
    return code | sign;
}

void CAdpcmEncoder::PutBits(uint32_t value, uint32_t nbits, std::vector<uint8_t>& out) {
    if (heldBits + nbits > 64) {
        MoveBytesOut(out);
    }
    accumulator = (accumulator << nbits) | (value & ((1u << nbits) - 1));
    heldBits += nbits;
}

void CAdpcmEncoder::MoveBytesOut(std::vector<uint8_t>& out) {
    while (heldBits >= 8) {
        heldBits -= 8;
        out.push_back(static_cast<uint8_t>(accumulator >> heldBits));
    }
}

void CAdpcmEncoder::Flush(std::vector<uint8_t>& out) {
    MoveBytesOut(out);
    if (heldBits > 0) {
        out.push_back(static_cast<uint8_t>(accumulator << (8 - heldBits)));
        heldBits = 0;
    }
}

} // namespace kestrova::swf
