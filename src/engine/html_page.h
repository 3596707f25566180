// The publish page: an HTML file beside a movie that plays it with Ruffle, the open-source
// SWF player that runs in any current browser, from a `ruffle/` folder copied beside the
// movie or from a web address that already hosts Ruffle.
#pragma once

#include "engine/engine_namespace.h"
#include <cstdint>
#include <string>

namespace kestrova::engine {

// The page that plays `movieFile` (a file name in the page's folder) at its own size, centred
// on its background colour (0x00BBGGRR). `ruffleUrl` is the folder holding ruffle.js: empty
// for the `ruffle/` folder beside the page.
std::string HtmlPageText(const std::string& movieFile, int width, int height,
                         uint32_t backgroundBgr, const std::string& ruffleUrl);

// The page's path: the movie's path with its extension replaced by ".html".
std::string HtmlPagePath(const std::string& moviePath);

// The installed Ruffle folder (the one holding ruffle.js): $KESTROVA_RUFFLE_DIR, else
// share/kestrova/ruffle beside the program's bin folder, else the copy the build fetched.
// Empty when none holds ruffle.js.
std::string FindRuffleDirectory();

// Writes the page beside the movie and, when `ruffleUrl` is empty, copies the Ruffle files
// from `ruffleSource` into the `ruffle/` folder beside it unless that folder already holds
// them. Returns an empty text on success, else the message to show.
std::string PublishHtmlPage(const std::string& moviePath, int width, int height,
                            uint32_t backgroundBgr, const std::string& ruffleUrl,
                            const std::string& ruffleSource);

// What a page needs from a written movie: its size in pixels and its background colour.
struct MovieFrame {
    int width = 0;
    int height = 0;
    uint32_t backgroundBgr = 0xFFFFFF; // players show white until a background is set
};
// Reads them from an uncompressed SWF file's header and first tags; false when the file is
// not one.
bool ReadMovieFrame(const std::string& moviePath, MovieFrame& frame);

} // namespace kestrova::engine
