// The picture formats: one row per format says how it is named, how its content is
// recognised and which reader decodes it. A file's type is found from its content first (the
// rows' signature tests), else from its name's extension. Sniffing, reader dispatch, the
// options entry a format takes and the file dialogs' extra filters all derive from these rows:
// a new format is a reader in its own file (declared in image_codec.h with its guess code), its
// type below and one row in image_guess.cpp.
#pragma once

#include "media/image_codec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kestrova::media {

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

struct ImageFormat {
    int type;  // an ImageType
    int guess; // the ImageGuess code ISGuessFileType gives for this content
    // Lower case, without the dot; an empty view ends the list.
    std::array<std::string_view, 2> extensions;
    // Whether the first bytes are this format's; nullptr for a format without a signature,
    // which is known by its extension only. Signatures of different rows never overlap.
    bool (*signature)(const uint8_t* data, size_t length);
    // nullptr for a format that is recognised but not decoded.
    ISReader reader;
    // The options entry (its extension, ".png") that files of this format take, for formats
    // whose extension has no entry of its own in the options file; nullptr for the others.
    const char* optionsEntry;
    // The file dialogs' label for a format read beyond the classic list of the Add dialog;
    // consecutive rows with the same label share one filter. nullptr for the classic formats.
    const char* filterLabel;
};

// Every format, in a fixed order: the formats that have a reader come in the order the
// picture fuzz target's first byte selects them, a new reader goes at the end.
std::span<const ImageFormat> ImageFormats();

// nullptr when no row matches.
const ImageFormat* ImageFormatOfType(int type);
// Compared case-insensitively with the rows' extensions (no dot, no trimming).
const ImageFormat* ImageFormatOfExtension(std::string_view extension);
const ImageFormat* ImageFormatOfContent(const uint8_t* data, size_t length);

// Type of the first row whose guess code equals guess; 0 when none does.
int ImageTypeFromGuess(int guess);
// Type from the text after the last "." of the name (trailing white space removed), compared
// case-insensitively with the rows' extensions; 0 when none matches.
int ImageTypeFromExtension(const std::string& path);
// Type from the signature of a file's content; 0 when it cannot be opened or is not known.
int ImageTypeFromFile(const std::string& path);
int ImageTypeFromMemory(const uint8_t* data, size_t length);

} // namespace kestrova::media
