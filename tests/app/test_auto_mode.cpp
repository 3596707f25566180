// The real program started with a picture and "/a": it converts the picture and closes by
// itself, writing the options file on the way out.
#include "app/app_test_support.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

const std::string kProgram = std::string(KESTROVA_BINARY_DIR) + "/src/app/kestrova";

// Starts the program on a picture with an options file that loads (its content is not ours,
// which keeps the start free of messages); returns its exit code.
class AutoModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kProgram)) {
            GTEST_SKIP() << "kestrova not built";
        }
        std::filesystem::create_directories(dir.File("config/kestrova"));
        std::ofstream(optionsFile) << "[ani-ops]\n";
        ASSERT_TRUE(apptest::WritePicture(dir.File("photo.png"), 64, 48));
    }

    int Run(const std::string& switchText, int seconds) {
        return testutil::RunCommand(
                   "env XDG_CONFIG_HOME=" + testutil::ShellQuote(dir.File("config")) +
                   " QT_QPA_PLATFORM=offscreen timeout " + std::to_string(seconds) + " " +
                   testutil::ShellQuote(kProgram) + " " +
                   testutil::ShellQuote(dir.File("photo.png")) + " " + switchText)
            .exitCode;
    }

    testutil::TempDir dir;
    std::string optionsFile = dir.File("config/kestrova/kestrova.ini");
};

TEST_F(AutoModeTest, ConvertsTheFileAndClosesByItselfWritingTheOptions) {
    EXPECT_EQ(Run("/a", 60), 0); // 124 would mean it did not close by itself
    std::vector<uint8_t> movie = testutil::ReadFileBytes(dir.File("photo.swf"));
    ASSERT_GE(movie.size(), 21u);
    EXPECT_EQ(std::string(movie.begin(), movie.begin() + 4), "FWS\x05");
    std::vector<uint8_t> bytes = testutil::ReadFileBytes(optionsFile);
    std::string written(bytes.begin(), bytes.end());
    EXPECT_NE(written.find("[MOVIE_OPS]"), std::string::npos);
    EXPECT_NE(written.find("[FORMAT_OPS]"), std::string::npos);
}

TEST_F(AutoModeTest, WithoutTheSwitchTheFileIsOnlyListed) {
    // The window stays open (until the timeout ends it) and converts nothing.
    EXPECT_EQ(Run("/b", 3), 124);
    EXPECT_FALSE(std::filesystem::exists(dir.File("photo.swf")));
}

} // namespace
