// Checking the 16-bit PCM WAV files that the movie decomposer and the PCM re-encoder write.
#pragma once

#include <gtest/gtest.h>

#include "support/test_namespace.h"
#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::test {

namespace mediatest {

inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

// Little-endian 16-bit samples from byte `from` on.
inline std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes, size_t from) {
    std::vector<int16_t> s((bytes.size() - from) / 2);
    for (size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<int16_t>(U16(bytes, from + 2 * i));
    }
    return s;
}

// Checks the fixed layout (RIFF, a 16-byte PCM "fmt " record, "data" at offset 36, sizes that
// match the file) and returns the samples.
inline std::vector<int16_t> CheckPcmWav(const std::vector<uint8_t>& b, int channels, int rate) {
    EXPECT_GE(b.size(), 44u);
    if (b.size() < 44) {
        return {};
    }
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(U32(b, 4), b.size() - 8);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U32(b, 16), 16u);
    EXPECT_EQ(U16(b, 20), 1);
    EXPECT_EQ(U16(b, 22), channels);
    EXPECT_EQ(U32(b, 24), static_cast<uint32_t>(rate));
    EXPECT_EQ(U32(b, 28), static_cast<uint32_t>(rate * channels * 2));
    EXPECT_EQ(U16(b, 32), channels * 2);
    EXPECT_EQ(U16(b, 34), 16);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(U32(b, 40), b.size() - 44);
    return Samples(b, 44);
}

} // namespace mediatest

} // namespace kestrova::test
