// The real program started with a file and "/a": it converts the file and closes by itself,
// writing the options file on the way out. Nothing waits for a person: on the first start (no
// options file) the defaults are used silently, messages go to standard error, and a file that
// does not convert ends the program with a non-zero status.
#include "app/app_test_support.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kestrova::test {

namespace {

const std::string kProgram = std::string(KESTROVA_BINARY_DIR) + "/src/app/kestrova";

class AutoModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kProgram)) {
            GTEST_SKIP() << "kestrova not built";
        }
        ASSERT_TRUE(apptest::WritePicture(dir.File("photo.png"), 64, 48));
        std::ofstream(dir.File("junk.png")) << "not a picture at all";
    }

    // Runs the program on a file; returns its exit code (124 when the timeout ended it).
    int Run(const std::string& file, const std::string& switchText, int seconds) {
        return testutil::RunCommand(
                   "env XDG_CONFIG_HOME=" + testutil::ShellQuote(dir.File("config")) +
                   " QT_QPA_PLATFORM=offscreen timeout " + std::to_string(seconds) + " " +
                   testutil::ShellQuote(kProgram) + " " + testutil::ShellQuote(dir.File(file)) +
                   " " + switchText + " 2>" + testutil::ShellQuote(dir.File("stderr.txt")))
            .exitCode;
    }

    testutil::TempDir dir;
    std::string optionsFile = dir.File("config/kestrova/kestrova.ini");
};

TEST_F(AutoModeTest, ConvertsOrFailsAndClosesByItselfWithoutAsking) {
    struct Case {
        const char* file;
        const char* switchText;
        int seconds;
        int exitCode; // 124: still open when the timeout ended it
        const char* movie;
        const char* stderrFragment;
    };
    const Case cases[] = {
        // The first start: no options file, no message, the file is written at exit.
        {"photo.png", "/a", 60, 0, "photo.swf", ""},
        {"junk.png", "/a", 60, 1, "", "kestrova: Error During Conversion of file: "},
        // Without the switch the file is only listed and the window stays open.
        {"photo.png", "/b", 3, 124, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.switchText);
        std::filesystem::remove(dir.File("photo.swf"));
        EXPECT_EQ(Run(c.file, c.switchText, c.seconds), c.exitCode);
        std::string err = testutil::ReadFileText(dir.File("stderr.txt"));
        EXPECT_EQ(err.find("Options couldn't be loaded"), std::string::npos) << err;
        EXPECT_NE(err.find(c.stderrFragment), std::string::npos) << err;
        if (c.movie[0] != '\0') {
            std::string movie = testutil::ReadFileText(dir.File(c.movie));
            EXPECT_EQ(movie.substr(0, 4), "FWS\x05");
            std::string written = testutil::ReadFileText(optionsFile);
            EXPECT_NE(written.find("[MOVIE_OPS]"), std::string::npos);
            EXPECT_NE(written.find("[FORMAT_OPS]"), std::string::npos);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("junk.swf")));
}

} // namespace

} // namespace kestrova::test
