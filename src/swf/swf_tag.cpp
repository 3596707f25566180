#include "swf/swf_tag.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::swf {

const char* const kSwfIdsExhaustedText =
    "The movie needs more than 65535 characters; split the list into several movies.";

void CSwfTag::Emit(CSwfStream& s, uint32_t code, CSwfStream& body) {
    s.WriteTagHeader(code, body.Length(), &body);
}

void CSwfShowFrame::Write(CSwfStream& s) const {
    s.WriteTagHeader(kTagShowFrame, 0);
}

void CSwfFreeCharacter::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(characterId);
    Emit(s, kTagFreeCharacter, body);
}

constexpr uint16_t kCountingLimit = 16000;

uint16_t CSwfIdAllocator::SmallestFree() {
    while (searchFrom <= 65535 && inUse.test(searchFrom)) {
        ++searchFrom;
    }
    return searchFrom <= 65535 ? static_cast<uint16_t>(searchFrom) : 0;
}

uint16_t CSwfIdAllocator::New() {
    uint16_t id;
    if (order.empty()) {
        id = 1;
    } else if (order.front() < kCountingLimit && order.back() < kCountingLimit &&
               !inUse.test(order.front() + 1u)) {
        id = static_cast<uint16_t>(order.front() + 1);
    } else {
        id = SmallestFree();
        if (id == 0) {
            return 0;
        }
    }
    order.push_front(id);
    inUse.set(id);
    return id;
}

void CSwfIdAllocator::Release(uint16_t id) {
    auto it = std::find(order.begin(), order.end(), id);
    if (it == order.end()) {
        return;
    }
    order.erase(it);
    inUse.reset(id);
    searchFrom = std::min<uint32_t>(searchFrom, id);
}

void CSwfMovie::AddTag(std::unique_ptr<CSwfTag> tag) {
    if (tag->IsShowFrame()) {
        ++frameCount;
    }
    tags.push_back(std::move(tag));
}

void CSwfMovie::DeleteTags() {
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

uint32_t CSwfMovie::EstimateSize() const {
    CSwfStream s;
    for (const auto& tag : tags) {
        tag->Write(s);
    }
    return s.Length() + 21;
}

const char* const kSwfTooManyFramesText =
    "The movie has more than 65535 frames, the most a movie can hold.";
const char* const kSwfFrameTooLargeText = "The movie's frame size does not fit the movie header.";
const char* const kSwfValueTooLargeText =
    "A position or size in the movie is too large to be stored.";
const char* const kSwfFileTooLargeText =
    "The movie would be larger than 4 GB, the most a movie file can be (its header holds the "
    "file length in 32 bits).";

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
    for (const auto& tag : tags) {
        tag->Write(s);
    }
    s.WriteTagHeader(kTagEnd, 0);
    std::vector<uint8_t> header =
        SwfFileHeader(s.Length(), widthTwips, heightTwips, frameRate, frameCount);
    s.Patch(0, header.data(), headerSize);
    if (s.Failed()) {
        writeFailure = kSwfValueTooLargeText;
        return 0;
    }
    if (s.TotalLength() > 0xFFFFFFFFu) {
        writeFailure = kSwfFileTooLargeText;
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

void CSwfDefineSprite::AddTag(std::unique_ptr<CSwfTag> tag) {
    if (tag->IsShowFrame()) {
        ++frameCount;
    }
    tags.push_back(std::move(tag));
}

void CSwfDefineSprite::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(id);
    body.WriteU16(frameCount);
    for (const auto& tag : tags) {
        tag->Write(body);
    }
    body.WriteTagHeader(kTagEnd, 0);
    Emit(s, kTagDefineSprite, body);
}

} // namespace kestrova::swf
