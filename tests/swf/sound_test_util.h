// Sound test helpers: WAV files built byte by byte, and decoding of sound data with
// libavcodec's own decoders, to check what the writer produced independently of the encoder
// that produced it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace soundtest {

using Bytes = std::vector<uint8_t>;

// One RIFF chunk: four-character id, size field, body and the pad byte of an odd-sized body.
// The size field is the body's length unless given.
Bytes Chunk(const char* id, const Bytes& body, int64_t declaredSize = -1);
// A fmt chunk with the given fields (16 bytes, plus a u16 extra size for non-PCM tags).
Bytes FormatChunk(uint32_t formatTag, uint32_t channels, uint32_t rate, uint32_t bits);
// "RIFF" + size + "WAVE" + the chunks; the RIFF size covers them unless given.
Bytes RiffWave(const std::vector<Bytes>& chunks, int64_t declaredSize = -1);
// A plain PCM WAV file holding the given data bytes.
Bytes PcmWave(uint32_t channels, uint32_t rate, uint32_t bits, const Bytes& data);

struct Decoded {
    bool ok = false;
    int channels = 0;
    std::vector<int16_t> samples; // interleaved
    size_t Frames() const { return channels ? samples.size() / channels : 0; }
};

// SWF ADPCM data (as stored in DefineSound, code size bits first) decoded as one packet.
Decoded DecodeSwfAdpcm(const uint8_t* data, size_t size, int sampleRate, int channels);

// Signal-to-noise ratio in dB of `decoded` against `source` over their common length.
double SnrDb(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded);

// A sine sweep from f0 to f1 Hz over `frames` frames at the given amplitude, the same wave on
// every channel with a small phase offset per channel.
std::vector<int16_t> SineSweep(uint32_t frames, int channels, int sampleRate, double f0, double f1,
                               double amplitude);

} // namespace soundtest
