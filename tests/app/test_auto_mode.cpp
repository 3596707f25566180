// The real program started with a picture and "/a": it converts the picture and closes by
// itself, writing the options file on the way out.
#include "app/app_test_support.h"
#include "engine/convert_options.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string kProgram = std::string(KESTROVA_BINARY_DIR) + "/src/app/kestrova";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(AutoModeTest, ConvertsTheFileAndClosesByItself) {
    if (!std::filesystem::exists(kProgram)) {
        GTEST_SKIP() << "kestrova not built";
    }
    testutil::TempDir dir;
    std::string picture = dir.File("photo.png");
    ASSERT_TRUE(apptest::WritePicture(picture, 64, 48));
    // An options file that loads (its content is not ours) keeps the start free of messages;
    // the program writes a whole one when it closes.
    std::string config = dir.File("config");
    std::string optionsFile = config + "/kestrova/kestrova.ini";
    std::filesystem::create_directories(config + "/kestrova");
    std::ofstream(optionsFile) << "[ani-ops]\n";

    std::string command = "env XDG_CONFIG_HOME=" + testutil::ShellQuote(config) +
                          " QT_QPA_PLATFORM=offscreen timeout 60 " +
                          testutil::ShellQuote(kProgram) + " " + testutil::ShellQuote(picture) +
                          " /a";
    testutil::CommandResult run = testutil::RunCommand(command);
    EXPECT_EQ(run.exitCode, 0); // 124 would mean it did not close by itself

    std::vector<uint8_t> movie = testutil::ReadFileBytes(dir.File("photo.swf"));
    ASSERT_GE(movie.size(), 21u);
    EXPECT_EQ(std::string(movie.begin(), movie.begin() + 3), "FWS");
    EXPECT_EQ(movie[3], 5);
    std::string written = ReadText(optionsFile);
    EXPECT_NE(written.find("[MOVIE_OPS]"), std::string::npos);
    EXPECT_NE(written.find("[FORMAT_OPS]"), std::string::npos);
}

TEST(AutoModeTest, WithoutTheSwitchTheFileIsOnlyListed) {
    if (!std::filesystem::exists(kProgram)) {
        GTEST_SKIP() << "kestrova not built";
    }
    testutil::TempDir dir;
    std::string picture = dir.File("photo.png");
    ASSERT_TRUE(apptest::WritePicture(picture, 16, 16));
    std::string config = dir.File("config");
    std::filesystem::create_directories(config + "/kestrova");
    std::ofstream(config + "/kestrova/kestrova.ini") << "[ani-ops]\n";
    // The window stays open (until the timeout ends it) and converts nothing.
    std::string command = "env XDG_CONFIG_HOME=" + testutil::ShellQuote(config) +
                          " QT_QPA_PLATFORM=offscreen timeout 3 " + testutil::ShellQuote(kProgram) +
                          " " + testutil::ShellQuote(picture) + " /b";
    testutil::CommandResult run = testutil::RunCommand(command);
    EXPECT_EQ(run.exitCode, 124);
    EXPECT_FALSE(std::filesystem::exists(dir.File("photo.swf")));
}

} // namespace
