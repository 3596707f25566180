// What every options record must satisfy, however it was filled: each field holds its default
// or a value that --set accepts, and the options file text reads back to the same record.
#pragma once

#include <cstdlib>
#include <string>

#include "engine/convert_options.h"
#include "engine/option_fields.h"
#include "support/test_namespace.h"

namespace kestrova::test {

namespace fuzz {

inline void CheckOptionsRecord(const ConvertOptions& options) {
    const ConvertOptions defaults;
    for (const std::string& name : OptionFieldNames()) {
        std::string value, defaultValue;
        ConvertOptions copy;
        if (!GetOptionField(options, name, value) ||
            !GetOptionField(defaults, name, defaultValue)) {
            std::abort();
        }
        if (value != defaultValue && !SetOptionField(copy, name, value)) {
            std::fprintf(stderr, "field %s holds %s, which --set refuses\n", name.c_str(),
                         value.c_str());
            std::abort();
        }
    }
    const std::string text = options.OptionsFileText();
    ConvertOptions reread;
    reread.ReadOptionsText(text);
    if (reread.OptionsFileText() != text) {
        std::fprintf(stderr, "the options file does not read back:\n%s\n", text.c_str());
        std::abort();
    }
}

} // namespace fuzz

} // namespace kestrova::test
