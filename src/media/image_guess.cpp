#include "media/image_guess.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace kestrova::media {

namespace {

uint32_t Le16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

template <size_t N> bool StartsWith(const uint8_t* data, size_t length, const char (&magic)[N]) {
    return length >= N - 1 && std::memcmp(data, magic, N - 1) == 0;
}

bool IsJpeg(const uint8_t* p, size_t n) {
    return StartsWith(p, n, "\xFF\xD8\xFF");
}

bool IsPng(const uint8_t* p, size_t n) {
    return StartsWith(p, n, "\x89PNG\r\n\x1A\n");
}

// Little- and big-endian, classic and BigTIFF.
bool IsTiff(const uint8_t* p, size_t n) {
    return StartsWith(p, n, "II*\0") || StartsWith(p, n, "MM\0*") || StartsWith(p, n, "II+\0") ||
           StartsWith(p, n, "MM\0+");
}

// The signature and room for the file header and the start of the info header.
bool IsBmp(const uint8_t* p, size_t n) {
    return StartsWith(p, n, "BM") && n >= 26;
}

// ZSoft manufacturer byte 10, a known version, RLE or raw encoding and a sane bit depth.
bool IsPcx(const uint8_t* p, size_t n) {
    if (n < 128 || p[0] != 0x0A || p[2] > 1) {
        return false;
    }
    const uint8_t version = p[1];
    const uint8_t bits = p[3];
    return (version == 0 || (version >= 2 && version <= 5)) &&
           (bits == 1 || bits == 2 || bits == 4 || bits == 8);
}

bool IsPsd(const uint8_t* p, size_t n) {
    return StartsWith(p, n, "8BPS");
}

bool IsGif(const uint8_t* p, size_t n) {
    return StartsWith(p, n, "GIF87a") || StartsWith(p, n, "GIF89a");
}

bool IsWebp(const uint8_t* p, size_t n) {
    return n >= 12 && StartsWith(p, n, "RIFF") && std::memcmp(p + 8, "WEBP", 4) == 0;
}

// A placeable WMF header, or a standard one: file type 1 (memory) or 2 (disk), a 9-word
// header and Windows version 1.0 or 3.0.
bool IsWmf(const uint8_t* p, size_t n) {
    if (StartsWith(p, n, "\xD7\xCD\xC6\x9A")) {
        return true;
    }
    if (n < 18) {
        return false;
    }
    const uint32_t version = Le16(p + 4);
    return (Le16(p) == 1 || Le16(p) == 2) && Le16(p + 2) == 9 &&
           (version == 0x0100 || version == 0x0300);
}

// EMR_HEADER record (type 1) carrying the " EMF" signature at offset 40.
bool IsEmf(const uint8_t* p, size_t n) {
    return n >= 44 && Le32(p) == 1 && std::memcmp(p + 40, " EMF", 4) == 0;
}

// WBMP, GIF and WebP have no entry in the options file, which keeps the 16 entries older
// versions know: their pictures are best kept lossless, as PNG's are.
constexpr ImageFormat kFormats[] = {
    {kImageTypeJpeg, kGuessJpeg, {"jpg", "jpeg"}, IsJpeg, ISReadJPG, nullptr, nullptr},
    {kImageTypePng, kGuessPng, {"png"}, IsPng, ISReadPNG, nullptr, nullptr},
    {kImageTypeTiff, kGuessTiff, {"tif", "tiff"}, IsTiff, ISReadTIFF, nullptr, nullptr},
    {kImageTypeBmp, kGuessBmp, {"bmp"}, IsBmp, ISReadBMP, nullptr, nullptr},
    {kImageTypePcx, kGuessPcx, {"pcx"}, IsPcx, ISReadPCX, nullptr, nullptr},
    {kImageTypeTga, kGuessTga, {"tga"}, nullptr, ISReadTGA, nullptr, nullptr},
    {kImageTypePsd, kGuessPsd, {"psd"}, IsPsd, ISReadPSD, nullptr, nullptr},
    {kImageTypeWbmp, kGuessWbmp, {"wbmp"}, nullptr, ISReadWBMP, ".png", "wireless bitmap"},
    {kImageTypeGif, kGuessGif, {"gif"}, IsGif, ISReadGIF, ".png", "gif and webp pictures"},
    {kImageTypeWebp, kGuessWebp, {"webp"}, IsWebp, ISReadWEBP, ".png", "gif and webp pictures"},
    // Metafiles are recognised but not rendered.
    {kImageTypeWmf, kGuessWmf, {"wmf"}, IsWmf, nullptr, nullptr, nullptr},
    {kImageTypeEmf, kGuessEmf, {"emf"}, IsEmf, nullptr, nullptr, nullptr},
};

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

std::span<const ImageFormat> ImageFormats() {
    return kFormats;
}

const ImageFormat* ImageFormatOfType(int type) {
    for (const ImageFormat& format : kFormats) {
        if (format.type == type) {
            return &format;
        }
    }
    return nullptr;
}

const ImageFormat* ImageFormatOfExtension(std::string_view extension) {
    if (extension.empty()) {
        return nullptr;
    }
    for (const ImageFormat& format : kFormats) {
        for (std::string_view known : format.extensions) {
            if (EqualIgnoringCase(extension, known)) {
                return &format;
            }
        }
    }
    return nullptr;
}

const ImageFormat* ImageFormatOfContent(const uint8_t* data, size_t length) {
    for (const ImageFormat& format : kFormats) {
        if (format.signature != nullptr && format.signature(data, length)) {
            return &format;
        }
    }
    return nullptr;
}

int ISGuessFileType(const ISSource* source) {
    if (source == nullptr || source->data == nullptr) {
        ISSetLastError(kImageErrBadParam);
        return kGuessUnknown;
    }
    ISSetLastError(kImageOk);
    const ImageFormat* format = ImageFormatOfContent(source->data, source->length);
    return format != nullptr ? format->guess : kGuessUnknown;
}

int ImageTypeFromGuess(int guess) {
    for (const ImageFormat& format : kFormats) {
        if (format.guess == guess) {
            return format.type;
        }
    }
    return kImageTypeUnknown;
}

int ImageTypeFromExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    std::string_view extension =
        dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot + 1);
    while (!extension.empty() && std::isspace(static_cast<unsigned char>(extension.back()))) {
        extension.remove_suffix(1);
    }
    const ImageFormat* format = ImageFormatOfExtension(extension);
    return format != nullptr ? format->type : kImageTypeUnknown;
}

int ImageTypeFromFile(const std::string& path) {
    // Every signature lies within the first 128 bytes: read only those.
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return kImageTypeUnknown;
    }
    uint8_t head[128];
    const size_t length = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return ImageTypeFromMemory(head, length);
}

int ImageTypeFromMemory(const uint8_t* data, size_t length) {
    ISSource* source = ISOpenMemorySource(data, length);
    if (source == nullptr) {
        return kImageTypeUnknown;
    }
    const int type = ImageTypeFromGuess(ISGuessFileType(source));
    ISCloseSource(source);
    return type;
}

} // namespace kestrova::media
