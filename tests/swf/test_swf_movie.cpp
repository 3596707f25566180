// Movie model: id registry, frame counting, sprites, and the file container.
#include "swf/swf_tag.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

class Dir {
public:
    Dir() {
        char pattern[] = "/tmp/kestrova-movie-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~Dir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32At(const Bytes& b, size_t i) {
    return b[i] | b[i + 1] << 8 | b[i + 2] << 16 | static_cast<uint32_t>(b[i + 3]) << 24;
}

// Reads the frame RECT back bit by bit: returns {nbits, xmax, ymax, bytes used}.
struct RectInfo {
    uint32_t nBits, xMax, yMax, size;
};
RectInfo ReadRect(const Bytes& b, size_t at) {
    size_t bit = at * 8;
    auto take = [&](uint32_t n) {
        uint32_t v = 0;
        for (uint32_t i = 0; i < n; ++i, ++bit) {
            v = v << 1 | ((b[bit / 8] >> (7 - bit % 8)) & 1);
        }
        return v;
    };
    RectInfo r{};
    r.nBits = take(5);
    take(r.nBits);
    r.xMax = take(r.nBits);
    take(r.nBits);
    r.yMax = take(r.nBits);
    r.size = static_cast<uint32_t>((bit + 7) / 8 - at);
    return r;
}

TEST(SwfIds, CountUpFromOneAndRestartPerMovie) {
    CSwfMovie movie;
    CSwfDefineSprite a, b, c;
    EXPECT_EQ(a.GetId(), 1);
    EXPECT_EQ(b.GetId(), 2);
    EXPECT_EQ(c.GetId(), 3);
    CSwfMovie next; // a new movie clears the registry
    CSwfDefineSprite d;
    EXPECT_EQ(d.GetId(), 1);
}

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
    Dir dir;
    CSwfMovie movie;
    EXPECT_EQ(movie.EstimateSize(), 21u);
    std::string path = dir.path + "/empty.swf";
    ASSERT_EQ(movie.WriteFile(path.c_str(), 11000, 8000, 12), 1);
    Bytes b = ReadAll(path);
    ASSERT_EQ(b.size(), 23u);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{'F', 'W', 'S', 5}));
    EXPECT_EQ(U32At(b, 4), 23u);
    EXPECT_EQ(b[17], 0);
    EXPECT_EQ(b[18], 12);
    EXPECT_EQ(b[19], 0);
    EXPECT_EQ(b[20], 0);
    EXPECT_EQ(b[21], 0);
    EXPECT_EQ(b[22], 0);
}

TEST(SwfMovie, HeaderGrowsWithTheFrameSizeAndLengthStaysExact) {
    Dir dir;
    std::string path = dir.path + "/sized.swf";
    for (int pixels : {1, 100, 1637, 1638, 1639, 3276, 3277, 6553, 6554, 10000}) {
        CSwfMovie movie;
        movie.AddTag(new CSwfShowFrame);
        movie.AddTag(new CSwfShowFrame);
        ASSERT_EQ(movie.WriteFile(path.c_str(), pixels * 20, pixels * 20, 25), 1);
        Bytes b = ReadAll(path);
        RectInfo r = ReadRect(b, 8);
        EXPECT_EQ(r.xMax, static_cast<uint32_t>(pixels * 20)) << pixels;
        EXPECT_EQ(r.yMax, static_cast<uint32_t>(pixels * 20)) << pixels;
        EXPECT_EQ(r.nBits, std::max(15u, SignedBits(pixels * 20, 0))) << pixels;
        size_t header = 8 + r.size + 4;
        EXPECT_EQ(header, pixels * 20 < 32768 ? 21u : 8 + r.size + 4u);
        ASSERT_EQ(b.size(), header + 2 + 2 + 2) << pixels;
        EXPECT_EQ(U32At(b, 4), b.size()) << pixels;
        EXPECT_EQ(b[8 + r.size + 1], 25) << "frame rate";
        EXPECT_EQ(b[8 + r.size + 2], 2) << "frame count";
        EXPECT_EQ(b[header], 0x40); // ShowFrame
        EXPECT_EQ(b[header + 2], 0x40);
        EXPECT_EQ(b[header + 4], 0x00); // End
        EXPECT_EQ(b[header + 5], 0x00);
    }
}

TEST(SwfMovie, WriteClearsIdsAndKeepsTags) {
    Dir dir;
    CSwfMovie movie;
    movie.AddTag(new CSwfDefineSprite);
    std::string path = dir.path + "/ids.swf";
    ASSERT_EQ(movie.WriteFile(path.c_str(), 20, 20, 1), 1);
    EXPECT_EQ(movie.Tags().size(), 1u);
    CSwfDefineSprite next;
    EXPECT_EQ(next.GetId(), 1);
    EXPECT_EQ(movie.EstimateSize(), 21u + 2 + 4 + 2);
}

TEST(SwfMovie, FailedWriteLeavesEarlierFileUntouched) {
    Dir dir;
    std::string path = dir.path + "/keep.swf";
    { std::ofstream(path) << "earlier movie"; }
    CSwfMovie movie;
    movie.AddTag(new CSwfShowFrame);
    // A path whose folder does not exist cannot be created.
    EXPECT_EQ(movie.WriteFile((dir.path + "/missing/x.swf").c_str(), 20, 20, 1), 0);
    // A movie with a failed character is refused and nothing is replaced.
    ClearIds();
    for (int i = 0; i < 65535; ++i) {
        AllocateId();
    }
    movie.AddTag(new CSwfDefineSprite);
    EXPECT_EQ(movie.FailureText(), kSwfIdsExhaustedText);
    EXPECT_EQ(movie.WriteFile(path.c_str(), 20, 20, 1), 0);
    Bytes b = ReadAll(path);
    EXPECT_EQ(std::string(b.begin(), b.end()), "earlier movie");
    // No temporary file is left beside the target.
    EXPECT_EQ(std::system(("test $(ls -A '" + dir.path + "' | wc -l) -eq 1").c_str()), 0);
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
