#include "swf/swf_tag.h"

#include <bitset>
#include <cstdio>
#include <deque>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

const char* const kSwfIdsExhaustedText =
    "The movie needs more than 65535 characters; split the list into several movies.";

void CSwfTag::Emit(CSwfStream& s, uint32_t code, CSwfStream& body) {
    s.WriteTagHeader(code, body.Length(), &body);
}

CSwfIdCharacter::CSwfIdCharacter() : id(AllocateId()) {}

void CSwfShowFrame::Write(CSwfStream& s) {
    s.WriteTagHeader(kTagShowFrame, 0);
}

void CSwfFreeCharacter::Write(CSwfStream& s) {
    CSwfStream body;
    body.WriteU16(characterId);
    Emit(s, kTagFreeCharacter, body);
}

namespace {

// The registry keeps the allocation order (newest at the front) because counting on from the
// newest id depends on it, plus a bitset for constant-time membership. `searchFrom` is a lower
// bound on the smallest free id, so the search past 16000 is amortised constant time.
struct IdRegistry {
    std::deque<uint16_t> order;
    std::bitset<65536> inUse;
    uint32_t searchFrom = 1;

    uint16_t SmallestFree() {
        while (searchFrom <= 65535 && inUse.test(searchFrom)) {
            ++searchFrom;
        }
        return searchFrom <= 65535 ? static_cast<uint16_t>(searchFrom) : 0;
    }
};

IdRegistry& Registry() {
    static IdRegistry registry;
    return registry;
}

constexpr uint16_t kCountingLimit = 16000;

} // namespace

uint16_t AllocateId() {
    IdRegistry& r = Registry();
    uint16_t id;
    if (r.order.empty()) {
        id = 1;
    } else if (r.order.front() < kCountingLimit && r.order.back() < kCountingLimit &&
               !r.inUse.test(r.order.front() + 1u)) {
        id = static_cast<uint16_t>(r.order.front() + 1);
    } else {
        id = r.SmallestFree();
        if (id == 0) {
            return 0;
        }
    }
    r.order.push_front(id);
    r.inUse.set(id);
    return id;
}

void ReleaseId(uint16_t id) {
    IdRegistry& r = Registry();
    for (auto it = r.order.begin(); it != r.order.end(); ++it) {
        if (*it == id) {
            r.order.erase(it);
            r.inUse.reset(id);
            if (id < r.searchFrom) {
                r.searchFrom = id;
            }
            return;
        }
    }
}

void ClearIds() {
    IdRegistry& r = Registry();
    r.order.clear();
    r.inUse.reset();
    r.searchFrom = 1;
}

bool IsIdInUse(uint16_t id) {
    return Registry().inUse.test(id);
}

CSwfMovie::CSwfMovie() {
    ClearIds();
}

CSwfMovie::~CSwfMovie() {
    DeleteTags();
}

void CSwfMovie::AddTag(CSwfTag* tag) {
    if (tag->IsShowFrame()) {
        ++frameCount;
    }
    tags.push_back(tag);
}

void CSwfMovie::DeleteTags() {
    for (CSwfTag* tag : tags) {
        delete tag;
    }
    tags.clear();
    writeFailure = nullptr;
}

std::string CSwfMovie::FailureText() const {
    if (writeFailure != nullptr) {
        return writeFailure;
    }
    if (frameCount > kSwfMaxFrames) {
        return kSwfTooManyFramesText;
    }
    for (const CSwfTag* tag : tags) {
        if (tag->HasFailed()) {
            return tag->FailureText();
        }
    }
    return {};
}

std::vector<uint8_t> SwfFileHeader(uint32_t fileLength, int32_t widthTwips, int32_t heightTwips,
                                   uint8_t frameRate, uint32_t frameCount) {
    CSwfStream h;
    h.WriteU8('F');
    h.WriteU8('W');
    h.WriteU8('S');
    h.WriteU8(5);
    h.WriteU32(fileLength);
    CSwfRect(0, 0, widthTwips, heightTwips).Write(h);
    h.WriteU8(0);
    h.WriteU8(frameRate);
    h.WriteU16(frameCount);
    if (h.Failed() || frameCount > kSwfMaxFrames) {
        return {};
    }
    return h.Bytes();
}

uint32_t CSwfMovie::EstimateSize() {
    CSwfStream s;
    for (CSwfTag* tag : tags) {
        tag->Write(s);
    }
    return s.Length() + 21;
}

const char* const kSwfTooManyFramesText =
    "The movie has more than 65535 frames, the most a movie can hold.";
const char* const kSwfFrameTooLargeText = "The movie's frame size does not fit the movie header.";
const char* const kSwfValueTooLargeText =
    "A position or size in the movie is too large to be stored.";

int CSwfMovie::WriteFile(const char* path, int32_t widthTwips, int32_t heightTwips,
                         uint8_t frameRate) {
    writeFailure = nullptr;
    if (!FailureText().empty()) {
        return 0;
    }
    // The header's size depends only on the frame RECT, so its placeholder is sized from it;
    // the file length is filled in once every tag has been serialised.
    uint32_t headerSize = static_cast<uint32_t>(
        SwfFileHeader(0, widthTwips, heightTwips, frameRate, frameCount).size());
    if (headerSize == 0) {
        writeFailure = kSwfFrameTooLargeText;
        return 0;
    }
    CSwfStream s;
    for (uint32_t i = 0; i < headerSize; ++i) {
        s.WriteU8(0);
    }
    for (CSwfTag* tag : tags) {
        tag->Write(s);
    }
    s.WriteTagHeader(kTagEnd, 0);
    std::vector<uint8_t> header =
        SwfFileHeader(s.Length(), widthTwips, heightTwips, frameRate, frameCount);
    s.Patch(0, header.data(), headerSize);
    ClearIds();
    if (s.Failed()) {
        writeFailure = kSwfValueTooLargeText;
        return 0;
    }

    // Write beside the target and rename into place only when everything reached the disk,
    // so a failed write never replaces or truncates an earlier movie.
    std::string target(path);
    std::string temporary = target + ".kestrova-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return 0;
    }
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        unlink(temporary.c_str());
        return 0;
    }
    int ok = s.WriteTo(file);
    ok = fflush(file) == 0 && ok;
    ok = fsync(fileno(file)) == 0 && ok;
    fchmod(fileno(file), 0644);
    ok = fclose(file) == 0 && ok;
    if (!ok || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return 0;
    }
    return 1;
}

CSwfDefineSprite::~CSwfDefineSprite() {
    for (CSwfTag* tag : tags) {
        delete tag;
    }
}

void CSwfDefineSprite::AddTag(CSwfTag* tag) {
    if (tag->IsShowFrame()) {
        ++frameCount;
    }
    tags.push_back(tag);
}

void CSwfDefineSprite::Write(CSwfStream& s) {
    CSwfStream body;
    body.WriteU16(id);
    body.WriteU16(frameCount);
    for (CSwfTag* tag : tags) {
        tag->Write(body);
    }
    body.WriteTagHeader(kTagEnd, 0);
    Emit(s, kTagDefineSprite, body);
}

bool CSwfDefineSprite::HasFailed() const {
    return FailureText()[0] != '\0';
}

const char* CSwfDefineSprite::FailureText() const {
    if (id == 0) {
        return kSwfIdsExhaustedText;
    }
    for (const CSwfTag* tag : tags) {
        if (tag->HasFailed()) {
            return tag->FailureText();
        }
    }
    return "";
}
