// The decoding libraries print their own warnings (damaged packets, guessed formats) to
// stderr. Front ends report failures in their own words, so they silence the libraries.
#pragma once

namespace kestrova::media {

// Keeps FFmpeg quiet except for fatal errors; call once at start-up.
void QuietMediaLibraryLogs();

} // namespace kestrova::media
