// Finding a picture's type: content first, extension second; formats that are recognised but
// not read; and the size limits checked before anything is allocated.
#include "media/image_codec.h"
#include "media/image_guess.h"
#include "media/rgb_image.h"
#include "test_image_pictures.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values, size_t padTo = 0) {
    std::vector<uint8_t> bytes(values.begin(), values.end());
    if (bytes.size() < padTo) {
        bytes.resize(padTo, 0);
    }
    return bytes;
}

void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

std::vector<uint8_t> EmfHeader() {
    std::vector<uint8_t> emf(88, 0);
    PutLe32(emf, 0, 1);  // EMR_HEADER
    PutLe32(emf, 4, 88); // record size
    emf[40] = ' ';
    emf[41] = 'E';
    emf[42] = 'M';
    emf[43] = 'F';
    return emf;
}

// A placeable WMF header followed by a standard one.
std::vector<uint8_t> WmfHeader() {
    return Bytes({0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 100, 0, 100, 0,
                  0x60, 0,    0,    0,    0, 0, 0, 0, 1, 0, 9,   0, 0,   3},
                 64);
}

std::vector<uint8_t> BmpHeader(int32_t width, int32_t height) {
    std::vector<uint8_t> bmp(54, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe32(bmp, 10, 54);
    PutLe32(bmp, 14, 40);
    PutLe32(bmp, 18, static_cast<uint32_t>(width));
    PutLe32(bmp, 22, static_cast<uint32_t>(height));
    bmp[26] = 1;
    bmp[28] = 24;
    return bmp;
}

int GuessOf(const std::vector<uint8_t>& bytes) {
    ISSource* source = ISOpenMemorySource(bytes.data(), bytes.size());
    const int guess = ISGuessFileType(source);
    ISCloseSource(source);
    return guess;
}

TEST(ImageGuess, SignaturesGiveTheirGuessCodes) {
    EXPECT_EQ(GuessOf(Bytes({0xFF, 0xD8, 0xFF, 0xE0}, 32)), kGuessJpeg);
    EXPECT_EQ(GuessOf(Bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, 32)), kGuessPng);
    EXPECT_EQ(GuessOf(BmpHeader(2, 2)), kGuessBmp);
    EXPECT_EQ(GuessOf(Bytes({'I', 'I', 42, 0}, 32)), kGuessTiff);
    EXPECT_EQ(GuessOf(Bytes({'M', 'M', 0, 42}, 32)), kGuessTiff);
    EXPECT_EQ(GuessOf(Bytes({'8', 'B', 'P', 'S', 0, 1}, 32)), kGuessPsd);
    EXPECT_EQ(GuessOf(EmfHeader()), kGuessEmf);
    EXPECT_EQ(GuessOf(WmfHeader()), kGuessWmf);
    EXPECT_EQ(GuessOf(Bytes({1, 0, 9, 0, 0, 3}, 32)), kGuessWmf); // standard header only
    EXPECT_EQ(GuessOf(Bytes({0x0A, 5, 1, 8}, 128)), kGuessPcx);
    EXPECT_EQ(GuessOf(Bytes({'G', 'I', 'F', '8', '7', 'a'}, 32)), kGuessGif);
    EXPECT_EQ(GuessOf(Bytes({'G', 'I', 'F', '8', '9', 'a'}, 32)), kGuessGif);
    EXPECT_EQ(GuessOf(Bytes({'R', 'I', 'F', 'F', 9, 9, 0, 0, 'W', 'E', 'B', 'P'}, 32)), kGuessWebp);
}

TEST(ImageGuess, UnrecognisedContentGuessesNothing) {
    EXPECT_EQ(GuessOf(Bytes({0x0A, 5, 1, 8}, 64)), kGuessUnknown);  // PCX needs its 128 bytes
    EXPECT_EQ(GuessOf(Bytes({0x0A, 7, 1, 8}, 128)), kGuessUnknown); // no such PCX version
    EXPECT_EQ(GuessOf(Bytes({0, 0, 2, 0, 0, 0, 0, 0}, 32)), kGuessUnknown); // a TGA header
    EXPECT_EQ(GuessOf(Bytes({0, 0, 13, 7}, 32)), kGuessUnknown);            // a WBMP header
    EXPECT_EQ(GuessOf({}), kGuessUnknown);
    EXPECT_EQ(GuessOf(Bytes({'B'})), kGuessUnknown);
    EXPECT_EQ(GuessOf(Bytes({'G', 'I', 'F', '8', '8', 'a'}, 32)), kGuessUnknown);
    EXPECT_EQ(GuessOf(Bytes({'R', 'I', 'F', 'F', 9, 9, 0, 0, 'W', 'A', 'V', 'E'}, 32)),
              kGuessUnknown);
    EXPECT_EQ(ImageTypeFromGuess(2), kImageTypeUnknown);
    EXPECT_EQ(ImageTypeFromGuess(99), kImageTypeUnknown);
}

TEST(ImageGuess, ExtensionsCompareCaseInsensitivelyWithoutTrailingBlanks) {
    EXPECT_EQ(ImageTypeFromExtension("photo.JpEg  "), kImageTypeJpeg);
    EXPECT_EQ(ImageTypeFromExtension("scan.tiff"), kImageTypeTiff);
    EXPECT_EQ(ImageTypeFromExtension("a.b.Tga"), kImageTypeTga);
    EXPECT_EQ(ImageTypeFromExtension("phone.wbmp"), kImageTypeWbmp);
    EXPECT_EQ(ImageTypeFromExtension("art.psd"), kImageTypePsd);
    EXPECT_EQ(ImageTypeFromExtension("anim.GIF"), kImageTypeGif);
    EXPECT_EQ(ImageTypeFromExtension("photo.webp"), kImageTypeWebp);
    EXPECT_EQ(ImageTypeFromExtension("noextension"), kImageTypeUnknown);
    EXPECT_EQ(ImageTypeFromExtension("trailing."), kImageTypeUnknown);
    EXPECT_EQ(ImageTypeFromExtension("old.pax"), kImageTypeUnknown);
    EXPECT_EQ(ImageTypeFromExtension("dir.png/file"), kImageTypeUnknown);
    EXPECT_EQ(ImageTypeFromExtension("photo.jpg.txt"), kImageTypeUnknown);
}

class ImageGuessFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testutil::HaveTool("convert")) {
            GTEST_SKIP() << "ImageMagick convert not found";
        }
    }
    // Makes a picture of the pattern in the target format, then renames it.
    std::string MakeAs(const std::string& target, const std::string& name,
                       const std::string& options = "") {
        const std::string made = imagetest::Convert(dir, pattern, options, target);
        const std::string path = dir.File(name);
        if (made.empty() || std::rename(made.c_str(), path.c_str()) != 0) {
            return "";
        }
        return path;
    }

    testutil::TempDir dir;
    imagetest::Picture pattern = imagetest::Pattern(13, 7, 2);
};

TEST_F(ImageGuessFiles, ContentWinsOverTheExtension) {
    for (const auto& [target, options] : {std::pair{"png24:a.png", ""},
                                          {"bmp3:a.bmp", ""},
                                          {"a.tif", ""},
                                          {"a.pcx", ""},
                                          {"a.psd", ""},
                                          {"a.gif", ""},
                                          {"a.webp", "-define webp:lossless=true"}}) {
        const std::string path = MakeAs(target, "misnamed.jpg", options);
        ASSERT_FALSE(path.empty()) << target;
        RgbImage image;
        EXPECT_EQ(image.LoadFile(path), 0) << target;
        EXPECT_EQ(imagetest::MaxDifference(pattern, image), 0) << target;
    }
    const std::string jpeg = MakeAs("a.jpg", "misnamed.bmp");
    RgbImage image;
    EXPECT_EQ(image.LoadFile(jpeg), 0);
    EXPECT_EQ(image.Width(), 13u);
}

TEST_F(ImageGuessFiles, UnrecognisedContentFallsBackToTheExtension) {
    const std::string tga = MakeAs("a.tga", "picture.TGA", "-orient TopLeft");
    RgbImage image;
    ASSERT_EQ(image.LoadFile(tga), 0);
    EXPECT_EQ(imagetest::MaxDifference(pattern, image), 0);

    // TGA bytes named as JPEG with trailing blanks: read, and rejected, by the JPEG reader.
    EXPECT_EQ(image.LoadFile(MakeAs("a.tga", "picture.JpEg  ")), kImageErrBadJpg);
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_EQ(image.LoadFile(MakeAs("a.tga", "picture.bmp")), kImageErrBadBmp);

    // Without a known signature, memory bytes cannot be typed: nothing is read.
    const std::vector<uint8_t> bytes = testutil::ReadFileBytes(tga);
    EXPECT_EQ(image.LoadMemory(bytes.data(), bytes.size()), 0);
    EXPECT_TRUE(image.IsEmpty());
}

TEST_F(ImageGuessFiles, UnknownTypesReadNothingWithoutAnError) {
    for (const char* name : {"legacy.pax", "legacy.tla", "noextension"}) {
        const std::string path = MakeAs("a.tga", name);
        RgbImage image;
        ASSERT_EQ(image.Allocate(2, 2), 0);
        EXPECT_EQ(image.LoadFile(path), 0) << name;
        EXPECT_TRUE(image.IsEmpty()) << name;
    }
}

TEST(ImageMetafile, IsReportedAsInvalidAndReadsNothing) {
    testutil::TempDir dir;
    for (const auto& [name, bytes] :
         {std::pair{"drawing.wmf", WmfHeader()}, std::pair{"drawing.emf", EmfHeader()},
          std::pair{"really-a-wmf.jpg", WmfHeader()}}) {
        const std::string path = dir.File(name);
        ASSERT_TRUE(testutil::WriteFileBytes(path, bytes));
        RgbImage image;
        const int code = image.LoadFile(path);
        EXPECT_EQ(code, kImageErrBadMetafile) << name;
        EXPECT_EQ(ImageErrorText(code), "invalid windows metafile");
        EXPECT_TRUE(image.IsEmpty());
        // Through memory a metafile is typed but never drawn: empty image, no error.
        EXPECT_EQ(image.LoadMemory(bytes.data(), bytes.size()), 0) << name;
        EXPECT_TRUE(image.IsEmpty());
    }
}

// ----- Size limits -----

TEST(ImageSizeLimit, SidesAbove65535FailBeforeDecoding) {
    RgbImage image;
    const std::vector<uint8_t> wide = BmpHeader(70000, 1);
    EXPECT_EQ(image.LoadMemory(wide.data(), wide.size()), kImageErrTooLarge);
    EXPECT_EQ(ImageErrorText(kImageErrTooLarge), "picture is wider or taller than 65535 pixels");
    const std::vector<uint8_t> tall = BmpHeader(1, -70000); // top-down
    EXPECT_EQ(image.LoadMemory(tall.data(), tall.size()), kImageErrTooLarge);
    // PCX: columns 0 to 65535 make 65536 pixels a row.
    const std::vector<uint8_t> pcx = Bytes({0x0A, 5, 1, 8, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0}, 128);
    EXPECT_EQ(image.LoadMemory(pcx.data(), pcx.size()), kImageErrTooLarge);
    EXPECT_TRUE(image.IsEmpty());
}

TEST(ImageSizeLimit, PixelBudgetIs16384By16384) {
    EXPECT_EQ(ISCheckImageSize(16384, 16384), kImageOk);
    EXPECT_EQ(ISCheckImageSize(16384, 16385), kImageErrOverBudget);
    EXPECT_EQ(ISCheckImageSize(uint64_t{1} << 40, 1), kImageErrOverBudget);
    EXPECT_EQ(ImageErrorText(kImageErrOverBudget),
              "picture has more than 268435456 pixels (16384 x 16384), the most that is converted");
}

// Small real pictures whose headers are made to claim more pixels than the budget: each
// reader refuses them from the header alone (a decoder that went on would allocate gigabytes,
// which the sanitizer build reports).
TEST(ImageSizeLimit, EveryReaderRefusesAHeaderOverTheBudget) {
    if (!testutil::HaveTool("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg not found";
    }
    testutil::TempDir dir;
    auto be = [](std::vector<uint8_t>& b, size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            b[at + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
        }
    };
    auto find = [](const std::vector<uint8_t>& b, std::initializer_list<uint8_t> marker) {
        return std::search(b.begin(), b.end(), marker.begin(), marker.end()) - b.begin();
    };
    using B = std::vector<uint8_t>&;
    const struct {
        const char* name;
        std::function<void(B)> claim;
    } cases[] = {
        // A JPEG cut short after its scan header, claiming 65500 x 7600.
        {"a.jpg",
         [&](B b) {
             const size_t sof = find(b, {0xFF, 0xC0});
             be(b, sof + 5, 7600, 2);
             be(b, sof + 7, 65500, 2);
             b.resize(find(b, {0xFF, 0xDA}) + 20);
         }},
        {"a.png",
         [&](B b) {
             be(b, 16, 20000, 4);
             be(b, 20, 20000, 4);
             be(b, 29, libdeflate_crc32(0, b.data() + 12, 17), 4);
         }},
        {"a.tif",
         [&](B b) {
             const size_t ifd = b[4] | b[5] << 8 | b[6] << 16 | size_t{b[7]} << 24;
             for (size_t e = ifd + 2; e < ifd + 2 + 12 * (b[ifd] | b[ifd + 1] << 8); e += 12) {
                 if ((b[e] == 0 || b[e] == 1) && b[e + 1] == 1) { // width 256, length 257
                     PutLe32(b, e + 8, 20000);                    // a SHORT takes the low half
                 }
             }
         }},
        {"a.bmp",
         [](B b) {
             PutLe32(b, 18, 20000);
             PutLe32(b, 22, 20000);
         }},
        {"a.tga", [](B b) { b[12] = b[13] = b[14] = b[15] = 0xFF; }},
        {"a.gif", [](B b) { b[6] = b[7] = b[8] = b[9] = 0xFF; }}, // the logical screen
        {"a.psd", // ffmpeg writes no PSD: a header alone, 3 channels of 8 bits, RGB
         [&](B b) {
             b = Bytes({'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3}, 64);
             b[23] = 8;
             b[25] = 3;
             be(b, 14, 20000, 4);
             be(b, 18, 20000, 4);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        const bool made = testutil::RunCommand("ffmpeg -v error -f lavfi -i color=c=red:s=16x16 "
                                               "-frames:v 1 -y " +
                                               testutil::ShellQuote(path))
                              .exitCode == 0;
        ASSERT_TRUE(made || std::string(c.name) == "a.psd");
        std::vector<uint8_t> bytes = testutil::ReadFileBytes(path);
        c.claim(bytes);
        RgbImage image;
        ASSERT_TRUE(testutil::WriteFileBytes(path, bytes));
        EXPECT_EQ(image.LoadFile(path), kImageErrOverBudget);
        EXPECT_TRUE(image.IsEmpty());
    }
}

// ImageMagick's policy refuses such widths, so these strips come from ffmpeg's encoders.
TEST(ImageSizeLimit, EveryReaderChecksTheSize) {
    if (!testutil::HaveTool("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg not found";
    }
    testutil::TempDir dir;
    auto makeStrip = [&](const std::string& name, int width) {
        const std::string path = dir.File(name);
        const std::string command =
            "ffmpeg -v error -f lavfi -i color=c=red:s=" + std::to_string(width) +
            "x2,format=rgb24 -frames:v 1 -y " + testutil::ShellQuote(path) + " 2>&1";
        return testutil::RunCommand(command).exitCode == 0 ? path : "";
    };
    for (const char* name : {"wide.png", "wide.tif", "wide.bmp"}) {
        const std::string path = makeStrip(name, 65536);
        ASSERT_FALSE(path.empty()) << name;
        RgbImage image;
        EXPECT_EQ(image.LoadFile(path), kImageErrTooLarge) << name;
        EXPECT_TRUE(image.IsEmpty());
    }
    // Exactly 65535 is still allowed.
    RgbImage image;
    EXPECT_EQ(image.LoadFile(makeStrip("edge.png", 65535)), 0);
    EXPECT_EQ(image.Width(), 65535u);
    ASSERT_FALSE(image.IsEmpty());
    EXPECT_EQ(image.Lock()[65534 * 3], 255); // red to the last pixel
}

} // namespace
