// The conversion driver, pictures and preloader: tag order, ids and geometry of the movies the
// engine writes, decoded with the test-side reader. (The window's tests check the notifications.)
#include "engine/convert_engine.h"

#include "engine_fixtures.h"
#include "support/swf_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

using namespace enginetest;

// The single movie's tags and geometry are checked through the command line; here the list's
// results: only the last entry gets the movie's size, and the movie is made once.
TEST_F(EngineTest, SingleMovieOfThreePicturesGivesEveryEntryTheMovie) {
    opts.outputMode = OutputSingle;
    rec.savePath = dir / "all.jpg"; // the save fix-up turns it into all.swf
    List list(Pictures(3));
    Convert(engine, rec, list, opts);
    EXPECT_EQ(list[0].convertedSize, -1);
    EXPECT_EQ(list[1].convertedSize, -1);
    EXPECT_GT(list[2].convertedSize, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].result, 1);
        EXPECT_EQ(list[i].outputPath, dir / "all.swf");
    }
    EXPECT_EQ(Parse(dir / "all.swf").header.frameCount, 3);
    EXPECT_EQ(rec.events.back(), "finished");
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "state Creating Movie file..."), 1);
}

TEST_F(EngineTest, SingleMovieOfOneEntryKeepsItsPicture) {
    opts.outputMode = OutputSingle;
    rec.savePath = dir / "one";
    List list(Pictures(1));
    Convert(engine, rec, list, opts);
    EXPECT_EQ(Codes(Parse(dir / "one.swf")),
              Concat({{SetBackgroundColor}, kPicture, {ShowFrame, End}}));
}

TEST_F(EngineTest, CancelledSaveDialogOnlyFinishes) {
    opts.outputMode = OutputSingle;
    List list(Pictures(1));
    Convert(engine, rec, list, opts);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"finished"}));

    rec.events.clear();
    rec.savePath = "x";
    Convert(engine, rec, list, opts);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"finished"}));
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"Error, save path to short or not valid"}));
}

TEST(SavePath, ExtensionFixUp) {
    EXPECT_EQ(FixSavePath("/m/clip.jpg"), "/m/clip.swf");
    EXPECT_EQ(FixSavePath("/m/clip"), "/m/clip.swf");
    EXPECT_EQ(FixSavePath("/m/clip.SWF"), "/m/clip.SWF");
    EXPECT_EQ(FixSavePath("/m/a.b"), "/m/a.b.swf");
    EXPECT_EQ(IndividualOutputPath("/a/b.bmp"), "/a/b.swf");
    EXPECT_EQ(IndividualOutputPath("/a/b.c.tiff"), "/a/b.c.swf");
    // Only the file name's extension counts: a dot in a folder name stays.
    EXPECT_EQ(IndividualOutputPath("my.dir/picture"), "my.dir/picture.swf");
    EXPECT_EQ(IndividualOutputPath("my.dir/.hidden"), "my.dir/.hidden.swf");
    EXPECT_EQ(FixSavePath("out.d/m"), "out.d/m.swf");
}

TEST_F(EngineTest, IndividualMoviesRestartIdsAndCountTheirOwnFrames) {
    opts.framesPerImage = 3;
    opts.blankFrameAtEnd = 1;
    List list(Pictures(2));
    Convert(engine, rec, list, opts);
    for (int i = 0; i < 2; ++i) {
        std::string out = dir / ("p" + std::to_string(i + 1) + ".swf");
        EXPECT_EQ(list[i].outputPath, out);
        EXPECT_EQ(list[i].result, 1);
        swfread::Swf swf = Parse(out);
        EXPECT_EQ(swf.header.frameCount, 4);
        EXPECT_EQ(U16(swf.tags[1].body, 0), 1) << "bitmap id restarts at 1";
        EXPECT_EQ(U16(swf.tags[2].body, 0), 2);
        EXPECT_EQ(U16(swf.tags[3].body, 0), 3);
        // The estimate covers everything before the closing frames and the End tag.
        EXPECT_EQ(list[i].convertedSize, static_cast<int>(swf.header.fileLength) - 2 - 2);
    }
}

TEST_F(EngineTest, EveryOptionalPartInItsPlace) {
    opts.stopActionInFirstFrame = 1;
    opts.blankFrameAtStart = 1;
    opts.usePreloader = 1;
    opts.useLens = 1;
    opts.blankFrameAtEnd = 1;
    opts.loopMovie = 1;
    opts.framesPerImage = 2;
    List list(Pictures(1));
    Convert(engine, rec, list, opts);
    swfread::Swf swf = Parse(dir / "p1.swf");
    EXPECT_EQ(Codes(swf),
              Concat({{SetBackgroundColor, DoAction, ShowFrame},
                      // preloader: test frame, picture frames, loop-back frame
                      {DoAction, ShowFrame},
                      kPicture,
                      {ShowFrame, ShowFrame, ShowFrame, RemoveObject2, DoAction, ShowFrame},
                      // lens
                      {DefineShape, DefineSprite, PlaceObject2},
                      kPicture,
                      {ShowFrame, ShowFrame, ShowFrame, DoAction, End}}));
    // Stop action first; the movie loops past the blank frame and the preloader. The preloader's
    // and the lens's own bytes are pinned by the golden output test.
    EXPECT_EQ(swf.tags[1].body, (swfread::Bytes{0x07, 0x00}));
    EXPECT_EQ(swf.tags[swf.tags.size() - 2].body,
              (swfread::Bytes{0x81, 0x02, 0x00, 0x05, 0x00, 0x06, 0x00}));
    EXPECT_EQ(swf.header.frameCount, 1 + 5 + 2 + 1);
}

TEST_F(EngineTest, PreloaderFractionAndBuiltInPicture) {
    opts.usePreloader = 1;
    opts.preloadFraction = 12;
    List list(Pictures(1));
    Convert(engine, rec, list, opts);
    swfread::Swf swf = Parse(dir / "p1.swf");
    std::vector<swfread::ActionRecord> actions;
    ASSERT_TRUE(swfread::ParseDoAction(swf.tags[1], actions));
    ASSERT_EQ(actions.size(), 8u);
    EXPECT_EQ(actions[3].payload, (swfread::Bytes{0x00, '1', '2', 0x00}));
    // The built-in picture was written for decoding into the run's private folder, which went
    // with the run (its movie bytes are in the golden test).
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_FALSE(entry.is_directory()) << entry.path();
    }
}

TEST_F(EngineTest, LowerCaseInternalIsAFileName) {
    opts.usePreloader = 1;
    opts.preloaderImage = "internal";
    List list(Pictures(1));
    Convert(engine, rec, list, opts);
    EXPECT_EQ(rec.messages,
              (std::vector<std::string>{"Error, Unknown/supported File Format\n\ninternal"}));
    EXPECT_EQ(list[0].result, 1);
    EXPECT_NE(access((dir / "preload.bmp").c_str(), F_OK), 0);

    // A folder named as the picture is refused before it is opened.
    std::filesystem::create_directory(dir / "folder.bmp");
    opts.preloaderImage = dir / "folder.bmp";
    rec.messages.clear();
    Convert(engine, rec, list, opts);
    EXPECT_EQ(rec.messages,
              (std::vector<std::string>{"Error, " + dir / "folder.bmp" +
                                        " is a folder, not a regular file; only regular files "
                                        "are converted."}));
}

TEST_F(EngineTest, PictureGeometryFollowsSizingAndPosition) {
    WriteBmp(dir / "pic.bmp", 100, 50);
    opts.imageX = 10;
    opts.imageY = 10;
    opts.sizeToLargestImage = 1;
    List list({dir / "pic.bmp"});
    Convert(engine, rec, list, opts);
    swfread::Swf swf = Parse(dir / "pic.swf");
    swfread::Shape shape;
    ASSERT_TRUE(swfread::ParseDefineShape(swf.tags[2], shape));
    const swfread::Rect& b = shape.bounds;
    EXPECT_EQ(std::tuple(b.xMin, b.yMin, b.xMax, b.yMax), std::tuple(200, 200, 2200, 1200));
    ASSERT_EQ(shape.fillStyles.size(), 2u);
    const swfread::Matrix& m = shape.fillStyles[1].matrix;
    EXPECT_EQ(std::tuple(m.scaleX, m.scaleY, m.translateX), std::tuple(0x140000, 0x140000, 200));
    ASSERT_EQ(shape.records.size(), 6u);
    EXPECT_EQ(std::tuple(shape.records[0].moveX, shape.records[0].moveY, shape.records[1].dx,
                         shape.records[2].dy),
              std::tuple(2200, 1200, -2000, -1000));
    // The frame is the picture's own size plus its position.
    EXPECT_EQ(swf.header.frameSize.xMax, 110 * 20);
    EXPECT_EQ(swf.header.frameSize.yMax, 60 * 20);

    opts.imageSizing = SizingStretch;
    opts.movieWidth = 200;
    opts.movieHeight = 200;
    Convert(engine, rec, list, opts);
    swf = Parse(dir / "pic.swf");
    ASSERT_TRUE(swfread::ParseDefineShape(swf.tags[2], shape));
    EXPECT_EQ(shape.fillStyles[1].matrix.scaleX, 0x280000);
    EXPECT_EQ(shape.fillStyles[1].matrix.scaleY, 0x500000);
    EXPECT_EQ(swf.header.frameSize.xMax, 110 * 20) << "largest size uses the picture's own";
}

// A file smaller than smallFileLimitKb * 1024 bytes takes the small-file pair, every other
// file the main pair; a limit of 0 turns the small-file pair off.
TEST_F(EngineTest, SmallFileSettingsApplyBelowTheLimit) {
    FormatOptions& bmp = opts.formats[opts.FindFormat(FormatBmp)];
    bmp.compression = EncodeLossless;
    bmp.smallCompression = EncodeJpeg;
    List list(Pictures(1));
    const struct {
        int limitKb, size;
        uint16_t code;
    } cases[] = {
        {5, 5 * 1024 - 1, DefineBitsJPEG2},
        {5, 5 * 1024, DefineBitsLossless},
        {1, 0, DefineBitsJPEG2},
        {0, 0, DefineBitsLossless},
    };
    for (const auto& c : cases) {
        bmp.smallFileLimitKb = c.limitKb;
        list[0].size = c.size;
        Convert(engine, rec, list, opts);
        EXPECT_EQ(Parse(dir / "p1.swf").tags[1].code, c.code) << c.limitKb << " " << c.size;
    }
    // The main quality reaches the picture: 5 and 100 give different JPEG data.
    bmp.compression = EncodeJpeg;
    bmp.smallFileLimitKb = 0;
    std::vector<uint32_t> lengths;
    for (int quality : {5, 100}) {
        bmp.quality = quality;
        Convert(engine, rec, list, opts);
        lengths.push_back(Parse(dir / "p1.swf").tags[1].length);
    }
    EXPECT_LT(lengths[0], lengths[1]);
}

// Without a temporary folder nothing is converted: one message, every entry failed.
TEST_F(EngineTest, MissingTemporaryDirectoryFailsTheRun) {
    opts.tempDirectory = dir / "missing/";
    List list(Pictures(2));
    Convert(engine, rec, list, opts);
    EXPECT_EQ(rec.messages, std::vector<std::string>{"Error, unable to create a temporary folder "
                                                     "in " +
                                                     dir / "missing/" +
                                                     ": No such file or directory\nCheck the "
                                                     "temporary directory in the options."});
    EXPECT_EQ(rec.events, std::vector<std::string>{"finished"});
    EXPECT_EQ(list[0].result + list[1].result, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "p1.swf"));
}

TEST_F(EngineTest, FailingEntriesAreReportedWriteNothingAndTheListGoesOn) {
    std::ofstream(dir / "broken.bmp") << "BM this is not a picture";
    std::ofstream(dir / "notes.txt") << "text";
    std::ofstream(dir / "broken.swf") << "earlier movie";
    List list({dir / "broken.bmp", dir / "notes.txt", dir / "p1.bmp"});
    opts.framesPerImage = 2;
    Convert(engine, rec, list, opts);
    ASSERT_EQ(rec.messages.size(), 2u);
    EXPECT_EQ(rec.messages[0].rfind("Error During Conversion of file:\n" + dir / "broken.bmp" +
                                        "\n\nError Message:\n",
                                    0),
              0u)
        << rec.messages[0];
    EXPECT_EQ(rec.messages[1], "Error, Unknown/supported File Format\n\n" + dir / "notes.txt");
    EXPECT_EQ(list[0].result, 0);
    EXPECT_EQ(list[1].result, 0);
    EXPECT_EQ(list[2].result, 1);
    // A failed entry writes no movie and leaves an earlier one of that name as it was.
    std::vector<uint8_t> earlier = testutil::ReadFileBytes(dir / "broken.swf");
    EXPECT_EQ(std::string(earlier.begin(), earlier.end()), "earlier movie");
    EXPECT_FALSE(std::filesystem::exists(dir / "notes.swf"));
    EXPECT_EQ(Codes(Parse(dir / "p1.swf")),
              Concat({{SetBackgroundColor}, kPicture, {ShowFrame, ShowFrame, End}}))
        << "ids start again at 1 after an abandoned movie";
    EXPECT_EQ(std::count(rec.events.begin(), rec.events.end(), "progress 1"), 9);

    // In one movie for the list, a failed entry means no movie at all.
    opts.outputMode = OutputSingle;
    rec.savePath = dir / "all.swf";
    rec.messages.clear();
    Convert(engine, rec, list, opts);
    EXPECT_FALSE(std::filesystem::exists(dir / "all.swf"));
    EXPECT_EQ(list[2].result, 0) << "no entry is in a movie that was not written";
    EXPECT_EQ(rec.messages.back(),
              "Error, the movie " + dir / "all.swf" +
                  " was not written because not every file could be converted.");
}

TEST_F(EngineTest, OutputNeverReplacesASourceOrAnEarlierEntrysMovie) {
    WriteBmp(dir / "keep.swf", 4, 4); // a picture whose name ends in .swf
    WriteBmp(dir / "a.bmp", 4, 4);
    WriteBmp(dir / "a.tga", 4, 4);
    std::filesystem::create_directory(dir / "d.bmp");
    std::vector<uint8_t> keep = testutil::ReadFileBytes(dir / "keep.swf");
    List list({dir / "keep.swf", dir / "a.bmp", dir / "a.tga", dir / "d.bmp", "/dev/null"});
    Convert(engine, rec, list, opts);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "keep.swf"), keep);
    EXPECT_EQ(list[1].result, 1) << "the first of the same stem keeps its name";
    for (size_t i : {0, 2, 3, 4}) {
        EXPECT_EQ(list[i].result, 0) << i;
    }
    EXPECT_EQ(rec.messages,
              (std::vector<std::string>{
                  "Error, the movie of " + dir / "keep.swf" + " would be written to " +
                      dir / "keep.swf" + ", which is the file itself; nothing was written.",
                  "Error, " + dir / "a.bmp" + " and " + dir / "a.tga" +
                      " would both be written to " + dir / "a.swf" + "; " + dir / "a.tga" +
                      " was skipped and " + dir / "a.bmp" + " keeps that name.",
                  "Error, " + dir / "d.bmp" +
                      " is a folder, not a regular file; only regular files are converted.",
                  "Error, /dev/null is a device, not a regular file; only regular files are "
                  "converted."}));
    EXPECT_FALSE(std::filesystem::exists(dir / "d.swf"));

    // One movie for the list may not replace one of its sources either.
    opts.outputMode = OutputSingle;
    rec.savePath = dir / "keep.swf";
    List one({dir / "a.bmp", dir / "keep.swf"});
    Convert(engine, rec, one, opts);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "keep.swf"), keep);
    EXPECT_EQ(one[0].result, 0);
}

TEST_F(EngineTest, FrameLimitsAndOptionRangesStopTheMovieWithAMessage) {
    struct Case {
        int framesPerImage;
        int frameRate;
        bool blankFrameAtEnd;
        bool single;
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
        std::filesystem::remove(dir / "all.swf");
        List list(Pictures(c.single ? 2 : 1));
        Convert(engine, rec, list, opts);
        EXPECT_EQ(std::count_if(
                      rec.messages.begin(), rec.messages.end(),
                      [&](const std::string& m) { return m.find(c.message) != std::string::npos; }),
                  1);
        EXPECT_EQ(std::filesystem::exists(dir / (c.single ? "all.swf" : "p1.swf")), c.written);
        EXPECT_EQ(list[0].result, c.written ? 1 : 0);
        EXPECT_EQ(rec.events.back(), "finished");
    }
}

TEST_F(EngineTest, CancelStopsAtOnceAndLeavesAnEmptyIdleEngine) {
    List list(Pictures(3));
    rec.onEvent = [&](const std::string& e) {
        if (e == "showfilename 101") {
            engine.RequestCancel();
        }
    };
    Convert(engine, rec, list, opts);
    engine.CancelConversion();
    EXPECT_EQ(access((dir / "p1.swf").c_str(), F_OK), 0);
    EXPECT_NE(access((dir / "p2.swf").c_str(), F_OK), 0);
    EXPECT_NE(access((dir / "p3.swf").c_str(), F_OK), 0);
    EXPECT_EQ(rec.events.back(), "showfilename 101") << "nothing is sent after a cancel";
    EXPECT_TRUE(engine.IsIdle());
    EXPECT_TRUE(engine.Movie().Tags().empty());
    EXPECT_EQ(engine.KeptPictures(), 0);

    // The next conversion starts from an empty movie.
    rec.onEvent = nullptr;
    rec.events.clear();
    Convert(engine, rec, list, opts);
    EXPECT_EQ(rec.events.back(), "finished");
    EXPECT_EQ(Codes(Parse(dir / "p2.swf")),
              Concat({{SetBackgroundColor}, kPicture, {ShowFrame, End}}));
}

TEST(ImageStoreTest, EntriesKeepDistinctIdsAndReleaseTheirFiles) {
    TempDir dir;
    ImageStore store;
    StoredImage* a = store.MakeMemoryEntry(16);
    StoredImage* b = store.MakeFileEntry(dir / "f.jpg", true);
    std::ofstream(dir / "f.jpg") << "x";
    EXPECT_NE(a->id, b->id);
    EXPECT_EQ(store.FindFile(dir / "f.jpg"), b);
    EXPECT_EQ(store.FindFile(dir / "F.jpg"), nullptr);
    int bId = b->id;
    store.Remove(bId);
    EXPECT_EQ(store.Find(bId), nullptr);
    EXPECT_NE(access((dir / "f.jpg").c_str(), F_OK), 0) << "file deleted on release";
    EXPECT_NE(store.MakeMemoryEntry(4)->id, a->id);
    EXPECT_EQ(store.Count(), 2);
}

} // namespace
