// Golden output: a fixed set of inputs (made by tests/golden/make-inputs) converted with pinned
// options must give movies whose SHA-256 matches tests/golden/hashes.txt. Output bytes are the
// contract: a change that moves one byte of any movie fails here and has to say why in the
// commit that updates the list (KESTROVA_GOLDEN_UPDATE=1 rewrites it).
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace kestrova::test {

namespace {

using testutil::RunCommand;
using testutil::ShellQuote;
using testutil::TempDir;

const std::string kCli = KESTROVA_BINARY_DIR "/src/cli/kestrova-cli";
const std::string kGoldenDir = KESTROVA_SOURCE_DIR "/tests/golden";

struct GoldenCase {
    std::string name;                // the movie's name in the hash list
    std::vector<std::string> inputs; // files made by make-inputs
    std::vector<std::string> sets;   // --set NAME=VALUE
};

// Every movie converts into its own folder, one run each, so no case sees another's files.
const std::vector<GoldenCase> kCases = {
    {"jpeg", {"g-jpeg.jpg"}, {}},
    {"bmp", {"g-bmp.bmp"}, {"format.bmp.quality=90"}},
    {"png", {"g-png.png"}, {}},
    {"tiff", {"g-tiff.tif"}, {}},
    {"pcx", {"g-pcx.pcx"}, {"format.pcx.smallQuality=40"}},
    {"wav-mono-adpcm", {"g-mono.wav"}, {"format.wav.compression=2"}},
    {"wav-stereo-raw", {"g-stereo.wav"}, {"format.wav.compression=6"}},
    {"wav-24bit", {"g-24bit.wav"}, {}},
    {"mp3", {"g-mp3.mp3"}, {}},
    {"avi", {"g-avi.avi"}, {}},
    {"single",
     {"g-jpeg.jpg", "g-png.png", "g-bmp.bmp", "g-mono.wav"},
     {"usePreloader=1", "useLens=1", "lensAlpha=96", "lensColor=#40A0FF", "blankFrameAtStart=1",
      "blankFrameAtEnd=1", "loopMovie=0", "framesPerImage=3", "frameRate=8",
      "backgroundColor=#102030", "optimizePlayback=1"}},
};

std::map<std::string, std::string> ReadHashList(const std::string& path) {
    std::map<std::string, std::string> hashes;
    std::ifstream in(path);
    std::string name, hash;
    while (in >> name >> hash) {
        hashes[name] = hash;
    }
    return hashes;
}

std::string Sha256(const std::string& path) {
    testutil::CommandResult r = RunCommand("sha256sum " + ShellQuote(path));
    return r.exitCode == 0 ? r.output.substr(0, 64) : "unreadable";
}

// Converts one case in its own folder with that many worker threads and returns the movie's
// hash.
std::string ConvertCase(const GoldenCase& c, const std::string& inputs, const std::string& dir,
                        int jobs) {
    std::string command = "cd " + ShellQuote(dir) + " && " + ShellQuote(kCli) + " -q -n --jobs " +
                          std::to_string(jobs) + " --options " + ShellQuote(dir + "/none.ini");
    for (const std::string& set : c.sets) {
        command += " --set " + ShellQuote(set);
    }
    bool single = c.inputs.size() > 1;
    if (single) {
        command += " -o " + ShellQuote(c.name + ".swf");
    }
    for (const std::string& input : c.inputs) {
        std::string copy = dir + "/" + input;
        RunCommand("cp " + ShellQuote(inputs + "/" + input) + " " + ShellQuote(copy));
        command += " " + ShellQuote(input);
    }
    testutil::CommandResult r = RunCommand(command + " 2>&1");
    EXPECT_EQ(r.exitCode, 0) << c.name << ": " << r.output;
    std::string movie = single ? c.name : c.inputs[0].substr(0, c.inputs[0].rfind('.'));
    return Sha256(dir + "/" + movie + ".swf");
}

// The movies are the same bytes whatever number of threads prepares them.
class GoldenOutput : public ::testing::TestWithParam<int> {};

TEST_P(GoldenOutput, EveryMovieMatchesItsRecordedHash) {
    TempDir tmp;
    ASSERT_TRUE(tmp.Ok());
    std::string inputs = tmp.File("inputs");
    ASSERT_EQ(RunCommand(ShellQuote(kGoldenDir + "/make-inputs") + " " + ShellQuote(inputs) +
                         " >/dev/null")
                  .exitCode,
              0);

    // The inputs are recorded too, so a changed tool shows as a changed input, not as ours.
    std::map<std::string, std::string> actual;
    for (const char* input :
         {"g-jpeg.jpg", "g-bmp.bmp", "g-png.png", "g-tiff.tif", "g-pcx.pcx", "g-mono.wav",
          "g-stereo.wav", "g-24bit.wav", "g-mp3.mp3", "g-avi.avi"}) {
        actual[std::string("input/") + input] = Sha256(inputs + "/" + input);
    }
    for (const GoldenCase& c : kCases) {
        std::string dir = tmp.File(c.name);
        ASSERT_EQ(RunCommand("mkdir -p " + ShellQuote(dir)).exitCode, 0);
        actual[c.name] = ConvertCase(c, inputs, dir, GetParam());
    }

    std::string listPath = kGoldenDir + "/hashes.txt";
    const char* update = std::getenv("KESTROVA_GOLDEN_UPDATE");
    if (update != nullptr && std::string(update) == "1" && GetParam() == 1) {
        std::ofstream out(listPath);
        for (const auto& [name, hash] : actual) {
            out << name << ' ' << hash << '\n';
        }
        GTEST_SKIP() << "rewrote " << listPath;
    }
    std::map<std::string, std::string> expected = ReadHashList(listPath);
    ASSERT_EQ(expected.size(), actual.size()) << listPath;
    for (const auto& [name, hash] : expected) {
        EXPECT_EQ(actual[name], hash) << "\"" << name << "\" changed";
    }
}

INSTANTIATE_TEST_SUITE_P(Jobs, GoldenOutput, ::testing::Values(1, 2, 8));

} // namespace

} // namespace kestrova::test
