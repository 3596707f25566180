#include "engine/convert_options.h"
#include "engine/engine_namespace.h"

#include "media/image_guess.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string_view>

namespace kestrova::engine {

namespace {

struct FormatRow {
    int32_t id;
    const char* extension;
    ObjectKind kind;
};

constexpr FormatRow kFormatRows[] = {
    {FormatBmp, ".bmp", KindStaticImage}, {FormatJpg, ".jpg", KindStaticImage},
    {FormatPng, ".png", KindStaticImage}, {FormatPcx, ".pcx", KindStaticImage},
    {FormatPax, ".pax", KindStaticImage}, {FormatPsd, ".psd", KindStaticImage},
    {FormatTga, ".tga", KindStaticImage}, {FormatTla, ".tla", KindStaticImage},
    {FormatTif, ".tif", KindStaticImage}, {FormatWav, ".wav", KindAudioFile},
    {FormatMp3, ".mp3", KindAudioFile},   {FormatAvi, ".avi", KindMovieFile},
    {FormatMov, ".mov", KindMovieFile},   {FormatWmf, ".wmf", KindMovieFile},
    {FormatWmv, ".wmv", KindMovieFile},   {FormatWma, ".wma", KindMovieFile},
    {FormatAsf, ".asf", KindMovieFile},
};

const FormatRow* FindRow(int32_t formatId) {
    for (const FormatRow& row : kFormatRows) {
        if (row.id == formatId) {
            return &row;
        }
    }
    return nullptr;
}

// Movie file extensions, besides ".avi", read through the ".avi" entry.
constexpr std::string_view kMovieContainers[] = {".asf", ".mp4", ".m4v",  ".mkv", ".webm",
                                                 ".flv", ".mpg", ".mpeg", ".3gp", ".mov"};

// Format defaults assigned by SetDefaults, in `formats` order; kKeep leaves a field alone.
constexpr int32_t kKeep = INT32_MIN;
constexpr int32_t J = EncodeJpeg;
constexpr int32_t L = EncodeLossless;

struct FormatDefaults {
    int32_t compression, smallCompression, smallFileLimitKb, quality, smallQuality, soundFlag,
        swfFramesPerImage;
};

constexpr FormatDefaults kFormatDefaults[kFormatCount] = {
    {J, kKeep, kKeep, 70, 65, kKeep, kKeep},           // .bmp
    {J, J, 0, 70, 65, kKeep, kKeep},                   // .jpg
    {L, L, 0, 70, 65, kKeep, kKeep},                   // .png
    {J, J, 5, 70, 65, kKeep, kKeep},                   // .pcx
    {L, J, 5, 70, 65, kKeep, kKeep},                   // .pax
    {L, J, 5, 70, 65, kKeep, kKeep},                   // .psd
    {L, J, 5, 70, 65, kKeep, kKeep},                   // .tga
    {J, J, 5, 70, 65, kKeep, kKeep},                   // .tla
    {L, J, 5, 70, 65, kKeep, kKeep},                   // .tif
    {AudioAdpcm3, kKeep, kKeep, 70, 65, kKeep, 3},     // .wav
    {J, kKeep, kKeep, 70, 65, kKeep, kKeep},           // .mp3
    {J, kKeep, kKeep, 70, 65, 1, 1},                   // .avi
    {kKeep, kKeep, kKeep, 70, 65, kKeep, kKeep},       // .mov
    {kKeep, kKeep, kKeep, 70, 65, kKeep, kKeep},       // .wmf
    {kKeep, kKeep, kKeep, 70, 65, kKeep, kKeep},       // .wmv
    {kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep}, // .wma
};

void Assign(int32_t& field, int32_t value) {
    if (value != kKeep) {
        field = value;
    }
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace

const char* FormatExtension(int32_t formatId) {
    const FormatRow* row = FindRow(formatId);
    return row != nullptr ? row->extension : "nnn";
}

ObjectKind FormatKind(int32_t formatId) {
    const FormatRow* row = FindRow(formatId);
    return row != nullptr ? row->kind : KindStaticImage;
}

ConvertOptions::ConvertOptions() {
    // The table holds one entry per id from 0x100 to 0x115, in id-table order.
    for (int i = 0; i < kFormatCount; ++i) {
        formats[i] = FormatOptions(kFormatRows[i].id);
    }
    SetDefaults();
}

void ConvertOptions::SetDefaults() {
    optimizePlayback = 1;
    lensAlpha = 0;
    lensColor = 0;
    useLens = 0;
    blankFrameAtEnd = 0;
    blankFrameAtStart = 0;
    stopActionInFirstFrame = 0;
    performanceMode = PerformanceLeastRam;
    tempDirectory = SystemTempDirectory();
    preloaderImage = "INTERNAL";
    loopMovie = 1;
    sizeToLargestImage = 1;
    usePreloader = 0;
    preloadFraction = 4;
    framesPerImage = 1;
    frameRate = 12;
    imageSizing = SizingKeep;
    backgroundColor = 0;
    movieHeight = 200;
    movieWidth = 200;
    imageY = 0;
    imageX = 0;
    presetHeight = 200;
    presetWidth = 200;
    outputMode = OutputIndividual;
    writeHtmlPage = 0;
    workerThreads = 0;

    for (int i = 0; i < kFormatCount; ++i) {
        const FormatDefaults& d = kFormatDefaults[i];
        FormatOptions& f = formats[i];
        Assign(f.compression, d.compression);
        Assign(f.smallCompression, d.smallCompression);
        Assign(f.smallFileLimitKb, d.smallFileLimitKb);
        Assign(f.quality, d.quality);
        Assign(f.smallQuality, d.smallQuality);
        Assign(f.soundFlag, d.soundFlag);
        Assign(f.swfFramesPerImage, d.swfFramesPerImage);
    }
}

int ConvertOptions::FindFormat(int32_t formatId) const {
    for (int i = 0; i < kFormatCount; ++i) {
        if (formats[i].formatId == formatId) {
            return i;
        }
    }
    return -1;
}

int FormatIndexOf(std::string_view path, const ConvertOptions& options) {
    size_t dot = path.rfind('.');
    std::string_view tail = dot == std::string_view::npos ? path : path.substr(dot);
    std::string whole(tail);
    for (char& c : whole) {
        c = LowerAscii(c);
    }
    // The movie containers FFmpeg reads have no entry of their own (the options file holds
    // exactly the 16 entries older versions know): they take the ".avi" entry's settings.
    if (std::find(std::begin(kMovieContainers), std::end(kMovieContainers), whole) !=
        std::end(kMovieContainers)) {
        return options.FindFormat(FormatAvi);
    }
    // Nor have the picture formats read beyond the classic list: their format names the
    // entry they take.
    const ImageFormat* picture = whole.starts_with('.')
                                     ? ImageFormatOfExtension(std::string_view(whole).substr(1))
                                     : nullptr;
    if (picture != nullptr && picture->optionsEntry != nullptr) {
        whole = picture->optionsEntry;
    }
    std::string extension = whole.substr(0, 4);
    for (int i = 0; i < kFormatCount; ++i) {
        if (extension == FormatExtension(options.formats[i])) {
            return i;
        }
    }
    return -1;
}

ObjectKind FileKind(std::string_view path, const ConvertOptions& options) {
    int index = FormatIndexOf(path, options);
    return index >= 0 ? FormatKind(options.formats[index]) : KindStaticImage;
}

int WorkerThreadCount(const ConvertOptions& options) {
    long count = options.workerThreads > 0 ? options.workerThreads : sysconf(_SC_NPROCESSORS_ONLN);
    return static_cast<int>(std::clamp<long>(count, 1, kMaxWorkerThreads));
}

std::string SystemTempDirectory() {
    std::string dir = NonEmptyEnv("TMPDIR");
    if (dir.empty()) {
        dir = "/tmp";
    }
    if (dir.back() != '/') {
        dir += '/';
    }
    // A cut-off path would name some other directory; an over-long one is not used at all.
    return dir.size() <= kMaxSystemPath ? dir : std::string("/tmp/");
}

std::string OptionsFilePath() {
    std::string config = NonEmptyEnv("XDG_CONFIG_HOME");
    // The base directory convention ignores relative values.
    if (config.empty() || config.front() != '/') {
        std::string home = NonEmptyEnv("HOME");
        if (home.empty()) {
            const passwd* entry = getpwuid(getuid());
            if (entry != nullptr && entry->pw_dir != nullptr) {
                home = entry->pw_dir;
            }
        }
        config = home.empty() ? std::string(".config") : home + "/.config";
    }
    return config + "/kestrova/kestrova.ini";
}

} // namespace kestrova::engine
