#include "cli/cli_app.h"
#include "engine/allocator_tuning.h"
#include "media/media_log.h"

#include <iostream>

int main(int argc, char** argv) {
    TuneAllocatorForPictures();
    QuietMediaLibraryLogs();
    return RunCli(argc, argv, std::cout, std::cerr);
}
