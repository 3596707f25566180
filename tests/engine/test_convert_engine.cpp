// The driver, the movie builder and pictures: tag order, ids, geometry and the messages of the
// movies the engine writes, read back with the test-side reader.
#include "engine/convert_engine.h"

#include "engine_fixtures.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kestrova::test {

namespace {

using namespace enginetest;

TEST_F(EngineTest, SingleMovieHoldsTheListAndGivesTheLastEntryItsSize) {
    opts.outputMode = OutputSingle;
    rec.savePath = File("all.jpg"); // the save fix-up turns it into all.swf
    List list = Pictures(3);
    Convert(list);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::tuple(list[i].result, list[i].outputPath, list[i].convertedSize > 0),
                  std::tuple(1, File("all.swf"), i == 2));
    EXPECT_EQ(Parse(File("all.swf")).header.frameCount, 3);
    EXPECT_EQ(std::ranges::count(rec.events, "state Creating Movie file..."), 1);

    // No save path, or one too short: nothing but the end of the run.
    for (const char* path : {"", "x"}) {
        rec.events.clear();
        rec.savePath = path;
        Convert(list);
        EXPECT_EQ(rec.events, (std::vector<std::string>{"finished"}));
    }
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"Error, save path to short or not valid"}));
}

TEST_F(EngineTest, IndividualMoviesRestartIdsAndCountTheirOwnFrames) {
    opts.framesPerImage = 3;
    opts.blankFrameAtEnd = 1;
    List list = Pictures(2);
    Convert(list);
    for (int i = 0; i < 2; ++i) {
        swfread::Swf swf = Parse(list[i].outputPath);
        EXPECT_EQ(list[i].outputPath, File("p" + std::to_string(i + 1) + ".swf"));
        EXPECT_EQ(swf.header.frameCount, 4);
        for (uint16_t tag = 1; tag <= 3; ++tag)
            EXPECT_EQ(swf.tags[tag].body[0] | swf.tags[tag].body[1] << 8, tag) << "ids from 1";
        // The estimate covers everything before the closing frames and the End tag.
        EXPECT_EQ(list[i].convertedSize, static_cast<int>(swf.header.fileLength) - 4);
    }
    EXPECT_EQ(std::ranges::count(rec.events, "progress 1"), 6);
}

TEST_F(EngineTest, EveryOptionalPartInItsPlace) {
    opts.stopActionInFirstFrame = opts.blankFrameAtStart = opts.usePreloader = 1;
    opts.useLens = opts.blankFrameAtEnd = 1;
    opts.framesPerImage = 2;
    opts.preloadFraction = 12;
    ASSERT_EQ(ConvertOne(File("p1.bmp")), 1);
    EXPECT_EQ(CodesOf(File("p1.swf")),
              Concat({{SetBackgroundColor, DoAction, ShowFrame},
                      // preloader: test frame, picture frames, loop-back frame
                      {DoAction, ShowFrame},
                      kPicture,
                      {ShowFrame, ShowFrame, ShowFrame, RemoveObject2, DoAction, ShowFrame},
                      {DefineShape, DefineSprite, PlaceObject2}, // lens
                      kPicture,
                      {ShowFrame, ShowFrame, ShowFrame, DoAction, End}}));
    // Stop action first; the movie loops past the blank frame and the preloader, whose test
    // divides by the fraction. The other bytes are pinned by the golden output test.
    swfread::Swf swf = Parse(File("p1.swf"));
    EXPECT_EQ(swf.tags[1].body, (swfread::Bytes{0x07, 0x00}));
    EXPECT_EQ(swf.tags[swf.tags.size() - 2].body,
              (swfread::Bytes{0x81, 0x02, 0x00, 0x05, 0x00, 0x06, 0x00}));
    std::vector<swfread::ActionRecord> actions;
    ASSERT_TRUE(swfread::ParseDoAction(swf.tags[3], actions));
    EXPECT_EQ(actions[3].payload, (swfread::Bytes{0x00, '1', '2', 0x00}));
    EXPECT_TRUE(TempEmpty()) << "the built-in picture went with the run's folder";
}

TEST_F(EngineTest, PictureGeometryFollowsSizingAndPosition) {
    Made("pic.bmp", Bmp(100, 50));
    opts.imageX = opts.imageY = 10;
    opts.sizeToLargestImage = 1;
    opts.movieWidth = opts.movieHeight = 200;
    for (auto [sizing, scaleX, scaleY] :
         {std::tuple{SizingKeep, 0x140000, 0x140000}, {SizingStretch, 0x280000, 0x500000}}) {
        opts.imageSizing = sizing;
        ASSERT_EQ(ConvertOne(File("pic.bmp")), 1);
        swfread::Swf swf = Parse(File("pic.swf"));
        swfread::Shape shape;
        ASSERT_TRUE(swfread::ParseDefineShape(swf.tags[2], shape));
        const swfread::Matrix& m = shape.fillStyles.at(1).matrix;
        EXPECT_EQ(std::tuple(m.scaleX, m.scaleY, m.translateX), std::tuple(scaleX, scaleY, 200));
        // The frame is the picture's own size plus its position, whatever the sizing.
        EXPECT_EQ(std::pair(swf.header.frameSize.xMax, swf.header.frameSize.yMax),
                  std::pair(110 * 20, 60 * 20));
    }
}

// A file smaller than smallFileLimitKb * 1024 bytes takes the small-file pair, every other
// file the main pair; a limit of 0 turns the small-file pair off.
TEST_F(EngineTest, SmallFileSettingsApplyBelowTheLimit) {
    Format(FormatBmp).smallCompression = EncodeJpeg;
    List list = Pictures(1);
    for (auto [limitKb, size, code] : {std::tuple{5, 5 * 1024 - 1, DefineBitsJPEG2},
                                       {5, 5 * 1024, DefineBitsLossless},
                                       {1, 0, DefineBitsJPEG2},
                                       {0, 0, DefineBitsLossless}}) {
        Format(FormatBmp).smallFileLimitKb = limitKb;
        list[0].size = size;
        Convert(list);
        EXPECT_EQ(Parse(File("p1.swf")).tags[1].code, code) << limitKb << " " << size;
    }
}

// A failed entry writes nothing: an earlier movie of its name stays, a single movie is not
// written at all, and the next movie numbers its characters from 1 again.
TEST_F(EngineTest, FailingEntriesWriteNothing) {
    Made("broken.bmp", "echo BM not a picture >");
    Made("broken.swf", "echo earlier movie >");
    List list({File("broken.bmp"), File("p1.bmp")});
    Convert(list);
    EXPECT_EQ(std::pair(list[0].result, list[1].result), std::pair(0, 1));
    EXPECT_EQ(testutil::ReadFileText(File("broken.swf")), "earlier movie\n");
    EXPECT_EQ(CodesOf(File("p1.swf")), Concat({{SetBackgroundColor}, kPicture, {ShowFrame, End}}));

    opts.outputMode = OutputSingle;
    rec.savePath = File("all.swf");
    Convert(list);
    EXPECT_FALSE(std::filesystem::exists(File("all.swf")));
    EXPECT_EQ(list[1].result, 0) << "no entry is in a movie that was not written";
    EXPECT_EQ(rec.messages.back(), "Error, the movie " + File("all.swf") +
                                       " was not written "
                                       "because not every file could be converted.");

    // Without a temporary folder nothing is converted: one message, every entry failed.
    opts.outputMode = OutputIndividual;
    opts.tempDirectory = File("missing/");
    rec.events.clear();
    Convert(list);
    EXPECT_TRUE(rec.messages.back().starts_with("Error, unable to create a temporary folder in " +
                                                File("missing/") + ": No such file"));
    EXPECT_EQ(rec.events, std::vector<std::string>{"finished"});
    EXPECT_EQ(list[1].result, 0);
}

TEST_F(EngineTest, FrameLimitsAndOptionRangesStopTheMovieWithAMessage) {
    // framesPerImage, frameRate, blankFrameAtEnd, single, a fragment of one message, written
    const std::tuple<int, int, int, int, std::string, bool> cases[] = {
        {16001, 12, 0, 0, "has 16001 frames; players are documented to play 16000", true},
        {65535, 12, 1, 0, kSwfTooManyFramesText, false},
        {40000, 12, 0, 1, "p2.bmp would take the movie past 65535 frames", false},
        {1, 0, 0, 0, "nothing was converted: bad value \"0\" for frameRate (expected 1..120)",
         false},
    };
    rec.savePath = File("all.swf");
    for (const auto& [framesPerImage, frameRate, blankFrameAtEnd, single, message, written] :
         cases) {
        SCOPED_TRACE(message);
        std::tie(opts.framesPerImage, opts.frameRate, opts.blankFrameAtEnd) =
            std::tuple(framesPerImage, frameRate, blankFrameAtEnd);
        opts.outputMode = single ? OutputSingle : OutputIndividual;
        rec.messages.clear();
        std::filesystem::remove(File("p1.swf"));
        List list = Pictures(single ? 2 : 1);
        Convert(list);
        EXPECT_EQ(
            std::ranges::count_if(rec.messages, [&](auto& m) { return m.find(message) != m.npos; }),
            1);
        EXPECT_EQ(std::filesystem::exists(File(single ? "all.swf" : "p1.swf")), written);
        EXPECT_EQ(list[0].result, written ? 1 : 0);
        EXPECT_EQ(rec.events.back(), "finished");
    }
}

// Preparing touches no movie: entries prepared out of order append as the list says.
TEST_F(EngineTest, PreparedOutOfOrderAppendsInListOrder) {
    Format(FormatBmp).compression = EncodeJpeg;
    List list = Pictures(2);
    Convert(list);
    EntryContext context{.opts = opts, .tempFolder = temp.Path() + "/"};
    Notes notes;
    auto second = ConverterFor(KindStaticImage).Prepare(list[1], context, false, notes);
    auto first = ConverterFor(KindStaticImage).Prepare(list[0], context, false, notes);
    ASSERT_TRUE(first && second && notes.empty());
    MovieBuilder builder;
    builder.Begin(File("parts.swf"));
    OpenMovie(builder, context, true);
    ASSERT_TRUE((*first)->Append(builder, context));
    ASSERT_TRUE(builder.Finish(opts, notes));
    EXPECT_EQ(testutil::ReadFileBytes(File("parts.swf")), testutil::ReadFileBytes(File("p1.swf")));
}

} // namespace

} // namespace kestrova::test
