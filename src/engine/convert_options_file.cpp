// The options file: writing in the fixed layout, and reading driven by section names so
// that reordered, repeated, missing or damaged sections never stop the program.
#include "engine/convert_options.h"
#include "engine/engine_namespace.h"
#include "engine/option_fields.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace kestrova::engine {

namespace {

constexpr std::string_view kSpaceMark = "<*>";
// Nothing of a real options file comes near this; it keeps a wrong path (a device, a huge
// file) from being read without end.
constexpr size_t kMaxOptionsFileBytes = 16u << 20;

constexpr std::string_view kMovieOps = "[movie_ops]";
constexpr std::string_view kAniOps = "[ani-ops]";
constexpr std::string_view kLensOps = "[lens_ops]";
constexpr std::string_view kSysOps = "[sys_ops]";
constexpr std::string_view kFormatOps = "[format_ops]";
// Written last and only when the publish page is asked for, so files without it read as
// before and readers that do not know it skip its values as stray tokens.
constexpr std::string_view kHtmlOps = "[html_ops]";
// The worker threads, written after everything else and only when not automatic, the same
// way.
constexpr std::string_view kThreadOps = "[thread_ops]";

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (x != b[i]) {
            return false;
        }
    }
    return true;
}

bool IsSectionHeader(std::string_view token) {
    for (std::string_view name :
         {kMovieOps, kAniOps, kLensOps, kSysOps, kFormatOps, kHtmlOps, kThreadOps}) {
        if (EqualsIgnoringCase(token, name)) {
            return true;
        }
    }
    return false;
}

// ---- writing ----

class OptionsWriter {
public:
    void Header(std::string_view name) {
        std::string line(name);
        for (char& c : line) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        Line(line);
    }
    void Number(int64_t value) { Line(std::to_string(value)); }
    void OneOrZero(int32_t value) { Number(value != 0 ? 1 : 0); }
    // Red byte, green byte, and the value shifted right by 16 (the blue byte when the top
    // byte is 0; the colour button's default 0xFF000000 gives 65280).
    void Colour(uint32_t value) {
        Number(value & 0xFF);
        Number((value >> 8) & 0xFF);
        Number(value >> 16);
    }
    // Spaces are marked; an empty value is an empty line. A value that reads as a section
    // header is written as the same relative path behind "./", so that it is not taken for
    // one when read.
    void Text(std::string_view value) {
        std::string line = IsSectionHeader(value) ? "./" : "";
        for (char c : value) {
            if (c == ' ') {
                line += kSpaceMark;
            } else {
                line += c;
            }
        }
        Line(line);
    }
    std::string Take() { return std::move(out); }

private:
    void Line(std::string_view line) {
        out += line;
        out += "\r\n";
    }
    std::string out;
};

// ---- reading ----

class OptionsReader {
public:
    explicit OptionsReader(std::string_view text) : text(text) {}

    // Next run of non-white-space characters; empty at the end of the text.
    std::string_view Token() {
        SkipSpace();
        size_t start = pos;
        while (pos < text.size() && !IsSpace(text[pos])) {
            ++pos;
        }
        return text.substr(start, pos - start);
    }

    // Optional sign and decimal digits after white space; stops at the first other character
    // and leaves it unread. Out-of-range values saturate. On failure nothing but the white
    // space is consumed.
    bool Number(int32_t& value) {
        SkipSpace();
        size_t p = pos;
        bool negative = false;
        if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
            negative = text[p] == '-';
            ++p;
        }
        size_t digitsStart = p;
        int64_t magnitude = 0;
        while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
            magnitude = std::min<int64_t>(magnitude * 10 + (text[p] - '0'), int64_t{1} << 32);
            ++p;
        }
        if (p == digitsStart) {
            return false;
        }
        pos = p;
        int64_t v = negative ? -magnitude : magnitude;
        value = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
        return true;
    }

    // One token with every "<*>" turned back into a space, cut to kMaxOptionsText
    // characters. A section header is not taken as a value: the section it interrupts has
    // ended early, and the header is left for the section loop.
    bool Text(std::string& value) {
        if (EmptyLineFollows()) {
            value.clear();
            return true;
        }
        size_t before = pos;
        std::string_view token = Token();
        if (token.empty() || IsSectionHeader(token)) {
            pos = before;
            return false;
        }
        std::string decoded;
        for (size_t i = 0; i < token.size();) {
            if (token.substr(i, kSpaceMark.size()) == kSpaceMark) {
                decoded += ' ';
                i += kSpaceMark.size();
            } else {
                decoded += token[i++];
            }
        }
        if (decoded.size() > kMaxOptionsText) {
            decoded.resize(kMaxOptionsText);
        }
        value = std::move(decoded);
        return true;
    }

    // Three numbers; only the low 8 bits of each are kept.
    bool Colour(uint32_t& value) {
        int32_t r = 0, g = 0, b = 0;
        if (!Number(r) || !Number(g) || !Number(b)) {
            return false;
        }
        value = (static_cast<uint32_t>(r) & 0xFF) | (static_cast<uint32_t>(g) & 0xFF) << 8 |
                (static_cast<uint32_t>(b) & 0xFF) << 16;
        return true;
    }

    // Flags that only an exact 1 sets.
    bool ExactlyOne(int32_t& flag) {
        int32_t v = 0;
        if (!Number(v)) {
            return false;
        }
        flag = v == 1 ? 1 : 0;
        return true;
    }

private:
    // Whether the rest of the current line is blank and the next line empty: the writer puts
    // every value on a line of its own, so that is an empty text value. Consumes both lines
    // when so.
    bool EmptyLineFollows() {
        auto lineEnd = [this](size_t p) {
            while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\r')) {
                ++p;
            }
            return p < text.size() && text[p] == '\n' ? p : std::string_view::npos;
        };
        size_t end = lineEnd(pos);
        if (end == std::string_view::npos) {
            return false;
        }
        end = lineEnd(end + 1);
        if (end == std::string_view::npos) {
            return false;
        }
        pos = end + 1;
        return true;
    }

    void SkipSpace() {
        while (pos < text.size() && IsSpace(text[pos])) {
            ++pos;
        }
    }

    std::string_view text;
    size_t pos = 0;
};

// Each section reads its values in layout order and stops at the first one that does not
// parse; the fields before it keep what was read, the rest keep their previous values.
void ReadMovieOps(OptionsReader& in, ConvertOptions& o) {
    in.Number(o.movieWidth) && in.Number(o.movieHeight) && in.Number(o.imageX) &&
        in.Number(o.imageY) && in.Number(o.presetWidth) && in.Number(o.presetHeight) &&
        in.Number(o.sizeToLargestImage) && in.Number(o.imageSizing) &&
        in.Colour(o.backgroundColor) && in.ExactlyOne(o.optimizePlayback);
}

void ReadAniOps(OptionsReader& in, ConvertOptions& o) {
    in.Number(o.frameRate) && in.Number(o.framesPerImage) && in.Number(o.loopMovie) &&
        in.Number(o.preloadFraction) && in.Number(o.outputMode) && in.Number(o.usePreloader) &&
        in.Text(o.preloaderImage) && in.Number(o.stopActionInFirstFrame) &&
        in.Number(o.blankFrameAtEnd) && in.Number(o.blankFrameAtStart);
}

void ReadLensOps(OptionsReader& in, ConvertOptions& o) {
    in.Number(o.useLens) && in.Colour(o.lensColor) && in.Number(o.lensAlpha);
}

void ReadSysOps(OptionsReader& in, ConvertOptions& o) {
    std::string dir;
    if (!in.Text(dir)) {
        return;
    }
    // A value without any separator (older files wrote an empty directory as "<*>") cannot
    // be a directory prefix: fall back to the system's. An empty line stays empty, which
    // means the system's directory wherever it is used.
    o.tempDirectory =
        !dir.empty() && dir.find_first_of("\\/") == std::string::npos ? SystemTempDirectory() : dir;
    int32_t mode = 0;
    if (in.Number(mode)) {
        o.performanceMode =
            mode == PerformanceLeastRam || mode == PerformanceMaxRam ? mode : PerformanceLeastRam;
    }
}

// A block for an id that no entry has reads nothing more; its values are then skipped by
// the section loop as stray tokens.
void ReadFormatOps(OptionsReader& in, ConvertOptions& o) {
    int32_t id = 0;
    if (!in.Number(id)) {
        return;
    }
    int index = o.FindFormat(id);
    if (index < 0) {
        return;
    }
    FormatOptions& f = o.formats[index];
    in.Number(f.compression) && in.Number(f.quality) && in.Number(f.smallCompression) &&
        in.Number(f.smallQuality) && in.Number(f.smallFileLimitKb) &&
        in.Number(f.swfFramesPerImage) && in.ExactlyOne(f.soundFlag);
}

// The page flag, then the Ruffle address ("<*>" when none).
void ReadHtmlOps(OptionsReader& in, ConvertOptions& o) {
    std::string url;
    if (in.ExactlyOne(o.writeHtmlPage) && in.Text(url)) {
        o.ruffleUrl = url.find_first_not_of(' ') == std::string::npos ? std::string() : url;
    }
}

} // namespace

std::string ConvertOptions::OptionsFileText() const {
    OptionsWriter out;
    out.Header(kMovieOps);
    for (int32_t v : {movieWidth, movieHeight, imageX, imageY, presetWidth, presetHeight,
                      sizeToLargestImage, imageSizing}) {
        out.Number(v);
    }
    out.Colour(backgroundColor);
    out.OneOrZero(optimizePlayback);

    out.Header(kAniOps);
    for (int32_t v :
         {frameRate, framesPerImage, loopMovie, preloadFraction, outputMode, usePreloader}) {
        out.Number(v);
    }
    out.Text(preloaderImage);
    for (int32_t v : {stopActionInFirstFrame, blankFrameAtEnd, blankFrameAtStart}) {
        out.Number(v);
    }

    out.Header(kLensOps);
    out.Number(useLens);
    out.Colour(lensColor);
    out.Number(lensAlpha);

    out.Header(kSysOps);
    out.Text(tempDirectory);
    out.Number(performanceMode);

    for (const FormatOptions& f : formats) {
        out.Header(kFormatOps);
        for (int32_t v : {f.formatId, f.compression, f.quality, f.smallCompression, f.smallQuality,
                          f.smallFileLimitKb, f.swfFramesPerImage}) {
            out.Number(v);
        }
        out.OneOrZero(f.soundFlag);
    }

    if (writeHtmlPage != 0 || !ruffleUrl.empty()) {
        out.Header(kHtmlOps);
        out.OneOrZero(writeHtmlPage);
        out.Text(ruffleUrl.empty() ? std::string_view(" ") : std::string_view(ruffleUrl));
    }
    if (workerThreads != 0) {
        out.Header(kThreadOps);
        out.Number(workerThreads);
    }
    return out.Take();
}

void ConvertOptions::ReadOptionsText(std::string_view text) {
    OptionsReader in(text);
    for (std::string_view token = in.Token(); !token.empty(); token = in.Token()) {
        if (EqualsIgnoringCase(token, kMovieOps)) {
            ReadMovieOps(in, *this);
        } else if (EqualsIgnoringCase(token, kAniOps)) {
            ReadAniOps(in, *this);
        } else if (EqualsIgnoringCase(token, kLensOps)) {
            ReadLensOps(in, *this);
        } else if (EqualsIgnoringCase(token, kSysOps)) {
            ReadSysOps(in, *this);
        } else if (EqualsIgnoringCase(token, kFormatOps)) {
            ReadFormatOps(in, *this);
        } else if (EqualsIgnoringCase(token, kHtmlOps)) {
            ReadHtmlOps(in, *this);
        } else if (EqualsIgnoringCase(token, kThreadOps)) {
            in.Number(workerThreads);
        }
    }
}

int ConvertOptions::LoadOptionsFile(const std::string& path, std::vector<std::string>* warnings) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        return 0;
    }
    std::string text;
    char chunk[4096];
    size_t got = 0;
    while (text.size() < kMaxOptionsFileBytes &&
           (got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        text.append(chunk, got);
    }
    // A directory opens but cannot be read.
    if (std::ferror(file.get())) {
        return 0;
    }
    ReadOptionsText(text);
    std::vector<std::string> reset = ResetOutOfRangeFields(*this);
    if (warnings != nullptr) {
        warnings->insert(warnings->end(), reset.begin(), reset.end());
    }
    return 1;
}

int ConvertOptions::SaveOptionsFile(const std::string& path) const {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) {
        std::error_code ignored; // a folder that cannot be made shows up as a failed open
        std::filesystem::create_directories(parent, ignored);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::string text = OptionsFileText();
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    bool closed = std::fclose(file) == 0;
    return written && closed ? 1 : 0;
}

} // namespace kestrova::engine
