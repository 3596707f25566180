// Serialising tags with the writer and decoding them with the test-side reader.
#pragma once

#include "support/swf_reader.h"
#include "swf/swf_tag.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kestrova::test {

namespace swftest {

using Bytes = std::vector<uint8_t>;

// Everything a stream would write to a file, referenced blocks included.
inline Bytes StreamBytes(CSwfStream& s) {
    char* data = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    EXPECT_EQ(s.WriteTo(f), 1);
    fclose(f);
    Bytes out(data, data + size);
    free(data);
    return out;
}

// Every byte the tag writes (header, body and referenced blocks).
inline Bytes TagBytes(const CSwfTag& tag) {
    CSwfStream s;
    tag.Write(s);
    return StreamBytes(s);
}

// Varied bytes, different for each seed.
inline Bytes Pattern(size_t size, uint32_t seed = 1) {
    Bytes out(size);
    for (uint8_t& b : out) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return out;
}

// An anonymous temporary file holding the bytes, positioned at its start.
inline FILE* FileWith(const Bytes& bytes) {
    FILE* f = tmpfile();
    EXPECT_TRUE(bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    rewind(f);
    return f;
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// The tag decoded by the reader; fails the test unless the bytes are exactly one tag record.
inline swfread::Tag ParseOne(const CSwfTag& tag) {
    Bytes bytes = TagBytes(tag);
    bytes.insert(bytes.end(), {0, 0}); // End tag, so that the reader sees a complete list
    std::vector<swfread::Tag> tags;
    std::string error;
    EXPECT_TRUE(swfread::ParseTags(bytes.data(), bytes.size(), tags, &error)) << error;
    EXPECT_EQ(tags.size(), 2u);
    return tags.empty() ? swfread::Tag() : tags[0];
}

} // namespace swftest

} // namespace kestrova::test
