// The driver, the movie builder and pictures: tag order, ids, geometry and the messages of the
// movies the engine writes, read back with the test-side reader.
#include "engine/convert_engine.h"

#include "engine_fixtures.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace enginetest;

TEST_F(EngineTest, SingleMovieHoldsTheListAndGivesTheLastEntryItsSize) {
    opts.outputMode = OutputSingle;
    rec.savePath = dir / "all.jpg"; // the save fix-up turns it into all.swf
    List list(Pictures(3));
    Convert(list);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].result, 1);
        EXPECT_EQ(list[i].outputPath, dir / "all.swf");
        EXPECT_EQ(list[i].convertedSize > 0, i == 2) << i;
    }
    EXPECT_EQ(CodesOf(dir / "all.swf"), Concat({{SetBackgroundColor},
                                                kPicture,
                                                {ShowFrame, RemoveObject2},
                                                kPicture,
                                                {ShowFrame, RemoveObject2},
                                                kPicture,
                                                {ShowFrame, RemoveObject2, End}}));
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "state Creating Movie file..."), 1);

    // No save path, or one too short: nothing but the end of the run.
    for (const char* path : {"", "x"}) {
        rec.events.clear();
        rec.savePath = path;
        Convert(list);
        EXPECT_EQ(rec.events, (std::vector<std::string>{"finished"}));
    }
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"Error, save path to short or not valid"}));
}

TEST(SavePath, ExtensionFixUp) {
    for (auto [path, fixed] : {std::pair{"/m/clip.jpg", "/m/clip.swf"},
                               {"/m/c", "/m/c.swf"},
                               {"/m/c.SWF", "/m/c.SWF"},
                               {"/m/a.b", "/m/a.b.swf"}})
        EXPECT_EQ(FixSavePath(path), fixed);
    EXPECT_EQ(IndividualOutputPath("my.dir/.hidden"), "my.dir/.hidden.swf");
}

TEST_F(EngineTest, IndividualMoviesRestartIdsAndCountTheirOwnFrames) {
    opts.framesPerImage = 3;
    opts.blankFrameAtEnd = 1;
    List list(Pictures(2));
    Convert(list);
    for (int i = 0; i < 2; ++i) {
        std::string out = dir / ("p" + std::to_string(i + 1) + ".swf");
        EXPECT_EQ(list[i].outputPath, out);
        swfread::Swf swf = Parse(out);
        EXPECT_EQ(swf.header.frameCount, 4);
        for (uint16_t tag = 1; tag <= 3; ++tag)
            EXPECT_EQ(swf.tags[tag].body[0] | swf.tags[tag].body[1] << 8, tag) << "ids from 1";
        // The estimate covers everything before the closing frames and the End tag.
        EXPECT_EQ(list[i].convertedSize, static_cast<int>(swf.header.fileLength) - 4);
    }
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "progress 1"), 6);
}

TEST_F(EngineTest, EveryOptionalPartInItsPlace) {
    opts.stopActionInFirstFrame = opts.blankFrameAtStart = opts.usePreloader = 1;
    opts.useLens = opts.blankFrameAtEnd = 1;
    opts.framesPerImage = 2;
    opts.preloadFraction = 12;
    ASSERT_EQ(ConvertOne(dir / "p1.bmp"), 1);
    swfread::Swf swf = Parse(dir / "p1.swf");
    Codes codes;
    for (const Tag& t : swf.tags)
        codes.push_back(t.code);
    EXPECT_EQ(codes, Concat({{SetBackgroundColor, DoAction, ShowFrame},
                             // preloader: test frame, picture frames, loop-back frame
                             {DoAction, ShowFrame},
                             kPicture,
                             {ShowFrame, ShowFrame, ShowFrame, RemoveObject2, DoAction, ShowFrame},
                             // lens
                             {DefineShape, DefineSprite, PlaceObject2},
                             kPicture,
                             {ShowFrame, ShowFrame, ShowFrame, DoAction, End}}));
    // Stop action first; the movie loops past the blank frame and the preloader, whose test
    // divides by the fraction. The other bytes are pinned by the golden output test.
    EXPECT_EQ(swf.tags[1].body, (swfread::Bytes{0x07, 0x00}));
    EXPECT_EQ(swf.tags[swf.tags.size() - 2].body,
              (swfread::Bytes{0x81, 0x02, 0x00, 0x05, 0x00, 0x06, 0x00}));
    std::vector<swfread::ActionRecord> actions;
    ASSERT_TRUE(swfread::ParseDoAction(swf.tags[3], actions));
    EXPECT_EQ(actions[3].payload, (swfread::Bytes{0x00, '1', '2', 0x00}));
    EXPECT_EQ(swf.header.frameCount, 1 + 5 + 2 + 1);
    EXPECT_TRUE(TempFolderEmpty()) << "the built-in picture went with the run's folder";
}

TEST_F(EngineTest, PictureGeometryFollowsSizingAndPosition) {
    WriteBmp(dir / "pic.bmp", 100, 50);
    opts.imageX = opts.imageY = 10;
    opts.sizeToLargestImage = 1;
    opts.movieWidth = opts.movieHeight = 200;
    struct {
        int32_t sizing, scaleX, scaleY;
    } cases[] = {{SizingKeep, 0x140000, 0x140000}, {SizingStretch, 0x280000, 0x500000}};
    for (const auto& c : cases) {
        opts.imageSizing = c.sizing;
        ASSERT_EQ(ConvertOne(dir / "pic.bmp"), 1);
        swfread::Swf swf = Parse(dir / "pic.swf");
        swfread::Shape shape;
        ASSERT_TRUE(swfread::ParseDefineShape(swf.tags[2], shape));
        const swfread::Matrix& m = shape.fillStyles.at(1).matrix;
        EXPECT_EQ(std::tuple(m.scaleX, m.scaleY, m.translateX),
                  std::tuple(c.scaleX, c.scaleY, 200));
        // The frame is the picture's own size plus its position, whatever the sizing.
        EXPECT_EQ(std::tuple(swf.header.frameSize.xMax, swf.header.frameSize.yMax),
                  std::tuple(110 * 20, 60 * 20));
    }
}

// A file smaller than smallFileLimitKb * 1024 bytes takes the small-file pair, every other
// file the main pair; a limit of 0 turns the small-file pair off.
TEST_F(EngineTest, SmallFileSettingsApplyBelowTheLimit) {
    FormatOptions& bmp = Format(FormatBmp);
    bmp.smallCompression = EncodeJpeg;
    List list(Pictures(1));
    const struct {
        int limitKb, size;
        uint16_t code;
    } cases[] = {{5, 5 * 1024 - 1, DefineBitsJPEG2},
                 {5, 5 * 1024, DefineBitsLossless},
                 {1, 0, DefineBitsJPEG2},
                 {0, 0, DefineBitsLossless}};
    for (const auto& c : cases) {
        bmp.smallFileLimitKb = c.limitKb;
        list[0].size = c.size;
        Convert(list);
        EXPECT_EQ(Parse(dir / "p1.swf").tags[1].code, c.code) << c.limitKb << " " << c.size;
    }
    // The main quality reaches the picture: 5 and 100 give different JPEG data.
    bmp.compression = EncodeJpeg;
    std::vector<uint32_t> lengths;
    for (int quality : {5, 100}) {
        bmp.quality = quality;
        Convert(list);
        lengths.push_back(Parse(dir / "p1.swf").tags[1].length);
    }
    EXPECT_LT(lengths[0], lengths[1]);
}

// A failed entry writes nothing: an earlier movie of its name stays, a single movie is not
// written at all, and the next movie numbers its characters from 1 again.
TEST_F(EngineTest, FailingEntriesWriteNothing) {
    std::ofstream(dir / "broken.bmp") << "BM this is not a picture";
    std::ofstream(dir / "broken.swf") << "earlier movie";
    List list({dir / "broken.bmp", dir / "p1.bmp"});
    Convert(list);
    EXPECT_EQ(std::pair(list[0].result, list[1].result), std::pair(0, 1));
    EXPECT_EQ(testutil::ReadFileText(dir / "broken.swf"), "earlier movie");
    EXPECT_EQ(CodesOf(dir / "p1.swf"), Concat({{SetBackgroundColor}, kPicture, {ShowFrame, End}}));

    // In one movie for the list, a failed entry means no movie at all.
    opts.outputMode = OutputSingle;
    rec.savePath = dir / "all.swf";
    Convert(list);
    EXPECT_FALSE(std::filesystem::exists(dir / "all.swf"));
    EXPECT_EQ(list[1].result, 0) << "no entry is in a movie that was not written";
    EXPECT_EQ(rec.messages.back(), "Error, the movie " + dir / "all.swf" +
                                       " was not written because not every file could be "
                                       "converted.");

    // Without a temporary folder nothing is converted: one message, every entry failed.
    opts.outputMode = OutputIndividual;
    opts.tempDirectory = dir / "missing/";
    rec.messages.clear();
    rec.events.clear();
    Convert(list);
    EXPECT_EQ(rec.messages, std::vector<std::string>{"Error, unable to create a temporary folder "
                                                     "in " +
                                                     dir / "missing/" +
                                                     ": No such file or directory\nCheck the "
                                                     "temporary directory in the options."});
    EXPECT_EQ(rec.events, std::vector<std::string>{"finished"});
    EXPECT_EQ(list[1].result, 0);
}

TEST_F(EngineTest, FrameLimitsAndOptionRangesStopTheMovieWithAMessage) {
    struct Case {
        int framesPerImage, frameRate;
        bool blankFrameAtEnd, single;
        std::string message; // fragment of one message
        bool written;
    };
    const Case cases[] = {
        {16001, 12, false, false, "has 16001 frames; players are documented to play 16000", true},
        {65535, 12, true, false, kSwfTooManyFramesText, false},
        {40000, 12, false, true, "p2.bmp would take the movie past 65535 frames", false},
        {1, 0, false, false,
         "nothing was converted: bad value \"0\" for frameRate (expected 1..120)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        opts.framesPerImage = c.framesPerImage;
        opts.frameRate = c.frameRate;
        opts.blankFrameAtEnd = c.blankFrameAtEnd;
        opts.outputMode = c.single ? OutputSingle : OutputIndividual;
        rec.savePath = dir / "all.swf";
        rec.messages.clear();
        std::filesystem::remove(dir / "p1.swf");
        List list(Pictures(c.single ? 2 : 1));
        Convert(list);
        EXPECT_EQ(std::count_if(
                      rec.messages.begin(), rec.messages.end(),
                      [&](const std::string& m) { return m.find(c.message) != std::string::npos; }),
                  1);
        EXPECT_EQ(std::filesystem::exists(dir / (c.single ? "all.swf" : "p1.swf")), c.written);
        EXPECT_EQ(list[0].result, c.written ? 1 : 0);
        EXPECT_EQ(rec.events.back(), "finished");
    }
}

// Preparing touches no movie: entries prepared out of order append as the list says.
TEST_F(EngineTest, PreparedOutOfOrderAppendsInListOrder) {
    Format(FormatBmp).compression = EncodeJpeg;
    List list(Pictures(2));
    Convert(list);
    const std::vector<uint8_t> expected = testutil::ReadFileBytes(dir / "p1.swf");
    EntryContext context{.opts = opts, .tempFolder = temp.Path() + "/"};
    const EntryConverter& pictures = ConverterFor(KindStaticImage);
    Notes notes;
    auto second = pictures.Prepare(list[1], context, false, notes);
    auto first = pictures.Prepare(list[0], context, false, notes);
    ASSERT_TRUE(first && second && notes.empty());
    MovieBuilder builder;
    builder.Begin(dir / "parts.swf");
    OpenMovie(builder, context, true);
    ASSERT_TRUE((*first)->Append(builder, context));
    std::vector<ConvertError> warnings;
    ASSERT_TRUE(builder.Finish(opts, warnings));
    EXPECT_EQ(testutil::ReadFileBytes(dir / "parts.swf"), expected);
}

} // namespace
