// The tag class tree, the character id allocator, the movie that owns and serialises its
// tags, and the DefineSprite container.
#pragma once

#include "swf/swf_stream.h"

#include <bitset>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::swf {

// SWF tag codes used by the writer.
enum SwfTagCode : uint32_t {
    kTagEnd = 0,
    kTagShowFrame = 1,
    kTagDefineShape = 2,
    kTagFreeCharacter = 3,
    kTagPlaceObject = 4,
    kTagRemoveObject = 5,
    kTagDefineBits = 6,
    kTagJPEGTables = 8,
    kTagSetBackgroundColor = 9,
    kTagDoAction = 12,
    kTagDefineSound = 14,
    kTagStartSound = 15,
    kTagSoundStreamHead = 18,
    kTagSoundStreamBlock = 19,
    kTagDefineBitsLossless = 20,
    kTagDefineBitsJPEG2 = 21,
    kTagDefineShape2 = 22,
    kTagProtect = 24,
    kTagPlaceObject2 = 26,
    kTagRemoveObject2 = 28,
    kTagDefineShape3 = 32,
    kTagDefineBitsJPEG3 = 35,
    kTagDefineBitsLossless2 = 36,
    kTagDefineSprite = 39,
    kTagFrameLabel = 43,
    kTagSoundStreamHead2 = 45,
};

class CSwfTag {
public:
    virtual ~CSwfTag() = default;
    // Serialises the complete tag, header included.
    virtual void Write(CSwfStream& s) const = 0;
    virtual bool IsShowFrame() const { return false; }

protected:
    // Builds nothing itself: writes `body` behind a header with the given code.
    static void Emit(CSwfStream& s, uint32_t code, CSwfStream& body);
};

// A tag that defines a character under the id it was made with.
class CSwfCharacter : public CSwfTag {
public:
    explicit CSwfCharacter(uint16_t id) : id(id) {}

protected:
    uint16_t id;
};

// A movie's frame count is a 16-bit field; players are documented to play 16000 frames.
constexpr uint32_t kSwfMaxFrames = 65535;
constexpr uint32_t kSwfPlayerFrameLimit = 16000;
// Texts of a movie that cannot be written: too many frames, a frame size the header cannot
// hold, a value of some tag that does not fit its bit field, a file past 4 GB.
extern const char* const kSwfTooManyFramesText;
extern const char* const kSwfFrameTooLargeText;
extern const char* const kSwfValueTooLargeText;
extern const char* const kSwfFileTooLargeText;

// Text reported when a movie needs more character ids than SWF can number.
extern const char* const kSwfIdsExhaustedText;

class CSwfShowFrame : public CSwfTag {
public:
    void Write(CSwfStream& s) const override;
    bool IsShowFrame() const override { return true; }
};

// Written like any other tag, but its id stays in use in the movie: players that ignore the
// tag would otherwise see the same id defined twice.
class CSwfFreeCharacter : public CSwfTag {
public:
    explicit CSwfFreeCharacter(uint16_t characterId) : characterId(characterId) {}
    void Write(CSwfStream& s) const override;

private:
    uint16_t characterId;
};

// The character ids of one movie. Ids count up 1, 2, 3... from the newest id; once 16000 is
// reached the smallest free id is handed out instead. New() returns 0 when all 65535 ids are
// in use. An id stays in use until Release.
class CSwfIdAllocator {
public:
    uint16_t New();
    void Release(uint16_t id);

private:
    uint16_t SmallestFree();

    // Allocation order, newest first: counting on from the newest id depends on it.
    std::deque<uint16_t> order;
    std::bitset<65536> inUse;
    // A lower bound on the smallest free id, so the search past 16000 is amortised constant.
    uint32_t searchFrom = 1;
};

class CSwfMovie {
public:
    // ShowFrame tags count frames.
    void AddTag(std::unique_ptr<CSwfTag> tag);
    // A new character id of this movie, 0 when the movie has used all of them
    // (kSwfIdsExhaustedText says so).
    uint16_t NewId() { return ids.New(); }
    // Writes the movie to `path` through a temporary file beside it, renamed into place only
    // when every byte has been written; returns 0 and leaves any earlier file untouched on
    // failure (FailureText then says why, unless the disk failed). The tags stay in the movie.
    int WriteFile(const char* path, int32_t widthTwips, int32_t heightTwips, uint8_t frameRate);
    // Serialised size of the tags plus the file header, End tag not counted.
    uint32_t EstimateSize() const;
    // Drops the tags (the frame count stays until Clear).
    void DeleteTags();
    // Back to a new movie: no tags, no frames, every id free.
    void Clear() { *this = CSwfMovie(); }
    uint32_t GetFrameCount() const { return frameCount; }
    const std::vector<std::unique_ptr<CSwfTag>>& Tags() const { return tags; }
    // Why the last WriteFile failed or the movie cannot be written (too many frames, a value
    // too large for its field); empty when nothing is known to be wrong (a disk error).
    std::string FailureText() const;

private:
    uint32_t frameCount = 0;
    const char* writeFailure = nullptr;
    std::vector<std::unique_ptr<CSwfTag>> tags;
    CSwfIdAllocator ids;
};

// Header bytes of an uncompressed version 5 file: signature, version, file length, frame
// size RECT, frame rate (8.8) and frame count. 21 bytes unless the frame is 1638 px or more;
// empty when the frame size or the frame count does not fit its field.
std::vector<uint8_t> SwfFileHeader(uint32_t fileLength, int32_t widthTwips, int32_t heightTwips,
                                   uint8_t frameRate, uint32_t frameCount);

class CSwfDefineSprite : public CSwfCharacter {
public:
    explicit CSwfDefineSprite(uint16_t id) : CSwfCharacter(id) {}
    void AddTag(std::unique_ptr<CSwfTag> tag);
    void Write(CSwfStream& s) const override;
    uint32_t GetFrameCount() const { return frameCount; }
    const std::vector<std::unique_ptr<CSwfTag>>& Tags() const { return tags; }

private:
    std::vector<std::unique_ptr<CSwfTag>> tags;
    uint32_t frameCount = 0;
};

} // namespace kestrova::swf
