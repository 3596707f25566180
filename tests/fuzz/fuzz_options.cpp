// The options file reader on any text.
#include <string_view>

#include "fuzz_options_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConvertOptions options;
    options.ReadOptionsText(std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::CheckOptionsRecord(options);
    return 0;
}
