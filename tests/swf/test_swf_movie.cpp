// Movie model: id registry, frame counting, sprites, and the file container.
#include "swf/swf_shapes.h"
#include "swf/swf_tag.h"

#include "support/swf_reader.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;
using testutil::ReadFileBytes;
using testutil::TempDir;

TEST(SwfIds, ReleasedNewestIdIsReusedOthersOnlyBySearch) {
    ClearIds();
    for (int i = 0; i < 5; ++i) {
        AllocateId();
    }
    ReleaseId(5);
    EXPECT_EQ(AllocateId(), 5);
    ReleaseId(2);
    EXPECT_EQ(AllocateId(), 6);
    EXPECT_FALSE(IsIdInUse(2));
}

TEST(SwfIds, PastSixteenThousandTheSmallestFreeIdIsUsedAndMarked) {
    ClearIds();
    for (int i = 1; i <= 16000; ++i) {
        ASSERT_EQ(AllocateId(), i);
    }
    ReleaseId(7);
    ReleaseId(3);
    EXPECT_EQ(AllocateId(), 3);
    EXPECT_EQ(AllocateId(), 7);
    EXPECT_EQ(AllocateId(), 16001);
    EXPECT_EQ(AllocateId(), 16002);
}

TEST(SwfIds, NeverHandsOutAnIdTwiceAndReportsExhaustion) {
    ClearIds();
    std::set<uint16_t> seen;
    for (int i = 0; i < 65535; ++i) {
        uint16_t id = AllocateId();
        ASSERT_NE(id, 0) << "at allocation " << i;
        ASSERT_TRUE(seen.insert(id).second) << "id " << id << " twice";
    }
    EXPECT_EQ(AllocateId(), 0);
    CSwfDefineSprite tooMany;
    EXPECT_TRUE(tooMany.HasFailed());
    EXPECT_STREQ(tooMany.FailureText(), kSwfIdsExhaustedText);
    ClearIds();
}

TEST(SwfMovie, CountsShowFramesAndKeepsFreedIdsInUse) {
    CSwfMovie movie;
    CSwfDefineSprite* sprite = new CSwfDefineSprite;
    uint16_t id = sprite->GetId();
    movie.AddTag(sprite);
    for (int i = 0; i < 3; ++i) {
        movie.AddTag(new CSwfShowFrame);
    }
    movie.AddTag(new CSwfFreeCharacter(id));
    EXPECT_EQ(movie.GetFrameCount(), 3u);
    EXPECT_TRUE(IsIdInUse(id)) << "a freed id must not be defined again in the same file";
    EXPECT_EQ(AllocateId(), id + 1);
    movie.DeleteTags();
    EXPECT_EQ(movie.GetFrameCount(), 3u) << "DeleteTags keeps the frame count";
    movie.ResetFrameCount();
    EXPECT_EQ(movie.GetFrameCount(), 0u);
}

TEST(SwfMovie, SpriteWritesItsOwnFrameCountAndEndTag) {
    CSwfMovie movie;
    CSwfDefineSprite* sprite = new CSwfDefineSprite;
    sprite->AddTag(new CSwfShowFrame);
    sprite->AddTag(new CSwfShowFrame);
    movie.AddTag(sprite);
    EXPECT_EQ(movie.GetFrameCount(), 0u);
    CSwfStream s;
    sprite->Write(s);
    // header (39 << 6 | 10), id 1, frames 2, two ShowFrames, End
    EXPECT_EQ(s.Bytes(), (Bytes{0xCA, 0x09, 1, 0, 2, 0, 0x40, 0, 0x40, 0, 0, 0}));
}

TEST(SwfMovie, EmptyMovieIsTwentyThreeBytes) {
    TempDir dir;
    CSwfMovie movie;
    EXPECT_EQ(movie.EstimateSize(), 21u);
    std::string path = dir.File("empty.swf");
    ASSERT_EQ(movie.WriteFile(path.c_str(), 11000, 8000, 12), 1);
    // Signature, version, length, 15-bit RECT, rate 12.0, 0 frames, End.
    EXPECT_EQ(ReadFileBytes(path),
              (Bytes{'F',  'W',  'S',  5,    23,   0, 0,  0, 0x78, 0x00, 0x05, 0x5F,
                     0x00, 0x00, 0x0F, 0xA0, 0x00, 0, 12, 0, 0,    0,    0}));
}

TEST(SwfMovie, HeaderGrowsWithTheFrameSizeAndLengthStaysExact) {
    TempDir dir;
    std::string path = dir.File("sized.swf");
    for (int pixels : {1, 100, 1637, 1638, 1639, 3276, 3277, 6553, 6554, 10000}) {
        CSwfMovie movie;
        movie.AddTag(new CSwfShowFrame);
        movie.AddTag(new CSwfShowFrame);
        ASSERT_EQ(movie.WriteFile(path.c_str(), pixels * 20, pixels * 20, 25), 1);
        swfread::Swf swf; // checks the length field and the End tag at the very end
        std::string error;
        ASSERT_TRUE(swfread::ParseSwfFile(path, swf, &error)) << pixels << ": " << error;
        EXPECT_EQ(swf.header.frameSize.xMax, pixels * 20) << pixels;
        EXPECT_EQ(swf.header.frameSize.yMax, pixels * 20) << pixels;
        EXPECT_EQ(swf.header.frameSize.nBits, std::max(15u, SignedBits(pixels * 20, 0))) << pixels;
        EXPECT_EQ(swf.header.frameRate8_8, 25 << 8);
        EXPECT_EQ(swf.header.frameCount, 2);
        ASSERT_EQ(swf.tags.size(), 3u);
        EXPECT_EQ(swf.tags[1].code, 1);
    }
}

TEST(SwfMovie, WriteClearsIdsAndKeepsTags) {
    TempDir dir;
    CSwfMovie movie;
    movie.AddTag(new CSwfDefineSprite);
    ASSERT_EQ(movie.WriteFile(dir.File("ids.swf").c_str(), 20, 20, 1), 1);
    EXPECT_EQ(movie.Tags().size(), 1u);
    CSwfDefineSprite next;
    EXPECT_EQ(next.GetId(), 1);
    EXPECT_EQ(movie.EstimateSize(), 21u + 2 + 4 + 2);
}

TEST(SwfMovie, FailedWriteLeavesEarlierFileUntouched) {
    TempDir dir;
    std::string path = dir.File("keep.swf");
    { std::ofstream(path) << "earlier movie"; }
    CSwfMovie movie;
    movie.AddTag(new CSwfShowFrame);
    // A path whose folder does not exist cannot be created.
    EXPECT_EQ(movie.WriteFile(dir.File("missing/x.swf").c_str(), 20, 20, 1), 0);
    // A movie with a failed character is refused and nothing is replaced.
    ClearIds();
    for (int i = 0; i < 65535; ++i) {
        AllocateId();
    }
    movie.AddTag(new CSwfDefineSprite);
    EXPECT_EQ(movie.FailureText(), kSwfIdsExhaustedText);
    EXPECT_EQ(movie.WriteFile(path.c_str(), 20, 20, 1), 0);
    Bytes b = ReadFileBytes(path);
    EXPECT_EQ(std::string(b.begin(), b.end()), "earlier movie");
    // No temporary file is left beside the target.
    auto files = std::filesystem::directory_iterator(dir.Path());
    EXPECT_EQ(std::distance(begin(files), end(files)), 1);
}

TEST(SwfMovie, WhatTheHeaderCannotHoldIsRefusedAndNothingWritten) {
    TempDir dir;
    struct Case {
        uint32_t frames;
        int32_t widthTwips;
        int32_t moveTwips; // a shape position
        const char* failure;
    };
    const Case cases[] = {
        {65535, 4000, 0, ""},
        {65536, 4000, 0, kSwfTooManyFramesText},
        {1, INT32_MAX, 0, kSwfFrameTooLargeText},
        {1, 4000, INT32_MIN, kSwfValueTooLargeText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        std::string path = dir.File("m.swf");
        std::filesystem::remove(path);
        CSwfMovie movie;
        for (uint32_t i = 0; i < c.frames; ++i) {
            movie.AddTag(new CSwfShowFrame);
        }
        auto* shape = new CSwfDefineShape(new CSwfRect(0, 0, 20, 20));
        shape->EndStyles();
        shape->AddRecord(new CSwfStyleChangeRecord(false, false, false, false, true, c.moveTwips, 0,
                                                   0, 0, 0, nullptr, nullptr));
        shape->AddRecord(new CSwfEndShapeRecord);
        movie.AddTag(shape);
        bool fits = c.failure[0] == '\0';
        EXPECT_EQ(movie.WriteFile(path.c_str(), c.widthTwips, 4000, 12), fits ? 1 : 0);
        EXPECT_EQ(movie.FailureText(), c.failure);
        EXPECT_EQ(std::filesystem::exists(path), fits);
    }
}

TEST(SwfMovie, WriteErrorOnFullDeviceReturnsZero) {
    if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full";
    }
    // Writing through the rename path cannot target /dev/full itself; instead, a stream
    // written to /dev/full must report the error the movie relies on.
    static uint8_t big[1 << 16];
    CSwfStream s;
    s.AppendBlock(big, sizeof big);
    FILE* full = fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    setvbuf(full, nullptr, _IONBF, 0);
    EXPECT_EQ(s.WriteTo(full), 0);
    fclose(full);
}

} // namespace
