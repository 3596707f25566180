// A private scratch folder for the targets that must hand our readers a real file: made once
// per fuzzing process under $TMPDIR (RAM-backed /dev/shm when present) and removed at exit.
#pragma once

#include "support/test_namespace.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kestrova::test {

namespace fuzz {

class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/kestrova-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        path = pattern + "/";
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Writes the bytes to a file of the folder and returns its path.
    std::string Write(const char* name, const uint8_t* data, size_t size) const {
        const std::string file = path + name;
        FILE* out = std::fopen(file.c_str(), "wb");
        if (out == nullptr || std::fwrite(data, 1, size, out) != size || std::fclose(out) != 0) {
            std::perror(file.c_str());
            std::abort();
        }
        return file;
    }

    std::string path; // ends with "/"
};

} // namespace fuzz

} // namespace kestrova::test
