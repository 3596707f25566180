#include "swf/swf_sound.h"

#include "swf/adpcm_encoder.h"
#include "swf/mp3_frames.h"
#include "swf/wav_reader.h"

namespace kestrova::swf {

void CSwfDefineSound::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(id);
    body.WriteBits(sound.format, 4);
    body.WriteBits(sound.rateCode, 2);
    body.WriteBits(sound.size, 1);
    body.WriteBits(sound.type, 1);
    body.WriteU32(sound.sampleCount);
    if (!sound.data.empty()) {
        body.AppendBlock(sound.data.data(), static_cast<uint32_t>(sound.data.size()));
    }
    Emit(s, kTagDefineSound, body);
}

CSwfSoundData SoundFromWave(CWaveSound wave, uint32_t codeSize) {
    CSwfSoundData sound{kSoundUncompressed, wave.rateCode,    wave.size,
                        wave.type,          wave.sampleCount, {}};
    if (codeSize == 0) {
        sound.data = std::move(wave.data);
        return sound;
    }
    sound.format = kSoundAdpcm;
    CAdpcmEncoder encoder(sound.SoundFlags(), codeSize);
    encoder.Encode(wave.data.data(), sound.sampleCount, sound.data);
    encoder.Flush(sound.data);
    return sound;
}

int Mp3RateCode(uint32_t sampleRate) {
    switch (sampleRate) {
    case 11025:
        return 1;
    case 22050:
        return 2;
    case 44100:
        return 3;
    default:
        return -1;
    }
}

std::optional<CSwfSoundData> SoundFromMp3(CMp3Frames frames) {
    int code = Mp3RateCode(frames.first.sampleRate);
    if (code < 0) {
        return std::nullopt;
    }
    CSwfSoundData sound{kSoundMp3,
                        static_cast<uint8_t>(code),
                        1,
                        static_cast<uint8_t>(frames.first.IsMono() ? 0 : 1),
                        frames.sampleCount,
                        {}};
    // SeekSamples (u16): no samples to skip at the start.
    sound.data.reserve(frames.data.size() + 2);
    sound.data.push_back(0);
    sound.data.push_back(0);
    sound.data.insert(sound.data.end(), frames.data.begin(), frames.data.end());
    return sound;
}

void CSwfSoundInfo::Write(CSwfStream& s) const {
    s.WriteBits(syncFlags, 4);
    s.WriteBits(envelope.has_value(), 1);
    s.WriteBits(loopCount.has_value(), 1);
    s.WriteBits(outPoint.has_value(), 1);
    s.WriteBits(inPoint.has_value(), 1);
    if (inPoint) {
        s.WriteU32(*inPoint);
    }
    if (outPoint) {
        s.WriteU32(*outPoint);
    }
    if (loopCount) {
        s.WriteU16(*loopCount);
    }
    if (envelope) {
        s.WriteU8(static_cast<uint32_t>(envelope->size()));
        for (const CSwfSoundEnvelope& point : *envelope) {
            s.WriteU32(point.position44);
            s.WriteU16(point.leftLevel);
            s.WriteU16(point.rightLevel);
        }
    }
}

void CSwfStartSound::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(soundId);
    info.Write(body);
    Emit(s, kTagStartSound, body);
}

void CSwfSoundStreamHead::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU8(playbackFlags);
    body.WriteBits(kSoundAdpcm, 4);
    body.WriteBits(0, 2); // 5.5 kHz
    body.WriteBits(1, 1); // 16-bit
    body.WriteBits(stereo ? 1 : 0, 1);
    body.WriteU16(sampleCount);
    Emit(s, kTagSoundStreamHead, body);
}

void CSwfSoundStreamHead2::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU8(playbackFlags);
    body.WriteBits(compression, 4);
    // MP3 has no 5.5 kHz rate: its stream rate repeats the playback rate (bits 2-3).
    body.WriteBits(compression == kSoundMp3 ? (playbackFlags >> 2) & 3 : 0, 2);
    body.WriteBits(size, 1);
    body.WriteBits(type, 1);
    body.WriteU16(sampleCount);
    if (compression == kSoundMp3) {
        body.WriteU16(0); // LatencySeek
    }
    Emit(s, kTagSoundStreamHead2, body);
}

void CSwfSoundStreamBlock::Write(CSwfStream& s) const {
    CSwfStream body;
    if (length > 0) {
        body.AppendBlock(data, length);
    }
    Emit(s, kTagSoundStreamBlock, body);
}

} // namespace kestrova::swf
