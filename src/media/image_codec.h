// The imaging library: a handful of flat calls that read pictures into 24-bit RGB buffers and
// write RGB buffers as JPEG data. Buffers are 3 bytes a pixel (red, green, blue), rows top to
// bottom, width * 3 bytes a row with no padding; a picture with transparency also gives an
// alpha plane (one byte a pixel, 255 opaque, the colours not premultiplied). A buffer
// returned here is allocated with malloc and freed by the caller with ISFree.
//
// Every call sets the calling thread's last error (0 on success), read with ISGetLastError;
// the words for a code come from ImageErrorText (rgb_image.h).
//
// Back ends: libjpeg-turbo (JPEG), libpng (PNG), libtiff (TIFF), FFmpeg's image decoders
// (BMP, PCX, TGA, GIF, WebP) and our own readers (PSD, WBMP). Each reader has the same shape and
// checks the picture's size against the limits below before it allocates anything; the format
// rows of image_guess.h say which reader reads which format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::media {

// Error codes of the imaging calls.
enum ImageError : int {
    kImageOk = 0,
    kImageErrNoMemory = 1,
    kImageErrFileOpen = 2,
    kImageErrFileRead = 3,
    kImageErrFileWrite = 4,
    kImageErrBadParam = 5,
    kImageErrBadBmp = 6,
    kImageErrRleVariant = 7,
    kImageErrBadJpg = 9,
    kImageErrBadPng = 15,
    kImageErrPngInternal = 16,
    kImageErrMisc = 17,
    kImageErrTiffInternal = 19,
    kImageErrBadTiff = 20,
    kImageErrBadPcx = 22,
    kImageErrBadMetafile = 27,
    kImageErrOutputTooSmall = 30,
    kImageErrBadTga = 32,
    // The picture is wider or taller than a bitmap character can be (65535 pixels).
    kImageErrTooLarge = 37,
    // The picture has more pixels than the budget for one decoded picture.
    kImageErrOverBudget = 38,
};

// A picture's width and height must each be at most this many pixels.
constexpr uint32_t kMaxImageSide = 65535;
// The pixel budget: pictures with more pixels than 16384 x 16384 are refused from the sizes
// in their header, before anything is allocated (768 MB of RGB pixels at most).
constexpr uint64_t kMaxImagePixels = uint64_t{16384} * 16384;

// 0 when a picture of this size may be decoded, else kImageErrBadParam (a zero side),
// kImageErrOverBudget or kImageErrTooLarge.
int ISCheckImageSize(uint64_t width, uint64_t height);

int ISGetLastError();
void ISSetLastError(int code);
void ISFree(void* buffer);

// The bytes of one picture: a whole file read into memory, or a caller's block that must
// outlive the source.
struct ISSource {
    const uint8_t* data = nullptr;
    size_t length = 0;
    std::vector<uint8_t> owned;
};

// nullptr on failure (last error 2 when the file cannot be opened, 3 when it cannot be read,
// 1 when it does not fit in memory).
ISSource* ISOpenFileSource(const std::string& path);
// nullptr (last error 5) when data is null.
ISSource* ISOpenMemorySource(const uint8_t* data, size_t length);
void ISCloseSource(ISSource* source);

// Guess codes: what the content of a source looks like.
enum ImageGuess : int {
    kGuessUnknown = 0,
    kGuessBmp = 1,
    kGuessJpeg = 3,
    kGuessPng = 4,
    kGuessPcx = 5,
    kGuessTiff = 6,
    kGuessWmf = 7,
    kGuessEmf = 8,
    kGuessPsd = 10,
    kGuessWbmp = 13, // never guessed: WBMP has no signature
    kGuessTga = 14,  // never guessed: TGA has no signature
    kGuessGif = 15,
    kGuessWebp = 16,
};

// Looks at the first bytes only, through the format rows' signature tests (image_guess.h);
// kGuessUnknown when no signature matches.
int ISGuessFileType(const ISSource* source);

// The readers: a new RGB buffer and its size, or nullptr with the last error set. When alpha
// is not null and the picture has transparency (PNG, TGA, TIFF, PSD, GIF, WebP), *alpha
// receives its alpha plane; it is left as it is otherwise.
using ISReader = uint8_t* (*)(const ISSource* source, uint32_t* width, uint32_t* height,
                              uint8_t** alpha);

uint8_t* ISReadJPG(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
uint8_t* ISReadPNG(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
uint8_t* ISReadTIFF(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
uint8_t* ISReadBMP(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
uint8_t* ISReadPCX(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
uint8_t* ISReadTGA(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
uint8_t* ISReadPSD(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
uint8_t* ISReadWBMP(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
// The first frame; its transparent pixels have alpha 0.
uint8_t* ISReadGIF(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
uint8_t* ISReadWEBP(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha);
// The EXIF orientation (1..8) of JPEG data: 1 when it has no EXIF block, no orientation tag
// or one that cannot be read.
int ISJpegOrientation(const uint8_t* data, size_t length);
// Puts a decoded picture (malloc'd RGB, or an alpha plane with pixelBytes 1, as stored) upright
// for an orientation 1..8: 2 mirrors it left-right, 3 turns it 180 degrees, 4 mirrors it
// top-bottom, 5 transposes it, 6 turns it 90 degrees clockwise, 7 transverses it, 8 turns it
// 90 degrees counter-clockwise (5..8 swap width and height). Other values leave it as it is.
// Returns the buffer (a new one for 5..8, the old one freed), or nullptr (the old one freed, last
// error 1) when no copy can be had.
uint8_t* ISApplyOrientation(uint8_t* rgb, uint32_t* width, uint32_t* height, int orientation,
                            size_t pixelBytes = 3);
// Packs RGBA pixels (4 bytes a pixel) into RGB in place, shrinking the block, and takes their
// alpha out into a new plane put in *alpha; with alpha null the alpha is dropped. Returns
// kImageOk, or kImageErrNoMemory (the pixels then packed, *alpha unchanged) when the plane
// cannot be had.
int ISSplitAlpha(uint8_t** rgba, size_t count, uint8_t** alpha);
// Composites RGB pixels with their alpha plane over an opaque background colour (0xRRGGBB), in
// place, rounding to the nearest value.
void ISCompositeOver(uint8_t* rgb, const uint8_t* alpha, size_t count, uint32_t backgroundRgb);
// JPEG data a player can show as it is, with the size from its frame header.
struct KeptJpeg {
    std::vector<uint8_t> data;
    uint32_t width = 0;
    uint32_t height = 0;
};
// The JPEG data itself, start to end of image, without its application segments and
// comments, when it is baseline 8-bit YCbCr or grayscale with Huffman tables and nothing
// (an EXIF orientation) to turn. Reads the headers only; std::nullopt for any other data
// (progressive, CMYK, RGB, 12-bit, arithmetic-coded, oriented, cut short), which must be
// decoded and written anew.
std::optional<KeptJpeg> ISKeepJpeg(const uint8_t* data, size_t length);
// Windows and enhanced metafiles are not rendered: always nullptr with kImageErrBadMetafile.
uint8_t* ISReadMetafileToRGB(const std::string& path, uint32_t* width, uint32_t* height,
                             uint32_t defaultWidth, uint32_t defaultHeight,
                             uint32_t backgroundColor);

// Where ISWriteJPG puts its bytes: a caller's buffer.
struct ISDest {
    uint8_t* buffer = nullptr;
    size_t capacity = 0;
};

// nullptr (last error 5) when buffer is null or capacity is 0.
ISDest* ISOpenMemoryDest(uint8_t* buffer, size_t capacity);
void ISCloseDest(ISDest* dest);

// Bytes a memory destination needs so that ISWriteJPG can never run out of room, whatever
// the picture and quality (0 when the size is not a valid picture size).
size_t ISJpegBufferSize(uint32_t width, uint32_t height);

// Writes an 8-bit baseline YCbCr JPEG (4:2:0, Huffman tables optimized for the picture) at
// quality 1..100 (clamped). Returns the number of bytes written, 0 on failure (last error 30
// when the caller's buffer is too small, 5 for a bad argument, 9 when the encoder fails).
size_t ISWriteJPG(ISDest* dest, const uint8_t* rgb, uint32_t width, uint32_t height, int quality);

// Resamples an RGB picture into a caller's buffer of newWidth * newHeight * 3 bytes: area
// averaging when shrinking both ways, bicubic otherwise. Returns the error code.
int ISResizeImage(const uint8_t* source, uint32_t width, uint32_t height, uint8_t* target,
                  uint32_t newWidth, uint32_t newHeight);

} // namespace kestrova::media
