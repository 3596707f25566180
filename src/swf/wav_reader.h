// RIFF/WAVE reader for uncompressed PCM: walks the chunk list, maps the sample rate onto the
// four SWF rate codes and returns the first data chunk in memory. It never converts anything;
// files it cannot take are rejected (re-encoding to PCM happens before it is called).
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace kestrova::swf {

// What the reader fills in. Fields written before a failing step keep their values.
struct CWaveSound {
    uint8_t format = 0;             // 1 once reading starts; the DefineSound sets the final format
    uint8_t rateCode = 0;           // 0 = 5.5 kHz, 1 = 11 kHz, 2 = 22 kHz, 3 = 44 kHz
    uint8_t size = 0;               // 0 = 8-bit, 1 = 16-bit samples
    uint8_t type = 0;               // 0 = mono, 1 = stereo
    uint32_t sampleCount = 0;       // sample frames (a stereo frame counts once)
    uint32_t waveFormatTag = 0;     // format tag of the fmt chunk (1 = PCM)
    std::vector<uint8_t> data = {}; // the data chunk's whole frames; filled only on success
};

// RIFF chunk identifiers read as little-endian u32.
constexpr uint32_t kRiffId = 0x46464952;      // "RIFF"
constexpr uint32_t kWaveId = 0x45564157;      // "WAVE"
constexpr uint32_t kFmtChunkId = 0x20746D66;  // "fmt "
constexpr uint32_t kDataChunkId = 0x61746164; // "data"
constexpr uint32_t kFactChunkId = 0x74636166; // "fact"

// Rate code for a sample rate: rate / 5000 must be 1, 2, 4 or 8 (so 5000..9999 Hz is
// 5.5 kHz, ..., 40000..44999 Hz is 44 kHz); -1 for any other rate.
int WaveRateCode(uint32_t samplesPerSecond);

// Reads an open WAV file positioned at its start. Returns true with `out` filled, or false
// for anything that is not PCM with one or two channels at a usable rate, or whose data
// chunk is cut short. A streamed file (RIFF or data size 0xFFFFFFFF) has its data taken to
// the end of the file. Sample sizes other than 8 and 16 bits are labelled 8-bit. The caller
// opens and closes the file.
bool ReadWaveFile(FILE* file, CWaveSound& out);

} // namespace kestrova::swf
