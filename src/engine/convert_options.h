// The conversion options record: every setting that shapes a conversion, the table of
// per-format encoding settings, and the options file that keeps them between runs.
// The window owns exactly one record; the engine, the options dialog and the preview all
// work on that live record through pointers, so it cannot be copied.
#pragma once

#include "engine/engine_namespace.h"
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::engine {

// Input formats. The ids jump from 0x109 to 0x110: there are no ids 0x10A to 0x10F.
enum FormatId : int32_t {
    FormatBmp = 0x100,
    FormatJpg = 0x101,
    FormatPng = 0x102,
    FormatPcx = 0x103,
    FormatPax = 0x104,
    FormatPsd = 0x105,
    FormatTga = 0x106,
    FormatTla = 0x107,
    FormatTif = 0x108,
    FormatWav = 0x109,
    FormatMp3 = 0x110,
    FormatAvi = 0x111,
    FormatMov = 0x112,
    FormatWmf = 0x113,
    FormatWmv = 0x114,
    FormatWma = 0x115,
    FormatAsf = 0x116, // known to the id table, but the options hold no entry for it
};

// What a list entry is; never stored, always derived from the file name's extension.
enum ObjectKind : int32_t {
    KindStaticImage = 1,
    KindAudioFile = 2,
    KindMovieFile = 3,
};

// Bitmap encoding of picture and movie-frame formats (`compression`, `smallCompression`).
enum Encoding : int32_t {
    EncodeJpeg = 0x200,
    EncodeLossless = 0x201,
    // JPEG pictures: the file's own JPEG data when a player can show it as it is, else as
    // EncodeJpeg. Other entries take it as EncodeJpeg.
    EncodeOriginal = 0x202,
};

// Index of the audio page's "Output Encoding" line, stored in an audio entry's `compression`.
// The code size the sound converter derives from it follows its own table, not these names.
enum AudioEncoding : int32_t {
    AudioPcm = 0,    // "PCM (No Compression)"
    AudioAdpcm5 = 1, // "ADPCM 5 Bit"
    AudioAdpcm4 = 2, // "ADPCM 4 Bit"
    AudioAdpcm3 = 3, // "ADPCM 3 Bit"
    AudioAdpcm2 = 4, // "ADPCM 2 Bit"
};

// The numeric values are the ones stored in the options file.
enum PerformanceMode : int32_t {
    PerformanceLeastRam = 1,
    PerformanceMaxRam = 2,
};

enum ImageSizing : int32_t {
    SizingStretch = 1,
    SizingKeep = 2,
    SizingPreset = 3,
};

enum OutputMode : int32_t {
    OutputSingle = 16,
    OutputIndividual = 17,
};

// How input files of one format are encoded.
class FormatOptions {
public:
    FormatOptions() = default;
    explicit FormatOptions(int32_t id) : formatId(id) {}
    virtual ~FormatOptions() = default;
    FormatOptions(const FormatOptions&) = default;
    FormatOptions& operator=(const FormatOptions&) = default;

    int32_t soundFlag = 0;         // audio: stereo to mono; movies: include the movie's sound
    int32_t swfFramesPerImage = 1; // movies: SWF frames per extracted movie frame
    int32_t smallQuality = 80;     // pictures: JPEG quality of the small-file settings
    int32_t smallCompression = EncodeJpeg;
    int32_t smallFileLimitKb = 0;     // pictures: files below this many Kb take the small pair
    int32_t quality = 80;             // pictures 1..100, movie frames 0..100
    int32_t compression = EncodeJpeg; // an `Encoding`, or an `AudioEncoding` index for audio
    int32_t formatId = 0;             // the `FormatId` described; fixed after construction
};

// Extension (".bmp") of a format id; "nnn" for an id not in the table.
const char* FormatExtension(int32_t formatId);
inline const char* FormatExtension(const FormatOptions& format) {
    return FormatExtension(format.formatId);
}
// Kind of a format id; an id not in the table counts as a static image.
ObjectKind FormatKind(int32_t formatId);
inline ObjectKind FormatKind(const FormatOptions& format) {
    return FormatKind(format.formatId);
}

constexpr int kFormatCount = 16;
// Text values read from the options file keep at most this many characters.
constexpr size_t kMaxOptionsText = 1999;
// A system directory path is used only up to this length.
constexpr size_t kMaxSystemPath = 999;

class ConvertOptions {
public:
    ConvertOptions();
    virtual ~ConvertOptions() = default;
    ConvertOptions(const ConvertOptions&) = delete;
    ConvertOptions& operator=(const ConvertOptions&) = delete;

    // Assigns the documented defaults. Format fields without a listed default keep whatever
    // they hold, so the dialog's "Set Defaults" leaves them as the user set them.
    void SetDefaults();
    // Index 0..15 of the first entry of `formats` describing formatId, or -1.
    int FindFormat(int32_t formatId) const;

    // The options file's text: CR LF lines, upper-case section headers, spaces of text
    // values written as "<*>".
    std::string OptionsFileText() const;
    // Reads options text section by section. Unknown tokens are skipped, absent sections
    // leave their fields unchanged, and a value that does not parse ends its section with
    // the fields read so far kept. Numbers are taken as written. Never fails.
    void ReadOptionsText(std::string_view text);

    // Reads the options file at path. Returns 0, with the record unchanged, when the file
    // cannot be opened or read; otherwise 1, however damaged the content is. A number
    // outside the range the command line's --set accepts gives its field the default value
    // and adds a warning naming the field.
    int LoadOptionsFile(const std::string& path, std::vector<std::string>* warnings = nullptr);
    // Writes the options file, creating its folder when missing and replacing an existing
    // file. Returns 0 when the file cannot be created or fully written.
    int SaveOptionsFile(const std::string& path) const;

    int32_t optimizePlayback;
    int32_t lensAlpha;
    uint32_t lensColor; // 0x00BBGGRR
    int32_t useLens;
    int32_t blankFrameAtEnd;
    int32_t blankFrameAtStart;
    int32_t stopActionInFirstFrame;
    int32_t performanceMode;
    std::string tempDirectory;  // prefix of every temporary file name, ends with a separator
    std::string preloaderImage; // picture path, or "INTERNAL" for the built-in picture
    int32_t loopMovie;
    std::array<FormatOptions, kFormatCount> formats;
    int32_t sizeToLargestImage;
    int32_t usePreloader;
    int32_t preloadFraction;
    int32_t framesPerImage;
    int32_t frameRate;
    int32_t imageSizing;
    uint32_t backgroundColor; // 0x00BBGGRR
    int32_t movieHeight;
    int32_t movieWidth;
    int32_t imageY;
    int32_t imageX;
    int32_t presetHeight;
    int32_t presetWidth;
    int32_t outputMode;
    // The publish page: an HTML file beside each movie, playing it with Ruffle from the
    // `ruffle/` folder copied beside it, or from ruffleUrl when that is not empty.
    int32_t writeHtmlPage = 0;
    std::string ruffleUrl;
    // Threads preparing entries side by side; 0 takes one per online core.
    int32_t workerThreads = 0;
};

// The most worker threads a conversion runs.
constexpr int kMaxWorkerThreads = 64;
// The threads a conversion with these options runs: workerThreads, or one per online core
// when that is 0, within 1..kMaxWorkerThreads.
int WorkerThreadCount(const ConvertOptions& options);

// Index 0..15 of the format entry for a file name: the text from the path's last "." (the
// whole path when it has none), cut to its first 4 characters and lower-cased, compared with
// each entry's extension in table order. "photo.Jpg" matches ".jpg", "photo.JPEG" gives
// ".jpe" and matches nothing, "scan.tiff" matches ".tif". The movie containers .asf, .mp4,
// .m4v, .mkv, .webm, .flv, .mpg, .mpeg, .3gp and .mov (whole extension, any case) give the
// ".avi" entry; a picture format without an entry of its own (".wbmp", ".gif", ".webp") takes
// the entry its format row names (image_guess.h), the ".png" one. -1 when nothing matches.
int FormatIndexOf(std::string_view path, const ConvertOptions& options);
// Kind of a file by its extension; a file that matches no format counts as a static image.
ObjectKind FileKind(std::string_view path, const ConvertOptions& options);

// The system's temporary directory ($TMPDIR, else /tmp) with a trailing "/".
std::string SystemTempDirectory();
// The user's options file: $XDG_CONFIG_HOME/kestrova/kestrova.ini, by default
// ~/.config/kestrova/kestrova.ini.
std::string OptionsFilePath();

} // namespace kestrova::engine
