// --set NAME=VALUE parsing: lines of the input are applied one after the other.
#include <string_view>

#include "fuzz_options_check.h"

using namespace kestrova::test;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ConvertOptions options;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            std::string error;
            SetOptionField(options, line.substr(0, equals), line.substr(equals + 1), &error);
        }
    }
    fuzz::CheckOptionsRecord(options);
    return 0;
}
