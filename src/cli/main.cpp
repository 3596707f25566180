#include "cli/cli_app.h"
#include "cli/cli_namespace.h"
#include "engine/allocator_tuning.h"
#include "media/media_log.h"

#include <csignal>
#include <iostream>

using namespace kestrova::cli;

int main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write then fails with EFBIG like a full disk, so the
    // entry is reported failed and its partial movie and temporary folder are removed, instead
    // of the process being killed with both left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    TuneAllocatorForPictures();
    QuietMediaLibraryLogs();
    return RunCli(argc, argv, std::cout, std::cerr);
}
