// Sound tags: DefineSound for WAV (raw PCM or ADPCM), MP3 and caller-supplied samples, the
// StartSound tag with its SOUNDINFO record, the stream heads and the stream block.
//
// Sound format fields: format (0 uncompressed, 1 ADPCM, 2 MP3), rate code (0 = 5.5 kHz,
// 1 = 11 kHz, 2 = 22 kHz, 3 = 44 kHz), size (0 = 8-bit, 1 = 16-bit), type (0 mono, 1 stereo).
// The sound flags byte is rate code × 4 + size × 2 + type.
#pragma once

#include "swf/swf_tag.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

// SWF sound formats.
enum SwfSoundFormat : uint8_t {
    kSoundUncompressed = 0,
    kSoundAdpcm = 1,
    kSoundMp3 = 2,
};

// Base of the sound definitions; writes tag code 14 (DefineSound): u16 id, format (4 bits),
// rate code (2), size (1), type (1), u32 sample count, then the sound data as a referenced
// block owned by the tag.
class CSwfDefineSound : public CSwfIdCharacter {
public:
    void Write(CSwfStream& s) override;

    uint8_t GetSoundFlags() const { return static_cast<uint8_t>(rateCode * 4 + size * 2 + type); }
    bool IsStereo() const { return type != 0; }
    uint32_t GetSampleCount() const { return sampleCount; }
    uint8_t GetFormat() const { return format; }
    uint8_t GetRateCode() const { return rateCode; }
    uint8_t GetSize() const { return size; }
    const std::vector<uint8_t>& GetSoundData() const { return soundData; }

protected:
    // Replaces the sound data with the ADPCM encoding of sampleCount frames laid out as the
    // current size and type say.
    void EncodeAdpcm(const void* samples, uint32_t codeSize);

    uint8_t format = 0;
    uint8_t rateCode = 0;
    uint8_t size = 0;
    uint8_t type = 0;
    uint32_t sampleCount = 0; // sample frames; a stereo frame counts once
    std::vector<uint8_t> soundData;
};

// DefineSound read from a PCM WAV file. codeSize 0 keeps the samples uncompressed; 2 to 5
// compresses them to ADPCM with that many bits per sample. The caller opens and closes the
// file. An unreadable or non-PCM file leaves the tag failed with no sound data.
class CSwfDefineSoundWave : public CSwfDefineSound {
public:
    CSwfDefineSoundWave(FILE* file, uint32_t codeSize);
    bool HasFailed() const override { return failed != 0 || CSwfIdCharacter::HasFailed(); }
    // Format tag of the file's fmt chunk (1 = PCM); 0 when none was read.
    uint32_t GetWaveFormatTag() const { return waveFormatTag; }

private:
    uint32_t failed = 0;
    uint32_t waveFormatTag = 0;
};

// DefineSound holding ADPCM encoded from the caller's sample buffer (16-bit signed
// little-endian, or 8-bit unsigned when size is 0; channels interleaved). The buffer is only
// read during construction.
class CSwfDefineSoundAdpcm : public CSwfDefineSound {
public:
    CSwfDefineSoundAdpcm(uint8_t rateCode, uint8_t size, uint8_t type, uint32_t sampleCount,
                         const void* samples, uint32_t codeSize);
};

// DefineSound of format 2 built from an open MP3 file (read from its current position to its
// end; only a regular file is read, up to 1 GB): the data is SeekSamples (u16, 0) followed by the
// file's Layer III frames; sample count = frames × samples per frame. Only 11025, 22050 and 44100
// Hz can be labelled in SWF. The tag is failed when no frame is found or the rate is none of those
// three; in the latter case GetSampleRate tells the rate, so the caller can decode and resample the
// file instead.
class CSwfDefineSoundMp3 : public CSwfDefineSound {
public:
    explicit CSwfDefineSoundMp3(FILE* file);
    bool HasFailed() const override { return failed != 0 || CSwfIdCharacter::HasFailed(); }
    // Sample rate of the frames found (0 when none were found).
    uint32_t GetSampleRate() const { return sampleRate; }
    // True when frames were found but their rate has no SWF rate code.
    bool HasUnsupportedRate() const { return sampleRate != 0 && failed != 0; }
    uint32_t GetMp3FrameCount() const { return mp3FrameCount; }

    // Rate code for an MP3 sample rate: 1, 2 or 3 for 11025, 22050, 44100 Hz; -1 otherwise.
    static int RateCodeFor(uint32_t sampleRate);

private:
    uint32_t failed = 0;
    uint32_t sampleRate = 0;
    uint32_t mp3FrameCount = 0;
};

// ENVELOPE record: position in 44 kHz samples and the two channel levels (0..32768).
class CSwfSoundEnvelope {
public:
    CSwfSoundEnvelope(uint32_t position44, uint16_t leftLevel, uint16_t rightLevel)
        : position44(position44), leftLevel(leftLevel), rightLevel(rightLevel) {}
    virtual ~CSwfSoundEnvelope() = default;
    void Write(CSwfStream& s) const;

    uint32_t position44;
    uint16_t leftLevel;
    uint16_t rightLevel;
};

// SOUNDINFO record. syncFlags holds the four bits Reserved (2), SyncStop, SyncNoMultiple.
// Owns the envelope. Only one envelope record is supported: when hasEnvelope is set, the
// written point count is 1 with the record, or 0 when no record was given.
class CSwfSoundInfo {
public:
    CSwfSoundInfo(uint8_t syncFlags, uint8_t hasEnvelope, uint8_t hasLoops, uint8_t hasOutPoint,
                  uint8_t hasInPoint, uint32_t inPoint, uint32_t outPoint, uint16_t loopCount,
                  uint8_t envelopePointCount, CSwfSoundEnvelope* envelope);
    virtual ~CSwfSoundInfo() = default;
    void Write(CSwfStream& s) const;

    uint8_t syncFlags;
    uint8_t hasEnvelope, hasLoops, hasOutPoint, hasInPoint;
    uint32_t inPoint, outPoint;
    uint16_t loopCount;
    uint8_t envelopePointCount;
    std::unique_ptr<CSwfSoundEnvelope> envelope;
};

// StartSound (tag code 15): u16 sound id, then the SOUNDINFO, which the tag owns.
class CSwfStartSound : public CSwfControlTag {
public:
    CSwfStartSound(uint16_t soundId, CSwfSoundInfo* info) : soundId(soundId), info(info) {}
    void Write(CSwfStream& s) override;

private:
    uint16_t soundId;
    std::unique_ptr<CSwfSoundInfo> info;
};

// SoundStreamHead (tag code 18): the playback byte as given, then a stream format fixed to
// ADPCM, 5.5 kHz, 16-bit with the stereo flag, then the u16 sample count.
class CSwfSoundStreamHead : public CSwfCharacter {
public:
    CSwfSoundStreamHead(uint8_t playbackFlags, uint8_t stereo, uint16_t sampleCount)
        : playbackFlags(playbackFlags), stereo(stereo), sampleCount(sampleCount) {}
    void Write(CSwfStream& s) override;

private:
    uint8_t playbackFlags;
    uint8_t stereo;
    uint16_t sampleCount;
};

// SoundStreamHead2 (tag code 45): the playback byte as given; compression (4 bits), stream
// rate (2), size (1), type (1); u16 sample count; for MP3 (compression 2) the s16
// LatencySeek 0 that the format requires after the count. The stream rate is 0 (5.5 kHz)
// except for MP3, which cannot have that rate: it repeats the playback byte's rate.
class CSwfSoundStreamHead2 : public CSwfCharacter {
public:
    CSwfSoundStreamHead2(uint8_t playbackFlags, uint8_t compression, uint8_t size, uint8_t type,
                         uint16_t sampleCount)
        : playbackFlags(playbackFlags), compression(compression), size(size), type(type),
          sampleCount(sampleCount) {}
    void Write(CSwfStream& s) override;

private:
    uint8_t playbackFlags;
    uint8_t compression;
    uint8_t size;
    uint8_t type;
    uint16_t sampleCount;
};

// SoundStreamBlock (tag code 19): stream data referenced from the caller, who keeps it alive
// until the movie has been written.
class CSwfSoundStreamBlock : public CSwfCharacter {
public:
    CSwfSoundStreamBlock(const uint8_t* data, uint32_t length) : data(data), length(length) {}
    void Write(CSwfStream& s) override;

private:
    const uint8_t* data;
    uint32_t length;
};
