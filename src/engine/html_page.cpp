#include "engine/html_page.h"
#include "engine/engine_namespace.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace kestrova::engine {

namespace fs = std::filesystem;

namespace {

// Text inside an element or a double-quoted attribute.
std::string HtmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A file name as a relative URL: every byte but the unreserved ones percent-encoded, so that
// spaces, "#", "?" and non-ASCII names load the right file. The result is also safe inside a
// JavaScript string and an HTML attribute.
std::string UrlEncoded(const std::string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string CssColour(uint32_t bgr) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF,
                  (bgr >> 16) & 0xFF);
    return text;
}

// Where the page loads ruffle.js from: a given address of the script itself is used as it
// is, a folder gets "/ruffle.js".
std::string RuffleScript(const std::string& ruffleUrl) {
    if (ruffleUrl.empty()) {
        return "ruffle/ruffle.js";
    }
    if (ruffleUrl.size() > 3 && ruffleUrl.compare(ruffleUrl.size() - 3, 3, ".js") == 0) {
        return ruffleUrl;
    }
    return ruffleUrl.back() == '/' ? ruffleUrl + "ruffle.js" : ruffleUrl + "/ruffle.js";
}

bool HoldsRuffle(const fs::path& dir) {
    std::error_code ec;
    return !dir.empty() && fs::is_regular_file(dir / "ruffle.js", ec);
}

// The program's own path, for the installed share folder beside its bin folder.
fs::path ProgramPath() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self;
}

} // namespace

std::string HtmlPageText(const std::string& movieFile, int width, int height,
                         uint32_t backgroundBgr, const std::string& ruffleUrl) {
    std::string colour = CssColour(backgroundBgr);
    std::string w = std::to_string(width), h = std::to_string(height);
    std::string movie = UrlEncoded(movieFile);
    // The player starts at once (no splash screen, no click-to-unmute overlay) and draws the
    // movie at its own size; the page scrolls when the window is smaller.
    return "<!DOCTYPE html>\n"
           "<html>\n"
           "<head>\n"
           "<meta charset=\"utf-8\">\n"
           "<title>" +
           HtmlEscaped(movieFile) +
           "</title>\n"
           "<style>\n"
           "html, body { margin: 0; width: 100%; height: 100%; background: " +
           colour +
           "; }\n"
           "body { display: flex; overflow: auto; }\n"
           "#movie { margin: auto; flex: none; width: " +
           w + "px; height: " + h +
           "px; }\n"
           "#movie > * { width: 100%; height: 100%; }\n"
           "</style>\n"
           "<script>\n"
           "window.RufflePlayer = window.RufflePlayer || {};\n"
           "window.RufflePlayer.config = { autoplay: \"on\", unmuteOverlay: \"hidden\", "
           "splashScreen: false, letterbox: \"off\", backgroundColor: \"" +
           colour +
           "\" };\n"
           "</script>\n"
           "<script src=\"" +
           HtmlEscaped(RuffleScript(ruffleUrl)) +
           "\"></script>\n"
           "</head>\n"
           "<body>\n"
           "<div id=\"movie\"></div>\n"
           "<script>\n"
           "const player = window.RufflePlayer.newest().createPlayer();\n"
           "document.getElementById(\"movie\").appendChild(player);\n"
           "(player.ruffle ? player.ruffle() : player).load(\"" +
           movie +
           "\");\n"
           "</script>\n"
           "</body>\n"
           "</html>\n";
}

std::string HtmlPagePath(const std::string& moviePath) {
    return fs::path(moviePath).replace_extension(".html").string();
}

std::string FindRuffleDirectory() {
    if (const char* env = std::getenv("KESTROVA_RUFFLE_DIR"); env != nullptr && *env != '\0') {
        return HoldsRuffle(env) ? std::string(env) : std::string();
    }
    fs::path program = ProgramPath();
    if (!program.empty()) {
        fs::path installed = program.parent_path().parent_path() / "share/kestrova/ruffle";
        if (HoldsRuffle(installed)) {
            return installed.string();
        }
    }
#ifdef KESTROVA_BUILD_RUFFLE_DIR
    if (HoldsRuffle(KESTROVA_BUILD_RUFFLE_DIR)) {
        return KESTROVA_BUILD_RUFFLE_DIR;
    }
#endif
    return {};
}

std::string PublishHtmlPage(const std::string& moviePath, int width, int height,
                            uint32_t backgroundBgr, const std::string& ruffleUrl,
                            const std::string& ruffleSource) {
    fs::path movie(moviePath);
    std::string pagePath = HtmlPagePath(moviePath);
    std::string text =
        HtmlPageText(movie.filename().string(), width, height, backgroundBgr, ruffleUrl);
    FILE* file = std::fopen(pagePath.c_str(), "wb");
    bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file != nullptr && std::fclose(file) != 0) {
        written = false;
    }
    if (!written) {
        return "Error, unable to write the HTML page:\n" + pagePath;
    }
    if (!ruffleUrl.empty()) {
        return {};
    }
    fs::path target = movie.parent_path() / "ruffle";
    if (HoldsRuffle(target)) {
        return {};
    }
    if (!HoldsRuffle(ruffleSource)) {
        return "Error, no Ruffle player is installed to put beside the HTML page:\n" + pagePath;
    }
    // The player's files without the source maps, which only a debugger reads; ruffle.js
    // last, so that a copy cut short is made again next time.
    std::error_code ec;
    fs::create_directories(target, ec);
    auto copy = [&](const fs::path& from) {
        if (!ec) {
            fs::copy_file(from, target / from.filename(), fs::copy_options::overwrite_existing, ec);
        }
    };
    for (const fs::directory_entry& entry : fs::directory_iterator(ruffleSource, ec)) {
        const fs::path& from = entry.path();
        if (entry.is_regular_file() && from.extension() != ".map" &&
            from.filename() != "ruffle.js") {
            copy(from);
        }
    }
    copy(fs::path(ruffleSource) / "ruffle.js");
    if (ec) {
        return "Error, unable to copy the Ruffle player beside the HTML page:\n" + target.string();
    }
    return {};
}

bool ReadMovieFrame(const std::string& moviePath, MovieFrame& frame) {
    // Enough for the header and the first few tags, where the background is set.
    std::ifstream in(moviePath, std::ios::binary);
    std::vector<unsigned char> bytes(4096);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.size() < 9 || bytes[0] != 'F' || bytes[1] != 'W' || bytes[2] != 'S') {
        return false;
    }
    // The frame RECT: 5 bits of field width, then Xmin, Xmax, Ymin, Ymax in twips.
    size_t bitPos = 8 * 8;
    auto bits = [&](unsigned count) {
        int64_t value = 0;
        for (unsigned i = 0; i < count; ++i, ++bitPos) {
            value = value << 1 | ((bytes[bitPos / 8] >> (7 - bitPos % 8)) & 1);
        }
        return value;
    };
    unsigned width = static_cast<unsigned>(bits(5));
    if ((8 * 8 + 5 + 4 * width + 7) / 8 + 4 > bytes.size()) {
        return false;
    }
    auto signedBits = [&](unsigned count) {
        int64_t v = bits(count);
        return count > 0 && (v >> (count - 1)) ? v - (int64_t{1} << count) : v;
    };
    int64_t xMin = signedBits(width), xMax = signedBits(width);
    int64_t yMin = signedBits(width), yMax = signedBits(width);
    frame.width = static_cast<int>((xMax - xMin) / 20);
    frame.height = static_cast<int>((yMax - yMin) / 20);
    // Tags after the frame rate and count: the first SetBackgroundColor (code 9) wins.
    for (size_t pos = (bitPos + 7) / 8 + 4; pos + 2 <= bytes.size();) {
        unsigned header = bytes[pos] | bytes[pos + 1] << 8;
        size_t length = header & 0x3F;
        pos += 2;
        if (length == 0x3F) {
            if (pos + 4 > bytes.size()) {
                break;
            }
            length = bytes[pos] | bytes[pos + 1] << 8 | bytes[pos + 2] << 16 |
                     static_cast<size_t>(bytes[pos + 3]) << 24;
            pos += 4;
        }
        if (header >> 6 == 9 && length >= 3 && pos + 3 <= bytes.size()) {
            frame.backgroundBgr = bytes[pos] | bytes[pos + 1] << 8 | bytes[pos + 2] << 16;
            break;
        }
        if (header >> 6 == 0) {
            break;
        }
        pos += length;
    }
    return true;
}

} // namespace kestrova::engine
