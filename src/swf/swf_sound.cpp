#include "swf/swf_sound.h"

#include "swf/adpcm_encoder.h"
#include "swf/mp3_frames.h"
#include "swf/wav_reader.h"

#include <sys/stat.h>

namespace {

// Largest MP3 file read into memory; the engine refuses far smaller files long before.
constexpr size_t kMaxMp3Bytes = size_t{1} << 30;

// Reads from the file's position to its end, by the size the file system gives: only a
// regular file of at most kMaxMp3Bytes is read, so an endless device or pipe is never looped on.
bool ReadRest(FILE* file, std::vector<uint8_t>& bytes) {
    struct stat info {};
    const long at = ftell(file);
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode) || at < 0 || info.st_size < at ||
        static_cast<uint64_t>(info.st_size - at) > kMaxMp3Bytes) {
        return false;
    }
    bytes.resize(static_cast<size_t>(info.st_size - at));
    return fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

} // namespace

void CSwfDefineSound::Write(CSwfStream& s) {
    CSwfStream body;
    body.WriteU16(id);
    body.WriteBits(format, 4);
    body.WriteBits(rateCode, 2);
    body.WriteBits(size, 1);
    body.WriteBits(type, 1);
    body.WriteU32(sampleCount);
    if (!soundData.empty()) {
        body.AppendBlock(soundData.data(), static_cast<uint32_t>(soundData.size()));
    }
    Emit(s, kTagDefineSound, body);
}

void CSwfDefineSound::EncodeAdpcm(const void* samples, uint32_t codeSize) {
    soundData.clear();
    CAdpcmEncoder encoder(GetSoundFlags(), codeSize);
    encoder.Encode(samples, sampleCount, soundData);
    encoder.Flush(soundData);
}

CSwfDefineSoundWave::CSwfDefineSoundWave(FILE* file, uint32_t codeSize) {
    if (!file || (codeSize != 0 && (codeSize < 2 || codeSize > 5))) {
        failed = 1;
        return;
    }
    CWaveSound wave;
    bool read = ReadWaveFile(file, wave);
    waveFormatTag = wave.waveFormatTag;
    if (!read || waveFormatTag != 1) {
        failed = 1;
        return;
    }
    rateCode = wave.rateCode;
    size = wave.size;
    type = wave.type;
    sampleCount = wave.sampleCount;
    if (codeSize == 0) {
        format = kSoundUncompressed;
        soundData = std::move(wave.data);
    } else {
        // The size bit keeps the WAV's sample size even though ADPCM is always 16-bit.
        format = kSoundAdpcm;
        EncodeAdpcm(wave.data.data(), codeSize);
    }
}

CSwfDefineSoundAdpcm::CSwfDefineSoundAdpcm(uint8_t rateCode, uint8_t size, uint8_t type,
                                           uint32_t sampleCount, const void* samples,
                                           uint32_t codeSize) {
    format = kSoundAdpcm;
    this->rateCode = rateCode & 3;
    this->size = size & 1;
    this->type = type & 1;
    this->sampleCount = sampleCount;
    if (samples) {
        EncodeAdpcm(samples, codeSize);
    }
}

int CSwfDefineSoundMp3::RateCodeFor(uint32_t sampleRate) {
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

CSwfDefineSoundMp3::CSwfDefineSoundMp3(FILE* file) {
    failed = 1;
    std::vector<uint8_t> bytes;
    CMp3Frames frames;
    if (!file || !ReadRest(file, bytes) || !CollectMp3Frames(bytes.data(), bytes.size(), frames)) {
        return;
    }
    sampleRate = frames.first.sampleRate;
    mp3FrameCount = frames.frameCount;
    int code = RateCodeFor(sampleRate);
    if (code < 0) {
        return;
    }
    format = kSoundMp3;
    rateCode = static_cast<uint8_t>(code);
    size = 1;
    type = frames.first.IsMono() ? 0 : 1;
    sampleCount = frames.sampleCount;
    // SeekSamples (u16): no samples to skip at the start.
    soundData.reserve(frames.data.size() + 2);
    soundData.push_back(0);
    soundData.push_back(0);
    soundData.insert(soundData.end(), frames.data.begin(), frames.data.end());
    failed = 0;
}

void CSwfSoundEnvelope::Write(CSwfStream& s) const {
    s.WriteU32(position44);
    s.WriteU16(leftLevel);
    s.WriteU16(rightLevel);
}

CSwfSoundInfo::CSwfSoundInfo(uint8_t syncFlags, uint8_t hasEnvelope, uint8_t hasLoops,
                             uint8_t hasOutPoint, uint8_t hasInPoint, uint32_t inPoint,
                             uint32_t outPoint, uint16_t loopCount, uint8_t envelopePointCount,
                             CSwfSoundEnvelope* envelope)
    : syncFlags(syncFlags), hasEnvelope(hasEnvelope), hasLoops(hasLoops), hasOutPoint(hasOutPoint),
      hasInPoint(hasInPoint), inPoint(inPoint), outPoint(outPoint), loopCount(loopCount),
      envelopePointCount(envelopePointCount), envelope(envelope) {}

void CSwfSoundInfo::Write(CSwfStream& s) const {
    s.WriteBits(syncFlags, 4);
    s.WriteBits(hasEnvelope ? 1 : 0, 1);
    s.WriteBits(hasLoops ? 1 : 0, 1);
    s.WriteBits(hasOutPoint ? 1 : 0, 1);
    s.WriteBits(hasInPoint ? 1 : 0, 1);
    if (hasInPoint) {
        s.WriteU32(inPoint);
    }
    if (hasOutPoint) {
        s.WriteU32(outPoint);
    }
    if (hasLoops) {
        s.WriteU16(loopCount);
    }
    if (hasEnvelope) {
        s.WriteU8(envelope ? 1 : 0);
        if (envelope) {
            envelope->Write(s);
        }
    }
}

void CSwfStartSound::Write(CSwfStream& s) {
    CSwfStream body;
    body.WriteU16(soundId);
    if (info) {
        info->Write(body);
    } else {
        body.WriteU8(0);
    }
    Emit(s, kTagStartSound, body);
}

void CSwfSoundStreamHead::Write(CSwfStream& s) {
    CSwfStream body;
    body.WriteU8(playbackFlags);
    body.WriteBits(kSoundAdpcm, 4);
    body.WriteBits(0, 2); // 5.5 kHz
    body.WriteBits(1, 1); // 16-bit
    body.WriteBits(stereo ? 1 : 0, 1);
    body.WriteU16(sampleCount);
    Emit(s, kTagSoundStreamHead, body);
}

void CSwfSoundStreamHead2::Write(CSwfStream& s) {
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

void CSwfSoundStreamBlock::Write(CSwfStream& s) {
    CSwfStream body;
    if (length > 0) {
        body.AppendBlock(data, length);
    }
    Emit(s, kTagSoundStreamBlock, body);
}
