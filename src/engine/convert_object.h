// One entry of the convert list. The window creates, owns and frees the entries; the engine
// reads them and writes each entry's result, output path and converted size.
#pragma once

#include "engine/engine_namespace.h"
#include <string>

namespace kestrova::engine {

struct ConvertObject {
    int id = 0;       // unique within the list, from a process-wide counter
    std::string path; // source file
    int size = -1;    // source length in bytes, -1 when unreadable
    std::string outputPath = "none";
    int result = 0;        // 1 converted, 0 not
    int convertedSize = 0; // estimated SWF bytes; -1 for an entry merged into a single movie
    ConvertObject* prev = nullptr;
    ConvertObject* next = nullptr;
};

} // namespace kestrova::engine
