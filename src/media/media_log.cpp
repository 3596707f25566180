#include "media/media_log.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kestrova::media {

void QuietMediaLibraryLogs() {
    av_log_set_level(AV_LOG_FATAL);
}

} // namespace kestrova::media
