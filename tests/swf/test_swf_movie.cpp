// Movie model: character ids, frame counting, sprites, and the file container.
#include "swf/swf_shapes.h"
#include "swf/swf_tag.h"

#include "support/swf_reader.h"
#include "support/test_util.h"
#include "swf_test_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::test {

namespace {

using swftest::Bytes;
using testutil::ReadFileBytes;
using testutil::TempDir;

TEST(SwfIds, CountFromTheNewestThenTakeTheSmallestFree) {
    CSwfIdAllocator ids;
    for (int i = 1; i <= 5; ++i) {
        ASSERT_EQ(ids.New(), i);
    }
    ids.Release(5);
    EXPECT_EQ(ids.New(), 5);
    ids.Release(2);
    for (int i = 6; i <= 16000; ++i) {
        ASSERT_EQ(ids.New(), i) << "below 16000 a free id is not searched for";
    }
    // The smallest free id, then the one past the last in use; released ids come back first.
    EXPECT_EQ((std::tuple{ids.New(), ids.New()}), std::tuple(2, 16001));
    ids.Release(7);
    ids.Release(3);
    EXPECT_EQ((std::tuple{ids.New(), ids.New(), ids.New()}), std::tuple(3, 7, 16002));
    for (int i = 16003; i <= 65535; ++i) {
        ASSERT_EQ(ids.New(), i);
    }
    EXPECT_EQ(ids.New(), 0) << "all ids in use";
}

// A shape of its own, placed and shown: one picture of a movie.
void AddPicture(CSwfMovie& movie, int32_t size) {
    const uint16_t id = movie.NewId();
    auto shape = std::make_unique<CSwfDefineShape>(id, CSwfRect(0, 0, size, size));
    shape->AddRecord(CSwfEndShapeRecord{});
    movie.AddTag(std::move(shape));
    movie.AddTag(std::make_unique<CSwfPlaceObject2>(CSwfPlacement{.depth = 1, .characterId = id}));
    movie.AddTag(std::make_unique<CSwfShowFrame>());
}

// The file written, checked by the reader (its length field, the End tag at its very end).
Bytes Written(CSwfMovie& movie, const std::string& path, int32_t width = 11000) {
    EXPECT_EQ(movie.WriteFile(path.c_str(), width, 8000, 12), 1);
    swfread::Swf swf;
    std::string error;
    EXPECT_TRUE(swfread::ParseSwfFile(path, swf, &error)) << error;
    EXPECT_EQ(swf.header.frameSize.xMax, width);
    return ReadFileBytes(path);
}

TEST(SwfMovie, TwoMoviesBuiltAtOnceMatchEachBuiltAlone) {
    TempDir dir;
    CSwfMovie alone[2], together[2];
    for (int i = 0; i < 6; ++i) {
        AddPicture(alone[i / 3], 100 * (i / 3) + i % 3);    // one movie, then the other
        AddPicture(together[i % 2], 100 * (i % 2) + i / 2); // both at once
    }
    for (int m = 0; m < 2; ++m) {
        EXPECT_EQ(Written(together[m], dir.File("t"), 70000),
                  Written(alone[m], dir.File("a"), 70000));
    }
}

// Frames are counted until the movie is cleared, ids stay taken until then (a freed
// character's too); an empty movie is 23 bytes.
TEST(SwfMovie, FramesIdsAndTheEmptyMovie) {
    TempDir dir;
    CSwfMovie movie;
    EXPECT_EQ(movie.EstimateSize(), 21u);
    // Signature, version, length, 15-bit RECT, rate 12.0, 0 frames, End.
    EXPECT_EQ(Written(movie, dir.File("empty.swf")),
              (Bytes{'F',  'W',  'S',  5,    23,   0, 0,  0, 0x78, 0x00, 0x05, 0x5F,
                     0x00, 0x00, 0x0F, 0xA0, 0x00, 0, 12, 0, 0,    0,    0}));
    AddPicture(movie, 20);
    AddPicture(movie, 20);
    movie.AddTag(std::make_unique<CSwfFreeCharacter>(1));
    EXPECT_EQ(std::tuple(movie.GetFrameCount(), movie.NewId()), std::tuple(2u, 3));
    movie.DeleteTags();
    EXPECT_EQ(std::tuple(movie.GetFrameCount(), movie.Tags().size()), std::tuple(2u, size_t{0}));
    movie.Clear();
    EXPECT_EQ(std::tuple(movie.GetFrameCount(), movie.NewId()), std::tuple(0u, 1));
}

// A tag whose body is a 2 GB block of a file that is never read: the movie is refused first.
struct TwoGigabyteTag : CSwfTag {
    void Write(CSwfStream& s) const override {
        CSwfStream body;
        body.AppendFileBlock("/nonexistent/block", 0x80000000u);
        Emit(s, 77, body);
    }
};

TEST(SwfMovie, WhatCannotBeWrittenLeavesTheEarlierFileAlone) {
    TempDir dir;
    struct Case {
        uint32_t frames;
        int32_t widthTwips;
        int32_t moveTwips; // a shape position
        int hugeTags;      // 2 GB each
        const char* failure;
    } cases[] = {
        {65535, 4000, 0, 0, ""},
        {65536, 4000, 0, 0, kSwfTooManyFramesText},
        {1, INT32_MAX, 0, 0, kSwfFrameTooLargeText},
        {1, 4000, INT32_MIN, 0, kSwfValueTooLargeText},
        {1, 4000, 0, 2, kSwfFileTooLargeText},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File(std::to_string(&c - cases));
        ASSERT_TRUE(testutil::WriteFileBytes(path, {'e'}));
        CSwfMovie movie;
        for (uint32_t i = 0; i < c.frames; ++i) {
            movie.AddTag(std::make_unique<CSwfShowFrame>());
        }
        auto shape = std::make_unique<CSwfDefineShape>(1, CSwfRect(0, 0, 20, 20));
        shape->AddRecord(
            CSwfStyleChangeRecord{.moveTo = CSwfStyleChangeRecord::Point{c.moveTwips, 0}});
        movie.AddTag(std::move(shape));
        for (int i = 0; i < c.hugeTags; ++i) {
            movie.AddTag(std::make_unique<TwoGigabyteTag>());
        }
        const bool fits = c.failure[0] == '\0';
        EXPECT_EQ(movie.WriteFile(path.c_str(), c.widthTwips, 4000, 12), fits ? 1 : 0);
        EXPECT_EQ(movie.FailureText(), c.failure) << &c - cases;
        EXPECT_EQ(ReadFileBytes(path).size() > 1, fits);
        auto files = std::filesystem::directory_iterator(dir.Path());
        EXPECT_EQ(std::distance(begin(files), end(files)), &c - cases + 1) << "no temporary file";
    }
}

} // namespace

} // namespace kestrova::test
