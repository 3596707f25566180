// The options file reader on any file content, as the programs load it (ranges applied).
#include <string>
#include <vector>

#include "fuzz_options_check.h"
#include "fuzz_scratch.h"

using namespace kestrova::test;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchDir scratch;
    ConvertOptions options;
    std::vector<std::string> warnings;
    if (!options.LoadOptionsFile(scratch.Write("kestrova.ini", data, size), &warnings)) {
        std::abort(); // a readable file always loads, however damaged
    }
    fuzz::CheckOptionsRecord(options);
    return 0;
}
