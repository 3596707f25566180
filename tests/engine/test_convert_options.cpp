// The options record: the file's layout, round trips, what the reader filters, numbers out of
// range, fields by name, and which format entry a file name takes.
#include "engine/convert_options.h"
#include "engine/option_fields.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kestrova::test {

namespace {

std::string Field(const ConvertOptions& o, const std::string& name) {
    std::string value;
    EXPECT_EQ(GetOptionField(o, name, value), 1) << name;
    return value;
}

// The file text and every field by name, so that a round trip cannot hide a value read into
// the wrong field.
void ExpectSameOptions(const ConvertOptions& a, const ConvertOptions& b) {
    EXPECT_EQ(a.OptionsFileText(), b.OptionsFileText());
    for (const std::string& name : OptionFieldNames()) {
        EXPECT_EQ(Field(a, name), Field(b, name)) << name;
    }
}

TEST(OptionsFile, DefaultLayout) {
    ConvertOptions o;
    o.tempDirectory = "/tmp/";
    // "|" stands for a format entry's header.
    std::istringstream values(
        "[MOVIE_OPS] 200 200 0 0 200 200 1 2 0 0 0 1 [ANI-OPS] 12 1 1 4 17 0 INTERNAL 0 0 0 "
        "[LENS_OPS] 0 0 0 0 0 [SYS_OPS] /tmp/ 1 "
        "| 256 512 70 512 65 0 1 0 | 257 512 70 512 65 0 1 0 | 258 513 70 513 65 0 1 0 "
        "| 259 512 70 512 65 5 1 0 | 260 513 70 512 65 5 1 0 | 261 513 70 512 65 5 1 0 "
        "| 262 513 70 512 65 5 1 0 | 263 512 70 512 65 5 1 0 | 264 513 70 512 65 5 1 0 "
        "| 265 3 70 512 65 0 3 0 | 272 512 70 512 65 0 1 0 | 273 512 70 512 65 0 1 1 "
        "| 274 512 70 512 65 0 1 0 | 275 512 70 512 65 0 1 0 | 276 512 70 512 65 0 1 0 "
        "| 277 512 80 512 80 0 1 0");
    std::string expected;
    for (std::string v; values >> v;) {
        expected += (v == "|" ? "[FORMAT_OPS]" : v) + "\r\n";
    }
    EXPECT_EQ(o.OptionsFileText(), expected);
}

TEST(OptionsFile, EveryFieldRoundTripsThroughTheFileAndByName) {
    // Distinct numbers in every field, so that a value read into the wrong field shows.
    ConvertOptions saved;
    int32_t n = 1000;
    for (const std::string& name : OptionFieldNames()) {
        SetOptionField(saved, name, std::to_string(n++ % 7 + 1)); // fails where out of range
    }
    for (int32_t* f : {&saved.movieHeight, &saved.movieWidth, &saved.imageY, &saved.presetWidth}) {
        *f = n++ % 5000;
    }
    saved.imageX = -37;
    saved.lensColor = 0x00123456;
    saved.backgroundColor = 0x00ABCDEF;
    saved.tempDirectory = "/tmp/my temp  dir/";
    saved.preloaderImage = "/home/u/my pics/loading picture.bmp";
    testutil::TempDir dir;
    std::string path = dir.File("nested/folders/kestrova.ini");
    ASSERT_EQ(saved.SaveOptionsFile(path), 1); // creates the missing folders
    std::string text = testutil::ReadFileText(path);
    EXPECT_TRUE(testutil::Contains(text, "\r\n/tmp/my<*>temp<*><*>dir/\r\n"));
    ConvertOptions loaded;
    std::vector<std::string> warnings;
    ASSERT_EQ(loaded.LoadOptionsFile(path, &warnings), 1);
    ExpectSameOptions(saved, loaded);
    EXPECT_TRUE(warnings.empty());

    ConvertOptions byName;
    for (const std::string& name : OptionFieldNames()) {
        std::string error;
        EXPECT_EQ(SetOptionField(byName, name, Field(saved, name), &error), 1) << error;
    }
    ExpectSameOptions(saved, byName);
}

// What the reader does with each text, as fields by name.
TEST(OptionsFile, ReaderFiltersValuesAndSkipsWhatItDoesNotKnow) {
    const std::string systemTemp = SystemTempDirectory();
    const struct {
        std::string text;
        std::vector<std::pair<const char*, const char*>> fields;
    } cases[] = {
        {"[SYS_OPS]\r\nC:\\Temp\\\r\n2",
         {{"tempDirectory", "C:\\Temp\\"}, {"performanceMode", "2"}}},
        {"[SYS_OPS] nodirectory 7", {{"performanceMode", "1"}}},
        // Only an exact 1 sets a flag; other fields keep what the file says, out of range too;
        // a colour keeps the low byte of each component.
        {"[MOVIE_OPS] 99999 -5 1 2 3 4 9 42 300 -1 70000 2",
         {{"movieWidth", "99999"},
          {"movieHeight", "-5"},
          {"sizeToLargestImage", "9"},
          {"imageSizing", "42"},
          {"backgroundColor", "#2CFF70"},
          {"optimizePlayback", "0"}}},
        {"[FORMAT_OPS] 257 513 90 513 91 12 4 3",
         {{"format.jpg.swfFramesPerImage", "4"}, {"format.jpg.soundFlag", "0"}}},
        // Unknown sections and format ids are skipped; a later section wins; case and line
        // ends do not matter.
        {"[OTHER]\n17\n[FORMAT_OPS] 278 513 11 513 12 13 14 1\n[format_ops]\t258 512 21 512 22 "
         "23 24 1\n[LENS_OPS] 1 1 2 3 40\n[lens_ops] 0 4 5 6 50",
         {{"format.png.quality", "21"},
          {"format.png.compression", "jpeg"},
          {"format.bmp.quality", "70"},
          {"useLens", "0"},
          {"lensColor", "#040506"},
          {"lensAlpha", "50"}}},
        // A section ending early keeps the rest; its text value is not taken from the next
        // header.
        {"[ANI-OPS] 24 2 0 3 16 1 [LENS_OPS] 1 255 0 0 128",
         {{"frameRate", "24"},
          {"usePreloader", "1"},
          {"preloaderImage", "INTERNAL"},
          {"lensColor", "#FF0000"}}},
        // A value that is not a number ends its section.
        {"[MOVIE_OPS] 320 240 12abc 5 [ANI-OPS] +15 - 3",
         {{"imageX", "12"},
          {"imageY", "0"},
          {"presetWidth", "200"},
          {"frameRate", "15"},
          {"framesPerImage", "1"}}},
        {"[MOVIE_OPS] 99999999999999999999 -99999999999999999999",
         {{"movieWidth", "2147483647"}, {"movieHeight", "-2147483648"}}},
        // Older files wrote an empty directory as one marked space: the system's.
        {"[SYS_OPS]\r\n<*>\r\n2\r\n", {{"tempDirectory", systemTemp.c_str()}}},
    };
    for (const auto& c : cases) {
        ConvertOptions o;
        o.ReadOptionsText(c.text);
        for (auto [name, value] : c.fields) {
            EXPECT_EQ(Field(o, name), value) << c.text << " -> " << name;
        }
    }
    // Texts that look like headers come back with a folder in front and shift nothing.
    ConvertOptions written;
    written.preloaderImage = "[LENS_OPS]";
    written.blankFrameAtStart = 1;
    ConvertOptions read;
    read.ReadOptionsText(written.OptionsFileText());
    EXPECT_EQ(read.preloaderImage, "./[LENS_OPS]");
    EXPECT_EQ(read.blankFrameAtStart, 1);
}

TEST(OptionsFile, NumbersOutOfRangeTakeTheDefaultWithAWarning) {
    testutil::TempDir dir;
    ConvertOptions written;
    written.framesPerImage = -5;
    written.formats[written.FindFormat(FormatAvi)].swfFramesPerImage = 70000;
    written.movieHeight = 10000; // at the top of its range: kept
    written.frameRate = 0;
    ASSERT_EQ(written.SaveOptionsFile(dir.File("o.ini")), 1);
    ConvertOptions loaded;
    std::vector<std::string> warnings;
    ASSERT_EQ(loaded.LoadOptionsFile(dir.File("o.ini"), &warnings), 1);
    EXPECT_EQ(loaded.frameRate, 12);
    EXPECT_EQ(loaded.framesPerImage, 1);
    EXPECT_EQ(loaded.formats[loaded.FindFormat(FormatAvi)].swfFramesPerImage, 1);
    EXPECT_EQ(loaded.movieHeight, 10000);
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_EQ(warnings[1], "bad value \"0\" for frameRate (expected 1..120); using 12");
    EXPECT_TRUE(testutil::Contains(warnings[2], "format.avi.swfFramesPerImage"));
    EXPECT_EQ(FirstOutOfRangeField(loaded), "");
    EXPECT_EQ(loaded.LoadOptionsFile(dir.File("missing.ini")), 0);
    EXPECT_EQ(loaded.SaveOptionsFile(dir.File("o.ini/sub")), 0);
}

TEST(OptionFields, SetsFieldsFromTheirWordsAndRefusesBadOnesNamingThem) {
    const std::pair<const char*, const char*> good[] = {
        {"backgroundColor=#336699", "#336699"},
        {"lensColor=4278190080", "0xFF000000"},
        {"usePreloader=yes", "1"},
        {"outputMode=single", "16"},
        {"imageX=-15", "-15"},
        {"tempDirectory=/var/my tmp", "/var/my tmp/"},
        {"format.png.compression=jpeg", "jpeg"},
        {"format.PNG.smallCompression=513", "lossless"},
        {"format.avi.soundFlag=off", "0"},
        {"format.wav.compression=6", "6"},
    };
    for (auto [assignment, stored] : good) {
        std::string text = assignment;
        size_t eq = text.find('=');
        ConvertOptions o;
        std::string error;
        ASSERT_EQ(SetOptionField(o, text.substr(0, eq), text.substr(eq + 1), &error), 1) << error;
        std::string name = text.substr(0, eq) == "format.PNG.smallCompression"
                               ? "format.png.smallCompression"
                               : text.substr(0, eq);
        EXPECT_EQ(Field(o, name), stored) << assignment;
    }
    const std::pair<const char*, const char*> bad[] = {
        {"frameRat", "24"},
        {"format.asf.quality", "50"},
        {"format.jpg.formatId", "1"},
        {"frameRate", "fast"},
        {"frameRate", "0"},
        {"frameRate", "121"},
        {"framesPerImage", "65536"},
        {"imageY", "-10001"},
        {"movieWidth", "10001"},
        {"outputMode", "2"},
        {"backgroundColor", "#3366"},
        {"backgroundColor", "-1"},
        {"format.jpg.quality", "101"},
        {"format.png.compression", "3"},
        {"format.png.compression", "original"},
        {"format.wav.compression", "7"},
        {"tempDirectory", "/a\tb"},
    };
    ConvertOptions o;
    const std::string before = o.OptionsFileText();
    for (auto [name, value] : bad) {
        std::string error;
        EXPECT_EQ(SetOptionField(o, name, value, &error), 0) << name << "=" << value;
        EXPECT_TRUE(testutil::Contains(error, name) || testutil::Contains(error, value)) << error;
    }
    EXPECT_EQ(o.OptionsFileText(), before);
}

TEST(FormatLookup, FileNamesTakeTheEntryOfTheirLastExtension) {
    const std::pair<const char*, int> cases[] = {
        {"/a/photo.Jpg", 1},  {"/a/photo.JPEG", -1}, {"scan.tiff", 8},     {"phone.WBMP", 2},
        {"anim.Gif", 2},      {"photo.webp", 2},     {"x.tar.WAV", 9},     {"noextension", -1},
        {"/dir.bmp/file", 0}, {"clip.WEBM", 11},     {"a.b/clip.3gp", 11}, {"clip.mp4x", -1},
    };
    ConvertOptions o;
    for (auto [name, index] : cases) {
        EXPECT_EQ(FormatIndexOf(name, o), index) << name;
    }
    EXPECT_EQ(FileKind("clip.mov", o), KindMovieFile);
    EXPECT_EQ(FileKind("song.wav", o), KindAudioFile);
    EXPECT_EQ(FormatKind(0x113), KindMovieFile);
}

} // namespace

} // namespace kestrova::test
