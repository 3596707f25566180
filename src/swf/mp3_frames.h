// MPEG audio Layer III frame scanning: finds the frames of an MP3 file so that they can be
// embedded unchanged in a DefineSound tag. ID3v2 tags, junk between frames and a trailing
// ID3v1 tag are skipped; free-format frames and headers with reserved or invalid fields are
// not frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace kestrova::swf {

struct CMp3FrameHeader {
    uint32_t version = 0;     // 10 = MPEG-1, 20 = MPEG-2, 25 = MPEG-2.5
    uint32_t bitRate = 0;     // bits per second
    uint32_t sampleRate = 0;  // Hz
    uint32_t padding = 0;     // 1 when the frame carries the padding byte
    uint32_t channelMode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    uint32_t hasCrc = 0;      // 1 when a 16-bit CRC follows the header
    uint32_t frameLength = 0; // bytes, header included
    uint32_t samplesPerFrame = 0;

    bool IsMono() const { return channelMode == 3; }
};

// Parses the 4 header bytes at p. Only Layer III with a table bit rate is accepted.
bool ParseMp3FrameHeader(const uint8_t* p, CMp3FrameHeader& header);

struct CMp3Frames {
    CMp3FrameHeader first;     // header of the first audio frame (fixes rate and channels)
    uint32_t frameCount = 0;   // audio frames collected
    uint32_t sampleCount = 0;  // frameCount × samples per frame
    std::vector<uint8_t> data; // the frames, back to back
};

// Collects the audio frames of a whole MP3 file held in memory. All frames must share the
// first frame's MPEG version, sample rate and mono/stereo layout; anything else is treated as
// junk. A leading Xing/Info/VBRI metadata frame carries no audio and is left out. Returns
// false when no frame is found.
bool CollectMp3Frames(const uint8_t* data, size_t size, CMp3Frames& out);

// Reads an open MP3 file from its current position to its end and collects its frames. Only
// a regular file of at most 1 GB is read, so an endless device or pipe is never looped on.
// False when the file cannot be read or holds no frame. The caller opens and closes the file.
bool ReadMp3File(FILE* file, CMp3Frames& out);

} // namespace kestrova::swf
