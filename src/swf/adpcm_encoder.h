// SWF ADPCM encoder: 16-bit (or 8-bit) PCM sample frames in, the SWF ADPCM bit stream out at
// 2 to 5 bits per sample. The stream starts with the code size; every 4096 frames a packet
// opens with each channel's raw sample and step index, followed by one code per channel per
// frame, channels interleaved, most significant bit first.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrova::swf {

class CAdpcmEncoder {
public:
    // soundFlags: rate code × 4 + size × 2 + type (bit 0 stereo, bit 1 16-bit input).
    // codeSize: bits per code, 2 to 5 (other values are clamped into that range).
    CAdpcmEncoder(uint8_t soundFlags, uint32_t codeSize);
    virtual ~CAdpcmEncoder() = default;

    // Encodes frameCount sample frames and appends the complete bytes to `out`. 16-bit input
    // is signed little-endian, 8-bit input unsigned; channels interleaved. The stream
    // continues across calls.
    void Encode(const void* samples, uint32_t frameCount, std::vector<uint8_t>& out);
    // Writes the remaining bits, padded with 0 bits to a whole byte.
    void Flush(std::vector<uint8_t>& out);

    // Bytes a stream of frameCount frames takes once flushed.
    static uint64_t EncodedSize(uint32_t frameCount, uint32_t channels, uint32_t codeSize);

private:
    struct Channel {
        int32_t predicted = 0;
        int32_t index = 0;
    };

    // samples: signed 16-bit little-endian values, channels interleaved.
    void EncodeFrames(const uint8_t* samples, uint32_t frameCount, std::vector<uint8_t>& out);
    void PutBits(uint32_t value, uint32_t nbits, std::vector<uint8_t>& out);
    void MoveBytesOut(std::vector<uint8_t>& out);
    uint32_t EncodeSample(Channel& channel, int32_t sample);

    uint32_t channels;
    bool input8Bit;
    uint32_t codeSize;
    uint32_t frameCounter = 0;
    Channel state[2];
    // Bits not yet moved to the output, right-aligned; at most 64.
    uint64_t accumulator = 0;
    uint32_t heldBits = 0;
};

} // namespace kestrova::swf
