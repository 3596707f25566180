#include "swf/wav_reader.h"

namespace kestrova::swf {

namespace {

// The size a writer that cannot seek back leaves in the RIFF and data headers.
constexpr uint32_t kStreamedSize = 0xFFFFFFFF;

// Debugging trace of the chunk walk. Nothing is shown to the user; release builds print
// nothing at all.
void Trace(const char* format, ...) {
    (void)format;
}

const char* FormatTagName(uint32_t tag) {
    switch (tag) {
    case 1:
        return "WAVE_FORMAT_PCM";
    case 2:
        return "WAVE_FORMAT_ADPCM";
    case 6:
        return "WAVE_FORMAT_ALAW";
    case 7:
        return "WAVE_FORMAT_MULAW";
    default:
        return "WAVE_FORMAT_UNKNOWN";
    }
}

bool ReadU16(FILE* file, uint32_t& value) {
    uint8_t b[2];
    if (fread(b, 1, 2, file) != 2) {
        return false;
    }
    value = b[0] | b[1] << 8;
    return true;
}

bool ReadU32(FILE* file, uint32_t& value) {
    uint8_t b[4];
    if (fread(b, 1, 4, file) != 4) {
        return false;
    }
    value = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
}

bool SeekTo(FILE* file, uint64_t position) {
    return position <= 0x7FFFFFFF && fseek(file, static_cast<long>(position), SEEK_SET) == 0;
}

// Bytes from `position` to the end of the file, or 0 when it cannot be told.
uint64_t BytesLeft(FILE* file, uint64_t position) {
    if (fseek(file, 0, SEEK_END) != 0) {
        return 0;
    }
    long end = ftell(file);
    if (end < 0 || static_cast<uint64_t>(end) < position || !SeekTo(file, position)) {
        return 0;
    }
    return static_cast<uint64_t>(end) - position;
}

// Reads the fields of a "fmt " chunk. Only PCM with one or two channels is taken: the sound
// format byte has a single bit for the channel count.
bool ReadFormatChunk(FILE* file, CWaveSound& out) {
    uint32_t formatTag, channels, samplesPerSecond, averageBytes, blockAlign, bitsPerSample;
    if (!ReadU16(file, formatTag)) {
        return false;
    }
    out.waveFormatTag = formatTag;
    if (!ReadU16(file, channels) || !ReadU32(file, samplesPerSecond) ||
        !ReadU32(file, averageBytes) || !ReadU16(file, blockAlign) ||
        !ReadU16(file, bitsPerSample)) {
        return false;
    }
    Trace("%s", FormatTagName(formatTag));
    if (channels < 1 || channels > 2) {
        Trace("NOT YET SUPPORTED");
        return false;
    }
    out.type = static_cast<uint8_t>(channels - 1);
    out.size = bitsPerSample == 16 ? 1 : 0;
    int rateCode = WaveRateCode(samplesPerSecond);
    if (rateCode < 0) {
        Trace("Sample rate %d unsupported", samplesPerSecond);
        return false;
    }
    out.rateCode = static_cast<uint8_t>(rateCode);
    if (formatTag != 1) {
        uint32_t extraSize;
        ReadU16(file, extraSize);
        Trace("NOT YET SUPPORTED");
        return false;
    }
    return true;
}

// streamed: the file was written where its sizes could not be filled in afterwards (a RIFF or
// data size of 0xFFFFFFFF); its data then runs to the end of the file, in whole frames.
bool ReadDataChunk(FILE* file, uint64_t position, uint32_t chunkSize, bool streamed,
                   CWaveSound& out) {
    uint32_t frameBytes = (out.size ? 2u : 1u) * (out.type + 1u);
    uint64_t available = BytesLeft(file, position);
    if (streamed && available < chunkSize) {
        chunkSize = static_cast<uint32_t>(available - available % frameBytes);
    }
    out.sampleCount = chunkSize / frameBytes;
    // A declared size beyond the end of the file is a truncated (or corrupt) file: refuse
    // it before allocating anything.
    if (available < chunkSize) {
        Trace("Warning Read %d of %d bytes", static_cast<int>(available), chunkSize);
        return false;
    }
    std::vector<uint8_t> data(chunkSize);
    size_t got = chunkSize ? fread(data.data(), 1, chunkSize, file) : 0;
    if (got != chunkSize) {
        Trace("Warning Read %d of %d bytes", static_cast<int>(got), chunkSize);
        return false;
    }
    // A trailing part of a frame is no sample: the data holds whole frames only.
    data.resize(size_t{out.sampleCount} * frameBytes);
    out.data = std::move(data);
    return true;
}

} // namespace

int WaveRateCode(uint32_t samplesPerSecond) {
    switch (samplesPerSecond / 5000) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 3;
    default:
        return -1;
    }
}

bool ReadWaveFile(FILE* file, CWaveSound& out) {
    out = CWaveSound();
    out.format = 1;
    if (!file) {
        return false;
    }
    uint32_t id, riffSize;
    if (!ReadU32(file, id) || id != kRiffId) {
        Trace("Not a RIFF format file");
        return false;
    }
    if (!ReadU32(file, riffSize)) {
        return false;
    }
    long afterSize = ftell(file);
    if (afterSize < 0) {
        return false;
    }
    // 64-bit positions: chunk sizes near 4 GB must not wrap around into an endless walk.
    uint64_t riffEnd = static_cast<uint64_t>(afterSize) + riffSize;
    if (!ReadU32(file, id) || id != kWaveId) {
        Trace("Not a WAVE file");
        return false;
    }
    bool formatSeen = false;
    uint64_t position = static_cast<uint64_t>(afterSize) + 4;
    while (position < riffEnd) {
        uint32_t chunkId, chunkSize;
        if (!SeekTo(file, position) || !ReadU32(file, chunkId) || !ReadU32(file, chunkSize)) {
            break;
        }
        uint64_t bodyStart = position + 8;
        // A chunk of odd size is followed by a pad byte.
        position = bodyStart + chunkSize + (chunkSize & 1);
        switch (chunkId) {
        case kFmtChunkId:
            Trace("Format Chunk");
            if (!ReadFormatChunk(file, out)) {
                return false;
            }
            formatSeen = true;
            break;
        case kDataChunkId:
            Trace("Data Chunk");
            if (!formatSeen) {
                Trace("Warning Format Chunk not defined before Data Chunk");
                return false;
            }
            if (!ReadDataChunk(file, bodyStart, chunkSize,
                               riffSize == kStreamedSize || chunkSize == kStreamedSize, out)) {
                return false;
            }
            Trace("end");
            return true;
        case kFactChunkId:
            Trace("fact Chunk");
            break;
        default:
            Trace("Unknown Chunk");
            break;
        }
    }
    Trace("end");
    return false;
}

} // namespace kestrova::swf
