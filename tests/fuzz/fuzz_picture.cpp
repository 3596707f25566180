// Picture sniffing and decoding from memory. The first byte chooses the way in: by content
// (as for a file whose extension is not trusted) or straight into one reader, the readers
// counted in the order of the format rows, so formats without a signature (TGA, WBMP) are
// reached too. A decoded picture is then laid out as a lossless bitmap, resized, composited
// over a background and written as JPEG, as the converter does; sniffed data also goes through
// the Original JPEG check.
#include <cstdlib>
#include <vector>

#include "media/image_codec.h"
#include "media/image_guess.h"
#include "media/lossless_pixels.h"
#include "media/media_log.h"
#include "media/rgb_image.h"
#include "support/test_namespace.h"

namespace kestrova::test {

namespace {

// The formats that have a reader, in the rows' order: 1 is JPEG, then PNG, TIFF, BMP, PCX, TGA,
// PSD, WBMP, GIF and WebP; a new reader comes after them, so the seeds keep their readers.
std::vector<ISReader> Readers() {
    std::vector<ISReader> readers;
    for (const ImageFormat& format : ImageFormats()) {
        if (format.reader != nullptr) {
            readers.push_back(format.reader);
        }
    }
    return readers;
}

void Exercise(RgbImage& image) {
    if (image.IsEmpty()) {
        return;
    }
    RgbImage copy;
    if (copy.CopyFrom(image) == kImageOk) {
        TakeLosslessPixels(copy);
    }
    const uint32_t width = image.Width() / 3 + 1, height = image.Height() / 3 + 1;
    if (image.Resize(width, height) != kImageOk) {
        return;
    }
    image.CompositeOver(0x336699);
    std::vector<uint8_t> jpeg(ISJpegBufferSize(width, height));
    if (image.WriteJpegToMemory(jpeg.data(), static_cast<uint32_t>(jpeg.size()), 70) <= 0) {
        std::abort(); // a buffer of the codec's bound is always large enough
    }
}

} // namespace

// FFmpeg is kept quiet as in the programs: its warnings about damaged input are expected here.

} // namespace kestrova::test

using namespace kestrova::test;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietMediaLibraryLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::vector<ISReader> readers = Readers();
    const size_t way = data[0] % (readers.size() + 1);
    ++data;
    --size;
    RgbImage image;
    if (way == 0) {
        // What Original JPEG keeps is never longer than the data it comes from.
        if (auto kept = ISKeepJpeg(data, size); kept && kept->data.size() > size) {
            std::abort();
        }
        image.LoadMemory(data, size);
        Exercise(image);
        return 0;
    }
    ISSource* source = ISOpenMemorySource(data, size);
    if (source == nullptr) {
        return 0;
    }
    uint32_t width = 0, height = 0;
    uint8_t* alpha = nullptr;
    uint8_t* pixels = readers[way - 1](source, &width, &height, &alpha);
    ISCloseSource(source);
    if ((pixels != nullptr && (width == 0 || height == 0)) || (pixels == nullptr && alpha)) {
        std::abort(); // a picture has a size, and a failed read gives no alpha plane
    }
    ISFree(pixels);
    ISFree(alpha);
    return 0;
}
