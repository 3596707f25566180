// Picture types and how a file's type is found: from its content first (the signature guess
// of ISGuessFileType), else from its name's extension.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// ImageType codes.
enum ImageType : int {
    kImageTypeUnknown = 0,
    kImageTypeJpeg = 1,
    kImageTypePng = 3,
    kImageTypeBmp = 6,
    kImageTypePcx = 9,
    kImageTypeTiff = 12,
    kImageTypeTga = 16,
    kImageTypeWmf = 19,
    kImageTypePsd = 20,
    kImageTypeEmf = 23,
    kImageTypeWbmp = 24,
    kImageTypeGif = 25,
    kImageTypeWebp = 26,
};

// One row of the picture format table.
struct ImageFormatRow {
    int imageType;
    int guessCode;
    const char* extension; // upper case, dot included; empty for the unknown row
};

// The format table, searched from row 0.
extern const ImageFormatRow kImageFormats[15];

// Type of the first row whose guess code equals guess; 0 when none does.
int ImageTypeFromGuess(int guess);
// Type from the text after the last "." of the name (dot included, trailing white space
// removed), compared case-insensitively with the table's extensions; 0 when none matches.
int ImageTypeFromExtension(const std::string& path);
// Type from the signature of a file's content; 0 when it cannot be opened or is not known.
int ImageTypeFromFile(const std::string& path);
int ImageTypeFromMemory(const uint8_t* data, size_t length);
