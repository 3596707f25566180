// Re-encodes a sound file to a 16-bit PCM WAV file that the SWF sound tags can take: WAV files
// in any encoding FFmpeg decodes (8/24/32-bit and float PCM, MS and IMA ADPCM, mu-law, A-law,
// GSM 6.10, MP3 inside RIFF ...) and plain MP3 files. The rate is kept when it is one of the
// four SWF rates, otherwise the sound is resampled to the nearest SWF rate at or above it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kestrova::media {

// WAVEFORMATEX as stored in a RIFF "fmt " chunk.
struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};

// The path of the converted copy of sourcePath: tempDirectory (used as a prefix, so it ends
// with a separator) followed by "kestrova_pcm_", the source's file name without extension and
// ".wav". The name always differs from the source's own, even for a source inside
// tempDirectory. The caller deletes the copy once it has read it.
std::string PcmCopyPath(const std::string& tempDirectory, const std::string& sourcePath);

// The SWF rate a sound of the given rate is played at: the rate itself when it is exactly
// 5512, 11025, 22050 or 44100 Hz, else the smallest of those above it, 44100 when above all.
uint32_t SwfPlaybackRate(uint32_t samplesPerSec);

// One converter per sound file: construct with the two paths, Convert once, destroy.
class WavToPcmConverter {
public:
    WavToPcmConverter(const std::string& sourcePath, const std::string& destinationPath);
    virtual ~WavToPcmConverter() = default;
    WavToPcmConverter(const WavToPcmConverter&) = delete;
    WavToPcmConverter& operator=(const WavToPcmConverter&) = delete;

    // Returns 1 on success: IsConverted() then tells whether the destination file was written
    // (true) or the source is 16-bit PCM at an SWF rate with an acceptable channel count and
    // is used as it is (false). Returns 0 on failure, with every failure already reported
    // in Messages() except a WAV file without a "fmt " chunk, which fails silently.
    // A failure never leaves a destination file behind.
    int Convert(bool stereoToMono);
    // The user-visible texts of what went wrong, in the order found; the caller shows them.
    const std::vector<std::string>& Messages() const { return messages; }

    // Refuses, before anything is written, a conversion whose destination file would be
    // larger than `bytes` (header included), from the sound's duration at the target rate and
    // layout; the destination is also never let grow past it. 0 (the default) sets no limit.
    void LimitDestination(uint64_t bytes) { destinationLimit = bytes; }
    // True after a Convert that returned 0 because of that limit (nothing was shown).
    bool IsTooLarge() const { return tooLarge; }

    bool IsConverted() const { return converted; }
    // The format of the written file (valid after a Convert that returned 1 and converted).
    const WaveFormat& TargetFormat() const { return targetFormat; }
    // Bytes in the written file's "data" chunk.
    uint32_t DestinationLength() const { return destinationLength; }

private:
    enum class Source { Failed, Wave, NoFormat, Mp3 };
    Source ReadSource();
    int ReadChunks(FILE* file, uint32_t riffSize);
    bool NeedsNoConversion(bool stereoToMono) const;
    void SetTargetFormat(uint16_t sourceChannels, uint32_t sourceRate, bool stereoToMono);
    int ConvertWithFfmpeg(bool mp3, bool stereoToMono);
    void Show(const std::string& text);
    void FreeBuffers();

    bool converted = false;
    bool tooLarge = false;
    uint64_t destinationLimit = 0;
    uint32_t destinationLength = 0;
    std::vector<uint8_t> sourceFormat; // the "fmt " chunk with any extra bytes
    WaveFormat targetFormat;
    std::vector<uint8_t> sourceData; // the whole "data" chunk
    std::string destinationPath;
    std::string sourcePath;
    std::vector<std::string> messages;
};

} // namespace kestrova::media
