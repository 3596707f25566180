// The tag class tree, the process-wide character id registry, the movie that owns and
// serialises its tags, and the DefineSprite container.
#pragma once

#include "swf/swf_stream.h"

#include <cstdint>
#include <string>
#include <vector>

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
    virtual void Write(CSwfStream& s) = 0;
    virtual bool IsShowFrame() const { return false; }
    virtual bool IsFreeCharacter() const { return false; }
    // A tag that could not be built (no free character id, failed compression, ...).
    virtual bool HasFailed() const { return false; }
    virtual const char* FailureText() const { return ""; }

protected:
    // Builds nothing itself: writes `body` behind a header with the given code.
    static void Emit(CSwfStream& s, uint32_t code, CSwfStream& body);
};

class CSwfControlTag : public CSwfTag {
public:
    void Write(CSwfStream&) override {}
};

class CSwfCharacter : public CSwfTag {
public:
    void Write(CSwfStream&) override {}
    virtual uint16_t GetId() const { return 0; }
};

// A movie's frame count is a 16-bit field; players are documented to play 16000 frames.
constexpr uint32_t kSwfMaxFrames = 65535;
constexpr uint32_t kSwfPlayerFrameLimit = 16000;
// Texts of a movie that cannot be written: too many frames, a frame size the header cannot
// hold, a value of some tag that does not fit its bit field.
extern const char* const kSwfTooManyFramesText;
extern const char* const kSwfFrameTooLargeText;
extern const char* const kSwfValueTooLargeText;

// Text reported when a movie needs more character ids than SWF can number.
extern const char* const kSwfIdsExhaustedText;

// A character that takes an id from the registry when it is constructed. Id 0 means the
// registry was exhausted; the tag then reports itself failed.
class CSwfIdCharacter : public CSwfCharacter {
public:
    CSwfIdCharacter();
    uint16_t GetId() const override { return id; }
    bool HasFailed() const override { return id == 0; }
    const char* FailureText() const override { return id == 0 ? kSwfIdsExhaustedText : ""; }

protected:
    uint16_t id;
};

class CSwfShowFrame : public CSwfControlTag {
public:
    void Write(CSwfStream& s) override;
    bool IsShowFrame() const override { return true; }
};

class CSwfFreeCharacter : public CSwfControlTag {
public:
    explicit CSwfFreeCharacter(uint16_t characterId) : characterId(characterId) {}
    void Write(CSwfStream& s) override;
    bool IsFreeCharacter() const override { return true; }
    uint16_t GetCharacterId() const { return characterId; }

private:
    uint16_t characterId;
};

// Character id registry, process-wide, used by one thread at a time. Ids count up 1, 2, 3...
// from the newest id; once 16000 is reached the smallest free id is handed out instead.
// Returns 0 when all 65535 ids are in use.
uint16_t AllocateId();
void ReleaseId(uint16_t id);
void ClearIds();
bool IsIdInUse(uint16_t id);

class CSwfMovie {
public:
    CSwfMovie();
    virtual ~CSwfMovie();
    CSwfMovie(const CSwfMovie&) = delete;
    CSwfMovie& operator=(const CSwfMovie&) = delete;

    // Takes ownership. ShowFrame tags count frames. A FreeCharacter tag is written like any
    // other tag but keeps its id in use: players that ignore it would otherwise see the
    // same id defined twice.
    void AddTag(CSwfTag* tag);
    // Writes the movie to `path` through a temporary file beside it, renamed into place only
    // when every byte has been written; returns 0 and leaves any earlier file untouched on
    // failure (FailureText then says why, unless the disk failed). Clears the id registry once the
    // stream is built. The tags stay in the movie.
    int WriteFile(const char* path, int32_t widthTwips, int32_t heightTwips, uint8_t frameRate);
    // Serialised size of the tags plus the file header, End tag not counted.
    uint32_t EstimateSize();
    void DeleteTags();
    void ResetFrameCount() { frameCount = 0; }
    uint32_t GetFrameCount() const { return frameCount; }
    const std::vector<CSwfTag*>& Tags() const { return tags; }
    // Why the last WriteFile failed or the movie cannot be written (too many frames, the
    // first failed tag's text, a value too large for its field); empty when nothing is known
    // to be wrong (a disk error).
    std::string FailureText() const;

private:
    uint32_t frameCount = 0;
    const char* writeFailure = nullptr;
    std::vector<CSwfTag*> tags;
};

// Header bytes of an uncompressed version 5 file: signature, version, file length, frame
// size RECT, frame rate (8.8) and frame count. 21 bytes unless the frame is 1638 px or more;
// empty when the frame size or the frame count does not fit its field.
std::vector<uint8_t> SwfFileHeader(uint32_t fileLength, int32_t widthTwips, int32_t heightTwips,
                                   uint8_t frameRate, uint32_t frameCount);

class CSwfDefineSprite : public CSwfIdCharacter {
public:
    CSwfDefineSprite() = default;
    ~CSwfDefineSprite() override;
    void AddTag(CSwfTag* tag);
    void Write(CSwfStream& s) override;
    bool HasFailed() const override;
    const char* FailureText() const override;
    uint32_t GetFrameCount() const { return frameCount; }
    const std::vector<CSwfTag*>& Tags() const { return tags; }

private:
    std::vector<CSwfTag*> tags;
    uint32_t frameCount = 0;
};
