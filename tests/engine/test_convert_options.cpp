// The options record: defaults, the options file (layout, round trips, damaged files), system
// paths, and fields by name.
#include "engine/convert_options.h"
#include "engine/option_fields.h"

#include "support/test_util.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cctype>
#include <functional>
#include <random>

namespace {

// The file text (every field, each format's id included) and every field by name, so that a
// round trip cannot hide a value read into the wrong field.
void ExpectSameOptions(const ConvertOptions& a, const ConvertOptions& b) {
    EXPECT_EQ(a.OptionsFileText(), b.OptionsFileText());
    for (const std::string& name : OptionFieldNames()) {
        std::string x, y;
        GetOptionField(a, name, x);
        GetOptionField(b, name, y);
        EXPECT_EQ(x, y) << name;
    }
}

// Gives every field a value of its own (distinct numbers, so that reading a value into the
// wrong field shows), keeping the fields that only an exact 1 sets at 0 or 1.
void FillDistinct(ConvertOptions& o) {
    int32_t n = 1000;
    for (int32_t* f :
         {&o.lensAlpha, &o.useLens, &o.blankFrameAtEnd, &o.blankFrameAtStart,
          &o.stopActionInFirstFrame, &o.loopMovie, &o.sizeToLargestImage, &o.usePreloader,
          &o.preloadFraction, &o.framesPerImage, &o.frameRate, &o.imageSizing, &o.movieHeight,
          &o.movieWidth, &o.imageY, &o.imageX, &o.presetHeight, &o.presetWidth, &o.outputMode}) {
        *f = n++;
    }
    o.imageX = -37; // negative numbers too
    o.optimizePlayback = 0;
    o.performanceMode = PerformanceMaxRam;
    o.lensColor = 0x00123456;
    o.backgroundColor = 0x00ABCDEF;
    o.tempDirectory = "/tmp/my temp  dir/";
    o.preloaderImage = "/home/u/my pics/loading picture.bmp";
    for (FormatOptions& f : o.formats) {
        for (int32_t* v : {&f.swfFramesPerImage, &f.smallQuality, &f.smallCompression,
                           &f.smallFileLimitKb, &f.quality, &f.compression}) {
            *v = n++;
        }
        f.soundFlag = f.formatId % 2;
    }
}

void WriteText(const std::string& path, const std::string& text) {
    ASSERT_TRUE(testutil::WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

// Sets an environment variable for one scope and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name(name) {
        const char* old = getenv(name);
        hadOld = old != nullptr;
        if (hadOld) {
            oldValue = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (hadOld) {
            setenv(name, oldValue.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }

private:
    const char* name;
    bool hadOld = false;
    std::string oldValue;
};

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

} // namespace

// ---- record, format table, lookups ----

// The default values themselves are checked byte for byte in OptionsFileWrite.DefaultLayout.
TEST(ConvertOptionsDefaults, TempDirectoryAndFormatIds) {
    ScopedEnv tmp("TMPDIR", "/var/tmp");
    ConvertOptions o;
    EXPECT_EQ(o.tempDirectory, "/var/tmp/");
    for (int i = 0; i < kFormatCount; ++i) {
        EXPECT_EQ(o.FindFormat(o.formats[i].formatId), i);
    }
    EXPECT_EQ(o.FindFormat(0x116), -1); // ".asf" is in the id table but has no entry
    EXPECT_EQ(o.FindFormat(0x10A), -1);
}

TEST(ConvertOptionsDefaults, SetDefaultsKeepsFieldsWithoutDefault) {
    ConvertOptions o;
    o.formats[0].smallCompression = EncodeLossless; // ".bmp": no default listed
    o.formats[1].smallCompression = EncodeLossless; // ".jpg": default J
    o.formats[15].quality = 33;                     // ".wma": nothing listed
    o.frameRate = 30;
    o.SetDefaults();
    EXPECT_EQ(o.formats[0].smallCompression, EncodeLossless);
    EXPECT_EQ(o.formats[1].smallCompression, EncodeJpeg);
    EXPECT_EQ(o.formats[15].quality, 33);
    EXPECT_EQ(o.frameRate, 12);
}

TEST(FormatLookup, ExtensionAndKind) {
    EXPECT_STREQ(FormatExtension(0x116), ".asf");
    EXPECT_STREQ(FormatExtension(0x10A), "nnn");
    EXPECT_STREQ(FormatExtension(FormatOptions(0x104)), ".pax");
    EXPECT_EQ(FormatKind(0x108), KindStaticImage);
    EXPECT_EQ(FormatKind(0x110), KindAudioFile);
    EXPECT_EQ(FormatKind(0x113), KindMovieFile); // ".wmf" is listed with the movies
    EXPECT_EQ(FormatKind(0x999), KindStaticImage);
}

TEST(FormatLookup, FileNames) {
    ConvertOptions o;
    EXPECT_EQ(FormatIndexOf("/a/photo.Jpg", o), 1);
    EXPECT_EQ(FormatIndexOf("/a/photo.JPEG", o), -1); // ".jpe"
    EXPECT_EQ(FormatIndexOf("scan.tiff", o), 8);      // cut to ".tif"
    EXPECT_EQ(FormatIndexOf("phone.WBMP", o), 2);     // the ".png" entry
    EXPECT_EQ(FormatIndexOf("anim.Gif", o), 2);
    EXPECT_EQ(FormatIndexOf("photo.webp", o), 2);
    EXPECT_EQ(FormatIndexOf("x.tar.WAV", o), 9);
    EXPECT_EQ(FormatIndexOf("noextension", o), -1);
    // The last dot of the whole path counts, even in a folder name.
    EXPECT_EQ(FormatIndexOf("/dir.bmp/file", o), 0);
    EXPECT_EQ(FormatIndexOf("/my.project/file", o), -1);
    // Movie containers without an entry of their own take the ".avi" entry, by the whole
    // extension.
    for (const char* movie : {"movie.asf", "clip.WEBM", "clip.mpeg", "clip.mov", "a.b/clip.3gp"}) {
        EXPECT_EQ(FormatIndexOf(movie, o), 11) << movie;
    }
    EXPECT_EQ(FormatIndexOf("clip.mp4x", o), -1);
    EXPECT_EQ(FormatIndexOf("", o), -1);
    EXPECT_EQ(FileKind("song.wav", o), KindAudioFile);
    EXPECT_EQ(FileKind("clip.AVI", o), KindMovieFile);
    EXPECT_EQ(FileKind("clip.mov", o), KindMovieFile);
    EXPECT_EQ(FileKind("clip.wmv", o), KindMovieFile);
    EXPECT_EQ(FileKind("picture.gif", o), KindStaticImage);
}

TEST(SystemPaths, TempDirectory) {
    const std::string tooLong = "/" + std::string(1200, 'x');
    const std::pair<const char*, const char*> cases[] = {{"/scratch/t", "/scratch/t/"},
                                                         {"/scratch/t/", "/scratch/t/"},
                                                         {nullptr, "/tmp/"},
                                                         {tooLong.c_str(), "/tmp/"}};
    for (auto [value, expected] : cases) {
        ScopedEnv tmp("TMPDIR", value);
        EXPECT_EQ(SystemTempDirectory(), expected);
    }
}

TEST(SystemPaths, OptionsFile) {
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(OptionsFilePath(), "/cfg/kestrova/kestrova.ini");
    }
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(OptionsFilePath(), "/home/someone/.config/kestrova/kestrova.ini");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/cfg");
        EXPECT_EQ(OptionsFilePath(), "/home/someone/.config/kestrova/kestrova.ini");
    }
}

// ---- writing ----

TEST(OptionsFileWrite, DefaultLayout) {
    ConvertOptions o;
    o.tempDirectory = "/tmp/";
    std::string expected = Lines(
        {"[MOVIE_OPS]", "200", "200",      "0",         "0",         "200", "200",        "1", "2",
         "0",           "0",   "0",        "1",         "[ANI-OPS]", "12",  "1",          "1", "4",
         "17",          "0",   "INTERNAL", "0",         "0",         "0",   "[LENS_OPS]", "0", "0",
         "0",           "0",   "0",        "[SYS_OPS]", "/tmp/",     "1"});
    const char* blocks[kFormatCount] = {
        "256 512 70 512 65 0 1 0", "257 512 70 512 65 0 1 0", "258 513 70 513 65 0 1 0",
        "259 512 70 512 65 5 1 0", "260 513 70 512 65 5 1 0", "261 513 70 512 65 5 1 0",
        "262 513 70 512 65 5 1 0", "263 512 70 512 65 5 1 0", "264 513 70 512 65 5 1 0",
        "265 3 70 512 65 0 3 0",   "272 512 70 512 65 0 1 0", "273 512 70 512 65 0 1 1",
        "274 512 70 512 65 0 1 0", "275 512 70 512 65 0 1 0", "276 512 70 512 65 0 1 0",
        "277 512 80 512 80 0 1 0"};
    for (const char* block : blocks) {
        expected += "[FORMAT_OPS]\r\n";
        std::istringstream values(block);
        for (std::string v; values >> v;) {
            expected += v + "\r\n";
        }
    }
    EXPECT_EQ(o.OptionsFileText(), expected);
}

TEST(OptionsFileWrite, ColoursSpacesAndOneOrZeroFlags) {
    ConvertOptions o;
    o.backgroundColor = 0xFF000000; // the colour button's default colour
    o.lensColor = 0x00996633;
    o.tempDirectory = "";
    o.preloaderImage = "/my pics/a b.bmp";
    o.optimizePlayback = 7;
    o.formats[3].soundFlag = -4;
    o.useLens = 5; // not a one-or-zero field: written as stored
    std::string text = o.OptionsFileText();
    EXPECT_NE(text.find("\r\n2\r\n0\r\n0\r\n65280\r\n1\r\n[ANI-OPS]"), std::string::npos);
    EXPECT_NE(text.find("[LENS_OPS]\r\n5\r\n51\r\n102\r\n153\r\n0\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n/my<*>pics/a<*>b.bmp\r\n"), std::string::npos);
    EXPECT_NE(text.find("[SYS_OPS]\r\n\r\n1\r\n"), std::string::npos) << "empty: an empty line";
    EXPECT_NE(text.find("[FORMAT_OPS]\r\n259\r\n512\r\n70\r\n512\r\n65\r\n5\r\n1\r\n1\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find(' '), std::string::npos);
    // Every line ends with CR LF; no bare LF anywhere.
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(text[i - 1], '\r');
        }
    }

    ConvertOptions back;
    back.backgroundColor = 0x123;
    back.ReadOptionsText(text);
    EXPECT_EQ(back.backgroundColor, 0u); // 65280 keeps its low byte 0
    EXPECT_EQ(back.optimizePlayback, 1);
    EXPECT_EQ(back.formats[3].soundFlag, 1);
    EXPECT_EQ(back.useLens, 5);
    EXPECT_EQ(back.tempDirectory, "");
    EXPECT_EQ(back.preloaderImage, "/my pics/a b.bmp");
}

// ---- round trips through the file ----

TEST(OptionsFileRoundTrip, EveryFieldThroughTheFile) {
    testutil::TempDir dir;
    ConvertOptions saved;
    FillDistinct(saved);
    ResetOutOfRangeFields(saved); // a loaded file holds only values within range
    std::string path = dir.File("nested/folders/kestrova.ini");
    ASSERT_EQ(saved.SaveOptionsFile(path), 1); // creates the missing folders
    std::string text = testutil::ReadFileText(path);
    EXPECT_NE(text.find("/tmp/my<*>temp<*><*>dir/\r\n"), std::string::npos);
    EXPECT_NE(text.find("/home/u/my<*>pics/loading<*>picture.bmp\r\n"), std::string::npos);

    ConvertOptions loaded;
    std::vector<std::string> warnings;
    ASSERT_EQ(loaded.LoadOptionsFile(path, &warnings), 1);
    ExpectSameOptions(saved, loaded);
    EXPECT_TRUE(warnings.empty());

    // Saving again replaces the file with identical text.
    ASSERT_EQ(loaded.SaveOptionsFile(path), 1);
    EXPECT_EQ(testutil::ReadFileText(path), text);
}

TEST(OptionsFileRoundTrip, SectionsInAnyOrderAndCase) {
    ConvertOptions saved;
    FillDistinct(saved);
    std::string text = saved.OptionsFileText();
    // Cut the text into its sections and put them together backwards, in lower case
    // headers, with LF-only lines and tabs between values.
    std::vector<std::string> sections;
    for (size_t start = 0; start < text.size();) {
        size_t next = text.find('[', start + 1);
        if (next == std::string::npos) {
            next = text.size();
        }
        sections.push_back(text.substr(start, next - start));
        start = next;
    }
    ASSERT_EQ(sections.size(), 4u + kFormatCount);
    std::string reordered;
    for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
        std::string s = *it;
        for (size_t i = 0; i < s.size() && s[i] != ']'; ++i) {
            s[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
        }
        std::string changed;
        for (char c : s) {
            if (c != '\r') {
                changed += c == '\n' ? (changed.size() % 2 ? '\n' : '\t') : c;
            }
        }
        reordered += changed + "\n";
    }
    while (!reordered.empty() && std::isspace(static_cast<unsigned char>(reordered.back()))) {
        reordered.pop_back(); // no line end after the last value
    }

    ConvertOptions loaded;
    loaded.ReadOptionsText(reordered);
    ExpectSameOptions(saved, loaded);
}

TEST(OptionsFileRoundTrip, RepeatedSectionLaterWins) {
    ConvertOptions o;
    o.ReadOptionsText("[LENS_OPS] 1 1 2 3 40\r\n[lens_ops] 0 4 5 6 50\r\n");
    EXPECT_EQ(o.useLens, 0);
    EXPECT_EQ(o.lensColor, 0x00060504u);
    EXPECT_EQ(o.lensAlpha, 50);
}

// ---- reading what the file says ----

// Where each value goes is checked by the round trips; here, what the reader filters.
TEST(OptionsFileRead, ValuesAreFilteredAsDocumented) {
    ConvertOptions o;
    o.ReadOptionsText(Lines({"[SYS_OPS]", "nodirectory", "7"}));
    EXPECT_EQ(o.tempDirectory, SystemTempDirectory());
    EXPECT_EQ(o.performanceMode, 1);
    o.ReadOptionsText(Lines({"[SYS_OPS]", "C:\\Temp\\", "2"}));
    EXPECT_EQ(o.tempDirectory, "C:\\Temp\\");
    EXPECT_EQ(o.performanceMode, 2);

    // Only an exact 1 sets these; other fields keep what the file says, even out of range.
    o.ReadOptionsText(Lines(
        {"[MOVIE_OPS]", "99999", "-5", "1", "2", "3", "4", "9", "42", "300", "-1", "70000", "2"}));
    EXPECT_EQ(o.movieWidth, 99999);
    EXPECT_EQ(o.movieHeight, -5);
    EXPECT_EQ(o.sizeToLargestImage, 9);
    EXPECT_EQ(o.imageSizing, 42);
    EXPECT_EQ(o.backgroundColor, 0x0070FF2Cu); // 300 -> 0x2C, -1 -> 0xFF, 70000 -> 0x70
    EXPECT_EQ(o.optimizePlayback, 0);
    o.ReadOptionsText("[ANI-OPS] 24 2 0 3 16 5 /p.bmp 6 7 8");
    EXPECT_EQ(o.usePreloader, 5);
    EXPECT_EQ(o.preloaderImage, "/p.bmp");
    o.ReadOptionsText("[FORMAT_OPS] 257 513 90 513 91 12 4 3");
    EXPECT_EQ(o.formats[1].swfFramesPerImage, 4);
    EXPECT_EQ(o.formats[1].soundFlag, 0);
}

TEST(OptionsFileRead, UnknownFormatIdsAndSectionsAreSkipped) {
    ConvertOptions o;
    o.ReadOptionsText("[OTHER_SECTION]\r\n17\r\nsome=thing\r\n"
                      "[FORMAT_OPS] 278 513 11 513 12 13 14 1\r\n"
                      "[FORMAT_OPS] 258 512 21 512 22 23 24 1\r\n"
                      "[FORMAT_OPS] 266 513\r\n[ANI-OPS] 30");
    EXPECT_EQ(o.formats[2].compression, 512);
    EXPECT_EQ(o.formats[2].quality, 21);
    EXPECT_EQ(o.formats[2].soundFlag, 1);
    EXPECT_EQ(o.frameRate, 30);
    // Nothing else was touched by the blocks for 0x116 and 0x10A.
    ConvertOptions defaults;
    for (int i = 0; i < kFormatCount; ++i) {
        if (i != 2) {
            EXPECT_EQ(o.formats[i].quality, defaults.formats[i].quality);
            EXPECT_EQ(o.formats[i].compression, defaults.formats[i].compression);
        }
    }
}

TEST(OptionsFileRead, SectionEndingEarlyKeepsTheRest) {
    ConvertOptions o;
    o.preloaderImage = "/keep.bmp";
    // The ani-ops section stops before its text value; the lens header is not taken as the
    // preloader path.
    o.ReadOptionsText(Lines(
        {"[ANI-OPS]", "24", "2", "0", "3", "16", "1", "[LENS_OPS]", "1", "255", "0", "0", "128"}));
    EXPECT_EQ(o.frameRate, 24);
    EXPECT_EQ(o.usePreloader, 1);
    EXPECT_EQ(o.preloaderImage, "/keep.bmp");
    EXPECT_EQ(o.stopActionInFirstFrame, 0);
    EXPECT_EQ(o.useLens, 1);
    EXPECT_EQ(o.lensColor, 0xFFu);
    EXPECT_EQ(o.lensAlpha, 128);
}

TEST(OptionsFileRead, ValueThatIsNotANumberEndsItsSection) {
    ConvertOptions o;
    o.ReadOptionsText(Lines({"[MOVIE_OPS]", "320", "240", "12abc", "5", "[lens_ops]", "1", "x",
                             "[ANI-OPS]", "+15", "-", "3"}));
    EXPECT_EQ(o.movieWidth, 320);
    EXPECT_EQ(o.movieHeight, 240);
    EXPECT_EQ(o.imageX, 12); // the number ends at the first letter
    EXPECT_EQ(o.imageY, 0);  // "abc" is not a number: the rest of the section keeps its values
    EXPECT_EQ(o.presetWidth, 200);
    EXPECT_EQ(o.useLens, 1);
    EXPECT_EQ(o.lensColor, 0u); // partial colour not stored
    EXPECT_EQ(o.frameRate, 15);
    EXPECT_EQ(o.framesPerImage, 1);
}

TEST(OptionsFileRead, HugeNumbersAndLongTextsAreBounded) {
    ConvertOptions o;
    std::string longPath = "/" + std::string(3000, 'p');
    o.ReadOptionsText("[MOVIE_OPS] 99999999999999999999 -99999999999999999999\r\n[SYS_OPS] " +
                      longPath + " 2");
    EXPECT_EQ(o.movieWidth, INT32_MAX);
    EXPECT_EQ(o.movieHeight, INT32_MIN);
    EXPECT_EQ(o.tempDirectory, longPath.substr(0, kMaxOptionsText));
    EXPECT_EQ(o.performanceMode, 2);
}

TEST(OptionsFileRead, DamagedFilesNeverFail) {
    ConvertOptions saved;
    FillDistinct(saved);
    std::string text = saved.OptionsFileText();
    // Every truncation: the fields before the cut are read, none of this crashes.
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        ConvertOptions o;
        o.ReadOptionsText(std::string_view(text).substr(0, cut));
        if (cut == text.size()) {
            ExpectSameOptions(saved, o);
        }
    }
    // Random bytes, and random bytes spliced into a valid file.
    std::mt19937 random(12345);
    const std::string_view alphabet = "[]<*> \r\n-+0123456789";
    for (int round = 0; round < 300; ++round) {
        std::string damaged = text;
        for (int k = 0; k < 20; ++k) {
            damaged[random() % damaged.size()] = static_cast<char>(random());
        }
        std::string garbage(random() % 400, '\0');
        for (char& c : garbage) {
            c = random() % 4 == 0 ? alphabet[random() % alphabet.size()]
                                  : static_cast<char>(random());
        }
        ConvertOptions o;
        o.ReadOptionsText(damaged);
        o.ReadOptionsText(garbage);
        o.ReadOptionsText("[FORMAT_OPS]" + garbage);
        o.ReadOptionsText(std::string("[SYS_OPS]\0\0\0", 12) + garbage);
    }
}

// ---- files on disk ----

TEST(OptionsFileRead, NumbersOutOfRangeTakeTheDefaultWithAWarning) {
    testutil::TempDir dir;
    ConvertOptions written;
    written.framesPerImage = -5;
    written.movieWidth = 1000000000;
    written.imageX = 200000000;
    written.formats[written.FindFormat(FormatAvi)].swfFramesPerImage = 70000;
    written.movieHeight = 10000; // at the top of its range: kept
    written.frameRate = 0;
    ASSERT_EQ(written.SaveOptionsFile(dir.File("o.ini")), 1);
    ConvertOptions loaded;
    std::vector<std::string> warnings;
    ASSERT_EQ(loaded.LoadOptionsFile(dir.File("o.ini"), &warnings), 1);
    const ConvertOptions defaults;
    EXPECT_EQ(loaded.frameRate, defaults.frameRate);
    EXPECT_EQ(loaded.framesPerImage, defaults.framesPerImage);
    EXPECT_EQ(loaded.movieWidth, defaults.movieWidth);
    EXPECT_EQ(loaded.imageX, defaults.imageX);
    EXPECT_EQ(loaded.formats[loaded.FindFormat(FormatAvi)].swfFramesPerImage, 1);
    EXPECT_EQ(loaded.movieHeight, 10000);
    ASSERT_EQ(warnings.size(), 5u);
    // In the order of the record's fields.
    EXPECT_EQ(warnings[1], "bad value \"0\" for frameRate (expected 1..120); using 12");
    EXPECT_NE(warnings[4].find("format.avi.swfFramesPerImage"), std::string::npos);
    EXPECT_EQ(FirstOutOfRangeField(loaded), "");
    EXPECT_EQ(FirstOutOfRangeField(written), warnings[0].substr(0, warnings[0].find(';')));
}

TEST(OptionsFileDisk, LoadAndSaveFailuresChangeNothing) {
    testutil::TempDir dir;
    ConvertOptions o;
    o.frameRate = 25;
    EXPECT_EQ(o.LoadOptionsFile(dir.File("missing.ini")), 0);
    EXPECT_EQ(o.LoadOptionsFile(dir.Path()), 0); // a directory opens but cannot be read
    EXPECT_EQ(o.frameRate, 25);
    WriteText(dir.File("empty.ini"), "");
    EXPECT_EQ(o.LoadOptionsFile(dir.File("empty.ini")), 1);
    EXPECT_EQ(o.frameRate, 25);

    WriteText(dir.File("plain"), "x");
    EXPECT_EQ(o.SaveOptionsFile(dir.File("plain/kestrova.ini")), 0); // under a regular file
    EXPECT_EQ(o.SaveOptionsFile(dir.Path()), 0);                     // a directory
    EXPECT_EQ(testutil::ReadFileText(dir.File("plain")), "x");
}

// ---- fields by name ----

TEST(OptionFields, SetsRecordAndFormatFieldsFromTheirWords) {
    using O = const ConvertOptions&;
    const struct {
        const char* name;
        const char* value;
        std::function<bool(O)> holds;
    } cases[] = {
        {"frameRate", "24", [](O o) { return o.frameRate == 24; }},
        {"backgroundColor", "#336699", [](O o) { return o.backgroundColor == 0x00996633u; }},
        {"lensColor", "0x00112233", [](O o) { return o.lensColor == 0x00112233u; }},
        {"lensColor", "4278190080", [](O o) { return o.lensColor == 0xFF000000u; }},
        {"usePreloader", "yes", [](O o) { return o.usePreloader == 1; }},
        {"outputMode", "single", [](O o) { return o.outputMode == OutputSingle; }},
        {"imageSizing", "3", [](O o) { return o.imageSizing == SizingPreset; }},
        {"imageX", "-15", [](O o) { return o.imageX == -15; }},
        {"tempDirectory", "/var/my tmp", [](O o) { return o.tempDirectory == "/var/my tmp/"; }},
        {"preloaderImage", "/a b.png", [](O o) { return o.preloaderImage == "/a b.png"; }},
        {"format.jpg.quality", "90", [](O o) { return o.formats[1].quality == 90; }},
        {"format.png.compression", "jpeg",
         [](O o) { return o.formats[2].compression == EncodeJpeg; }},
        {"format.PNG.smallCompression", "513",
         [](O o) { return o.formats[2].smallCompression == EncodeLossless; }},
        {"format.wav.compression", "0", [](O o) { return o.formats[9].compression == 0; }},
        {"format.avi.quality", "0", [](O o) { return o.formats[11].quality == 0; }},
        {"format.avi.soundFlag", "off", [](O o) { return o.formats[11].soundFlag == 0; }},
    };
    for (const auto& c : cases) {
        ConvertOptions o;
        std::string error;
        EXPECT_EQ(SetOptionField(o, c.name, c.value, &error), 1) << c.name << ": " << error;
        EXPECT_TRUE(c.holds(o)) << c.name << "=" << c.value;
    }
}

TEST(OptionFields, ErrorsNameTheFieldOrValueAndChangeNothing) {
    ConvertOptions o;
    std::string before = o.OptionsFileText();
    struct Case {
        const char* name;
        const char* value;
        const char* mentioned;
    };
    const Case cases[] = {
        {"frameRat", "24", "frameRat"},
        {"formats", "1", "formats"},
        {"format.asf.quality", "50", "format.asf.quality"}, // no entry for ".asf"
        {"format.jpg.formatId", "1", "format.jpg.formatId"},
        {"format.jpg", "1", "format.jpg"},
        {"frameRate", "fast", "fast"},
        {"frameRate", "0", "frameRate"},
        {"frameRate", "121", "121"},
        {"framesPerImage", "2000000000", "framesPerImage"},
        {"framesPerImage", "65536", "65536"},
        {"format.avi.swfFramesPerImage", "70000", "format.avi.swfFramesPerImage"},
        {"imageX", "200000000", "imageX"},
        {"imageY", "-10001", "imageY"},
        {"frameRate", "", "frameRate"},
        {"movieWidth", "10001", "10001"},
        {"lensAlpha", "-1", "lensAlpha"},
        {"outputMode", "2", "outputMode"},
        {"usePreloader", "2", "usePreloader"},
        {"backgroundColor", "#3366", "#3366"},
        {"backgroundColor", "#33669Z", "#33669Z"},
        {"backgroundColor", "-1", "backgroundColor"},
        {"backgroundColor", "0x100000000", "0x100000000"},
        {"format.jpg.quality", "101", "101"},
        {"format.jpg.quality", "0", "format.jpg.quality"},
        {"format.png.compression", "deflate", "deflate"},
        {"format.png.compression", "original", "original"},
        {"format.png.compression", "3", "format.png.compression"},
        {"format.wav.compression", "jpeg", "jpeg"},
        {"format.wav.compression", "7", "format.wav.compression"},
        {"tempDirectory", "/a\tb", "tempDirectory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        std::string error;
        EXPECT_EQ(SetOptionField(o, c.name, c.value, &error), 0);
        EXPECT_NE(error.find(c.mentioned), std::string::npos) << error;
        EXPECT_EQ(SetOptionField(o, c.name, c.value), 0); // no error text wanted
    }
    EXPECT_EQ(o.OptionsFileText(), before);
}

TEST(OptionFields, NamesListEveryFieldAndRoundTrip) {
    std::vector<std::string> names = OptionFieldNames();
    EXPECT_EQ(names.size(), 25u + kFormatCount * 7u);
    EXPECT_EQ(names.front(), "optimizePlayback");
    EXPECT_EQ(names[25], "format.bmp.soundFlag");
    EXPECT_EQ(names.back(), "format.wma.compression");

    // Reading each field as text and setting it back onto defaults reproduces the record.
    ConvertOptions source;
    FillDistinct(source);
    source.lensColor = 0xFF000000;
    for (FormatOptions& f : source.formats) {
        f.compression =
            FormatKind(f) == KindAudioFile ? int32_t{AudioAdpcm2} : int32_t{EncodeLossless};
        f.smallCompression = EncodeLossless;
        f.quality = 55;
        f.smallQuality = 44;
        f.swfFramesPerImage = 3;
    }
    source.frameRate = 30;
    source.performanceMode = PerformanceMaxRam;
    source.optimizePlayback = 0;
    source.lensAlpha = 200;
    source.movieWidth = source.movieHeight = source.presetWidth = source.presetHeight = 640;
    source.imageSizing = SizingStretch;
    source.outputMode = OutputSingle;
    for (int32_t* flag : {&source.useLens, &source.blankFrameAtEnd, &source.blankFrameAtStart,
                          &source.stopActionInFirstFrame, &source.loopMovie,
                          &source.sizeToLargestImage, &source.usePreloader}) {
        *flag = 1;
    }
    source.loopMovie = 0;
    ConvertOptions copy;
    for (const std::string& name : names) {
        std::string value;
        ASSERT_EQ(GetOptionField(source, name, value), 1) << name;
        std::string error;
        EXPECT_EQ(SetOptionField(copy, name, value, &error), 1) << name << ": " << error;
    }
    ExpectSameOptions(source, copy);
    std::string value;
    EXPECT_EQ(GetOptionField(source, "nothing", value), 0);
}

namespace {

// Texts that once shifted the fields after them or came back changed: each is written, read
// back and written again; both files are the same and the fields around it keep their values.
TEST(OptionsFileRoundTrip, AwkwardTextsKeepTheirPlaceAndTheFile) {
    struct Case {
        std::string ConvertOptions::*field;
        const char* value;
        const char* readBack;
    };
    const Case cases[] = {
        {&ConvertOptions::preloaderImage, "", ""},
        {&ConvertOptions::preloaderImage, "[MOVIE_OPS]", "./[MOVIE_OPS]"},
        {&ConvertOptions::preloaderImage, "[lens_ops]", "./[lens_ops]"},
        {&ConvertOptions::tempDirectory, "", ""},
        {&ConvertOptions::tempDirectory, "[SYS_OPS]", "./[SYS_OPS]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        ConvertOptions written;
        written.usePreloader = 1;
        written.stopActionInFirstFrame = 1;
        written.blankFrameAtStart = 1;
        written.performanceMode = PerformanceMaxRam;
        written.*c.field = c.value;
        std::string text = written.OptionsFileText();
        ConvertOptions read;
        read.ReadOptionsText(text);
        EXPECT_EQ(read.*c.field, c.readBack);
        EXPECT_EQ(read.OptionsFileText(), text);
        EXPECT_EQ(read.stopActionInFirstFrame, 1);
        EXPECT_EQ(read.blankFrameAtStart, 1);
        EXPECT_EQ(read.performanceMode, PerformanceMaxRam);
        EXPECT_EQ(read.movieWidth, written.movieWidth);
    }
    // Older files wrote an empty directory as one marked space: it means the system's.
    ConvertOptions older;
    older.ReadOptionsText("[SYS_OPS]\r\n<*>\r\n2\r\n");
    EXPECT_EQ(older.tempDirectory, SystemTempDirectory());
    EXPECT_EQ(older.performanceMode, PerformanceMaxRam);
}

} // namespace
