// Sound tags: DefineSound made from WAV samples (raw PCM or ADPCM) or MP3 frames, the
// StartSound tag with its SOUNDINFO record, the stream heads and the stream block.
//
// Sound format fields: format (0 uncompressed, 1 ADPCM, 2 MP3), rate code (0 = 5.5 kHz,
// 1 = 11 kHz, 2 = 22 kHz, 3 = 44 kHz), size (0 = 8-bit, 1 = 16-bit), type (0 mono, 1 stereo).
// The sound flags byte is rate code × 4 + size × 2 + type.
#pragma once

#include "swf/swf_tag.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrova::swf {

// SWF sound formats.
enum SwfSoundFormat : uint8_t {
    kSoundUncompressed = 0,
    kSoundAdpcm = 1,
    kSoundMp3 = 2,
};

struct CWaveSound;
struct CMp3Frames;

// The fields and data of a DefineSound.
struct CSwfSoundData {
    uint8_t format = kSoundUncompressed;
    uint8_t rateCode = 0;
    uint8_t size = 0;
    uint8_t type = 0;
    uint32_t sampleCount = 0; // sample frames; a stereo frame counts once
    std::vector<uint8_t> data;

    uint8_t SoundFlags() const { return static_cast<uint8_t>(rateCode * 4 + size * 2 + type); }
    bool IsStereo() const { return type != 0; }
};

// A WAV reader's samples as sound data: codeSize 0 keeps them uncompressed, 2 to 5 encodes
// them as ADPCM with that many bits per sample (the size bit keeps the WAV's sample size even
// though ADPCM is always 16-bit).
CSwfSoundData SoundFromWave(CWaveSound wave, uint32_t codeSize);

// Rate code for an MP3 sample rate: 1, 2 or 3 for 11025, 22050, 44100 Hz; -1 otherwise.
int Mp3RateCode(uint32_t sampleRate);

// An MP3 scanner's frames as format 2 sound data: SeekSamples (u16, 0) followed by the frames;
// sample count = frames × samples per frame. None when the rate has no rate code (only 11025,
// 22050 and 44100 Hz can be labelled), so the caller can decode and resample the file instead.
std::optional<CSwfSoundData> SoundFromMp3(CMp3Frames frames);

// DefineSound (tag code 14): u16 id, format (4 bits), rate code (2), size (1), type (1), u32
// sample count, then the sound data as a referenced block owned by the tag.
class CSwfDefineSound : public CSwfCharacter {
public:
    CSwfDefineSound(uint16_t id, CSwfSoundData sound)
        : CSwfCharacter(id), sound(std::move(sound)) {}
    void Write(CSwfStream& s) const override;
    const CSwfSoundData& Sound() const { return sound; }

private:
    CSwfSoundData sound;
};

// ENVELOPE record: position in 44 kHz samples and the two channel levels (0..32768).
struct CSwfSoundEnvelope {
    uint32_t position44 = 0;
    uint16_t leftLevel = 0;
    uint16_t rightLevel = 0;
};

// SOUNDINFO record. syncFlags holds the four bits Reserved (2), SyncStop, SyncNoMultiple; each
// part that is given sets its has-flag.
struct CSwfSoundInfo {
    uint8_t syncFlags = 0;
    std::optional<uint32_t> inPoint = {};
    std::optional<uint32_t> outPoint = {};
    std::optional<uint16_t> loopCount = {};
    std::optional<std::vector<CSwfSoundEnvelope>> envelope = {};

    void Write(CSwfStream& s) const;
};

// StartSound (tag code 15): u16 sound id, then the SOUNDINFO.
class CSwfStartSound : public CSwfTag {
public:
    CSwfStartSound(uint16_t soundId, CSwfSoundInfo info)
        : soundId(soundId), info(std::move(info)) {}
    void Write(CSwfStream& s) const override;

private:
    uint16_t soundId;
    CSwfSoundInfo info;
};

// SoundStreamHead (tag code 18): the playback byte as given, then a stream format fixed to
// ADPCM, 5.5 kHz, 16-bit with the stereo flag, then the u16 sample count.
class CSwfSoundStreamHead : public CSwfTag {
public:
    CSwfSoundStreamHead(uint8_t playbackFlags, uint8_t stereo, uint16_t sampleCount)
        : playbackFlags(playbackFlags), stereo(stereo), sampleCount(sampleCount) {}
    void Write(CSwfStream& s) const override;

private:
    uint8_t playbackFlags;
    uint8_t stereo;
    uint16_t sampleCount;
};

// SoundStreamHead2 (tag code 45): the playback byte as given; compression (4 bits), stream
// rate (2), size (1), type (1); u16 sample count; for MP3 (compression 2) the s16
// LatencySeek 0 that the format requires after the count. The stream rate is 0 (5.5 kHz)
// except for MP3, which cannot have that rate: it repeats the playback byte's rate.
class CSwfSoundStreamHead2 : public CSwfTag {
public:
    CSwfSoundStreamHead2(uint8_t playbackFlags, uint8_t compression, uint8_t size, uint8_t type,
                         uint16_t sampleCount)
        : playbackFlags(playbackFlags), compression(compression), size(size), type(type),
          sampleCount(sampleCount) {}
    void Write(CSwfStream& s) const override;

private:
    uint8_t playbackFlags;
    uint8_t compression;
    uint8_t size;
    uint8_t type;
    uint16_t sampleCount;
};

// SoundStreamBlock (tag code 19): stream data referenced from the caller, who keeps it alive
// until the movie has been written.
class CSwfSoundStreamBlock : public CSwfTag {
public:
    CSwfSoundStreamBlock(const uint8_t* data, uint32_t length) : data(data), length(length) {}
    void Write(CSwfStream& s) const override;

private:
    const uint8_t* data;
    uint32_t length;
};

} // namespace kestrova::swf
