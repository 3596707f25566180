#include "media/image_guess.h"

#include "media/image_codec.h"

#include <cctype>
#include <cstdio>
#include <cstring>

const ImageFormatRow kImageFormats[15] = {
    {kImageTypeUnknown, kGuessUnknown, ""}, {kImageTypeBmp, kGuessBmp, ".BMP"},
    {kImageTypeJpeg, kGuessJpeg, ".JPG"},   {kImageTypeJpeg, kGuessJpeg, ".JPEG"},
    {kImageTypePng, kGuessPng, ".PNG"},     {kImageTypePcx, kGuessPcx, ".PCX"},
    {kImageTypeTiff, kGuessTiff, ".TIF"},   {kImageTypeTiff, kGuessTiff, ".TIFF"},
    {kImageTypeWmf, kGuessWmf, ".WMF"},     {kImageTypeEmf, kGuessEmf, ".EMF"},
    {kImageTypePsd, kGuessPsd, ".PSD"},     {kImageTypeWbmp, kGuessWbmp, ".WBMP"},
    {kImageTypeTga, kGuessTga, ".TGA"},     {kImageTypeGif, kGuessGif, ".GIF"},
    {kImageTypeWebp, kGuessWebp, ".WEBP"},
};

namespace {

uint32_t Le16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | (Le16(p + 2) << 16);
}

bool StartsWith(const uint8_t* data, size_t length, const char* magic, size_t magicLength) {
    return length >= magicLength && std::memcmp(data, magic, magicLength) == 0;
}

// A standard (not placeable) WMF header: file type 1 (memory) or 2 (disk), a 9-word header
// and Windows version 1.0 or 3.0.
bool IsStandardWmf(const uint8_t* p, size_t length) {
    if (length < 18) {
        return false;
    }
    uint32_t version = Le16(p + 4);
    return (Le16(p) == 1 || Le16(p) == 2) && Le16(p + 2) == 9 &&
           (version == 0x0100 || version == 0x0300);
}

// EMR_HEADER record (type 1) carrying the " EMF" signature at offset 40.
bool IsEmf(const uint8_t* p, size_t length) {
    return length >= 44 && Le32(p) == 1 && std::memcmp(p + 40, " EMF", 4) == 0;
}

// ZSoft manufacturer byte 10, a known version, RLE or raw encoding and a sane bit depth.
bool IsPcx(const uint8_t* p, size_t length) {
    if (length < 128 || p[0] != 0x0A || p[2] > 1) {
        return false;
    }
    const uint8_t version = p[1];
    const uint8_t bits = p[3];
    return (version == 0 || (version >= 2 && version <= 5)) &&
           (bits == 1 || bits == 2 || bits == 4 || bits == 8);
}

} // namespace

int ISGuessFileType(const ISSource* source) {
    if (source == nullptr || source->data == nullptr) {
        ISSetLastError(kImageErrBadParam);
        return kGuessUnknown;
    }
    ISSetLastError(kImageOk);
    const uint8_t* p = source->data;
    const size_t n = source->length;
    if (StartsWith(p, n, "\xFF\xD8\xFF", 3)) {
        return kGuessJpeg;
    }
    if (StartsWith(p, n, "\x89PNG\r\n\x1A\n", 8)) {
        return kGuessPng;
    }
    if (StartsWith(p, n, "BM", 2) && n >= 26) {
        return kGuessBmp;
    }
    if (StartsWith(p, n, "II*\0", 4) || StartsWith(p, n, "MM\0*", 4) ||
        StartsWith(p, n, "II+\0", 4) || StartsWith(p, n, "MM\0+", 4)) {
        return kGuessTiff;
    }
    if (StartsWith(p, n, "8BPS", 4)) {
        return kGuessPsd;
    }
    if (StartsWith(p, n, "GIF87a", 6) || StartsWith(p, n, "GIF89a", 6)) {
        return kGuessGif;
    }
    if (n >= 12 && StartsWith(p, n, "RIFF", 4) && std::memcmp(p + 8, "WEBP", 4) == 0) {
        return kGuessWebp;
    }
    if (IsEmf(p, n)) {
        return kGuessEmf;
    }
    if (StartsWith(p, n, "\xD7\xCD\xC6\x9A", 4) || IsStandardWmf(p, n)) {
        return kGuessWmf;
    }
    if (IsPcx(p, n)) {
        return kGuessPcx;
    }
    return kGuessUnknown;
}

int ImageTypeFromGuess(int guess) {
    for (const ImageFormatRow& row : kImageFormats) {
        if (row.guessCode == guess) {
            return row.imageType;
        }
    }
    return kImageTypeUnknown;
}

int ImageTypeFromExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : path.substr(dot);
    while (!extension.empty() && std::isspace(static_cast<unsigned char>(extension.back()))) {
        extension.pop_back();
    }
    for (const ImageFormatRow& row : kImageFormats) {
        if (extension.size() != std::strlen(row.extension)) {
            continue;
        }
        bool equal = true;
        for (size_t i = 0; i < extension.size() && equal; ++i) {
            equal = std::toupper(static_cast<unsigned char>(extension[i])) == row.extension[i];
        }
        if (equal) {
            return row.imageType;
        }
    }
    return kImageTypeUnknown;
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
