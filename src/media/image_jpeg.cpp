// JPEG back end: libjpeg-turbo, its TurboJPEG API for reading and its libjpeg API for writing
// (which alone offers Huffman tables made for the picture); one codec per call.
#include "media/image_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include <jpeglib.h>
#include <turbojpeg.h>

namespace kestrova::media {

namespace {

// Sampling factors of the luma component of every JPEG we write (the chroma components are
// 1 x 1): 4:2:0. Measured with bench_jpeg on 50 photographs kept as camera-like JPEGs, at
// qualities 30 to 95 with optimized tables and equal PSNR against the source: 4:4:4 takes
// 5-25 % more bytes than 4:2:0 at all but two qualities (75 and 80, where it takes 5-9 %
// less), 4:2:2 up to 22 % more. From lossless copies of the same photographs, 4:4:4 and 4:2:2
// are larger below quality 75 too, and 4-17 % smaller from 80 up.
constexpr int kLumaSamplingH = 2;
constexpr int kLumaSamplingV = 2;

uint8_t* Fail(int code) {
    ISSetLastError(code);
    return nullptr;
}

// libjpeg keeps decoding a file that ends early and fills the missing rows with grey; such a
// file is treated as broken. Other warnings (stray bytes between markers) are tolerated.
bool IsFatal(tjhandle handle) {
    if (tjGetErrorCode(handle) != TJERR_WARNING) {
        return true;
    }
    return std::strstr(tjGetErrorStr2(handle), "Premature end") != nullptr;
}

// Adobe CMYK JPEGs store inverted ink values (255 = no ink), which makes the conversion a
// plain product: red = (255 - cyan ink) * (255 - black ink) / 255.
void CmykToRgb(uint8_t* pixels, size_t count) {
    const uint8_t* in = pixels;
    uint8_t* out = pixels;
    for (size_t i = 0; i < count; ++i, in += 4, out += 3) {
        const uint32_t k = in[3];
        out[0] = static_cast<uint8_t>((in[0] * k + 127) / 255);
        out[1] = static_cast<uint8_t>((in[1] * k + 127) / 255);
        out[2] = static_cast<uint8_t>((in[2] * k + 127) / 255);
    }
}

uint8_t* Decode(tjhandle handle, const ISSource* source, uint32_t* width, uint32_t* height) {
    int w = 0;
    int h = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (tjDecompressHeader3(handle, source->data, source->length, &w, &h, &subsampling,
                            &colorspace) != 0) {
        return Fail(kImageErrBadJpg);
    }
    const int sizeCode = ISCheckImageSize(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    if (sizeCode != kImageOk) {
        // A header that ends before the frame header reports no size at all.
        return Fail(sizeCode == kImageErrBadParam ? kImageErrBadJpg : sizeCode);
    }
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    const int pixelSize = cmyk ? 4 : 3;
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    auto* pixels = static_cast<uint8_t*>(std::malloc(count * pixelSize));
    if (pixels == nullptr) {
        return Fail(kImageErrNoMemory);
    }
    // LIMITSCANS refuses progressive files with an absurd number of scans (a decoding bomb).
    if (tjDecompress2(handle, source->data, source->length, pixels, w, 0, h,
                      cmyk ? TJPF_CMYK : TJPF_RGB, TJFLAG_LIMITSCANS) != 0 &&
        IsFatal(handle)) {
        std::free(pixels);
        return Fail(kImageErrBadJpg);
    }
    if (cmyk) {
        CmykToRgb(pixels, count);
        // Shrinking in place keeps the block; a failed realloc leaves it valid and larger.
        if (void* smaller = std::realloc(pixels, count * 3)) {
            pixels = static_cast<uint8_t*>(smaller);
        }
    }
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(h);
    ISSetLastError(kImageOk);
    return pixels;
}

// libjpeg reports errors through a callback that must not return: ours jumps back to the
// compressing call, which then frees the codec and reports failure.
struct JumpingErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

[[noreturn]] void JumpOnError(j_common_ptr codec) {
    std::longjmp(reinterpret_cast<JumpingErrors*>(codec->err)->jump, 1);
}

void Quiet(j_common_ptr) {}

// Output into one block of fixed size; running past its end is an error, remembered as such.
struct BlockDestination {
    jpeg_destination_mgr manager;
    bool overflow;
};

void StartBlock(j_compress_ptr) {}
boolean BlockFull(j_compress_ptr codec) {
    reinterpret_cast<BlockDestination*>(codec->dest)->overflow = true;
    codec->err->error_exit(reinterpret_cast<j_common_ptr>(codec));
    return FALSE;
}
void EndBlock(j_compress_ptr) {}

// Compresses the pixels into the block as a baseline JPEG with Huffman tables made for this
// picture (a second pass over the coefficients, about a tenth smaller than the standard
// tables at no loss). Returns the bytes written, or 0 with code set. Only plain C objects
// live in this frame, as the error path leaves it by longjmp.
size_t Compress(uint8_t* block, size_t capacity, const uint8_t* rgb, uint32_t width,
                uint32_t height, int quality, int* code) {
    jpeg_compress_struct codec;
    JumpingErrors errors;
    BlockDestination destination;
    codec.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JumpOnError;
    errors.manager.output_message = Quiet;
    destination.manager.next_output_byte = block;
    destination.manager.free_in_buffer = capacity;
    destination.manager.init_destination = StartBlock;
    destination.manager.empty_output_buffer = BlockFull;
    destination.manager.term_destination = EndBlock;
    destination.overflow = false;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&codec);
        *code = destination.overflow ? kImageErrOutputTooSmall : kImageErrBadJpg;
        return 0;
    }
    jpeg_create_compress(&codec);
    codec.dest = &destination.manager;
    codec.image_width = width;
    codec.image_height = height;
    codec.input_components = 3;
    codec.in_color_space = JCS_RGB;
    jpeg_set_defaults(&codec);
    jpeg_set_quality(&codec, quality, TRUE);
    codec.optimize_coding = TRUE;
    codec.comp_info[0].h_samp_factor = kLumaSamplingH;
    codec.comp_info[0].v_samp_factor = kLumaSamplingV;
    jpeg_start_compress(&codec, TRUE);
    while (codec.next_scanline < height) {
        JSAMPROW rows[16];
        JDIMENSION count = 0;
        for (; count < 16 && codec.next_scanline + count < height; ++count) {
            rows[count] =
                const_cast<JSAMPROW>(rgb + size_t{codec.next_scanline + count} * width * 3);
        }
        jpeg_write_scanlines(&codec, rows, count);
    }
    jpeg_finish_compress(&codec);
    const size_t written = capacity - destination.manager.free_in_buffer;
    jpeg_destroy_compress(&codec);
    *code = kImageOk;
    return written;
}

// Compresses into dest's buffer directly when it is at least the bound (the encoder then
// never needs more), else into a block of the bound that is copied when it fits.
size_t Encode(ISDest* dest, const uint8_t* rgb, uint32_t width, uint32_t height, int quality) {
    const size_t bound = ISJpegBufferSize(width, height);
    int code = kImageOk;
    if (dest->capacity >= bound) {
        const size_t length =
            Compress(dest->buffer, dest->capacity, rgb, width, height, quality, &code);
        ISSetLastError(code);
        return length;
    }
    std::unique_ptr<uint8_t, decltype(&std::free)> out(static_cast<uint8_t*>(std::malloc(bound)),
                                                       &std::free);
    if (!out) {
        ISSetLastError(kImageErrNoMemory);
        return 0;
    }
    const size_t length = Compress(out.get(), bound, rgb, width, height, quality, &code);
    if (code == kImageOk && length > dest->capacity) {
        code = kImageErrOutputTooSmall;
    }
    if (code == kImageOk) {
        std::memcpy(dest->buffer, out.get(), length);
    }
    ISSetLastError(code);
    return code == kImageOk ? length : 0;
}

} // namespace

uint8_t* ISReadJPG(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** /*alpha*/) {
    if (source == nullptr || width == nullptr || height == nullptr) {
        return Fail(kImageErrBadParam);
    }
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr) {
        return Fail(kImageErrNoMemory);
    }
    uint8_t* pixels = Decode(handle, source, width, height);
    tjDestroy(handle);
    if (pixels != nullptr) {
        // Cameras store the picture as the sensor saw it and say in EXIF how to turn it.
        pixels = ISApplyOrientation(pixels, width, height,
                                    ISJpegOrientation(source->data, source->length));
    }
    return pixels;
}

namespace {

// Fills in the frame of a kept JPEG from a baseline 8-bit frame header of one or three
// components and a non-zero size; false for any other frame.
bool ReadBaselineFrame(const uint8_t* payload, size_t length, KeptJpeg& kept) {
    if (length < 6 || payload[0] != 8) {
        return false;
    }
    kept.height = uint32_t{payload[1]} << 8 | payload[2];
    kept.width = uint32_t{payload[3]} << 8 | payload[4];
    const uint8_t components = payload[5];
    return (components == 1 || components == 3) && length >= 6 + size_t{components} * 3 &&
           ISCheckImageSize(kept.width, kept.height) == kImageOk;
}

// Position just past the entropy-coded data starting at `position`: the first marker other
// than a stuffed zero, a restart marker or a fill byte.
size_t SkipEntropyData(const uint8_t* data, size_t length, size_t position) {
    while (position + 1 < length) {
        if (data[position] == 0xFF) {
            const uint8_t next = data[position + 1];
            if (next != 0x00 && next != 0xFF && (next < 0xD0 || next > 0xD7)) {
                return position;
            }
            position += next == 0xFF ? 1 : 2;
        } else {
            ++position;
        }
    }
    return length;
}

} // namespace

std::optional<KeptJpeg> ISKeepJpeg(const uint8_t* data, size_t length) {
    if (data == nullptr || length < 4 || data[0] != 0xFF || data[1] != 0xD8 ||
        ISJpegOrientation(data, length) != 1) {
        return std::nullopt;
    }
    // libjpeg's reading of the colour space: three components may also be RGB (Adobe's
    // transform flag or the components' names), which players would take for YCbCr.
    int w = 0, h = 0, subsampling = 0, colorspace = -1;
    tjhandle handle = tjInitDecompress();
    const bool header = handle != nullptr && tjDecompressHeader3(handle, data, length, &w, &h,
                                                                 &subsampling, &colorspace) == 0;
    tjDestroy(handle);
    if (!header || (colorspace != TJCS_YCbCr && colorspace != TJCS_GRAY)) {
        return std::nullopt;
    }
    KeptJpeg kept;
    kept.data.reserve(length);
    kept.data.insert(kept.data.end(), data, data + 2);
    bool frame = false, huffman = false, quantization = false;
    size_t position = 2;
    while (position + 1 < length) {
        if (data[position] != 0xFF) {
            return std::nullopt;
        }
        const uint8_t marker = data[position + 1];
        if (marker == 0xFF) { // fill byte
            ++position;
            continue;
        }
        if (marker == 0xD9) {
            if (!frame || !huffman || !quantization) {
                return std::nullopt;
            }
            kept.data.insert(kept.data.end(), data + position, data + position + 2);
            return kept;
        }
        if (position + 4 > length) {
            return std::nullopt;
        }
        const size_t segment = size_t{data[position + 2]} << 8 | data[position + 3];
        if (segment < 2 || segment > length - position - 2) {
            return std::nullopt;
        }
        const uint8_t* payload = data + position + 4;
        size_t end = position + 2 + segment;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            // Frame headers: only the baseline one, once.
            if (marker != 0xC0 || frame || !ReadBaselineFrame(payload, segment - 2, kept)) {
                return std::nullopt;
            }
            frame = true;
        } else if (marker == 0xC4) {
            huffman = true;
        } else if (marker == 0xDB) {
            quantization = true;
        } else if (marker == 0xDA) {
            if (!frame) {
                return std::nullopt;
            }
            end = SkipEntropyData(data, length, end);
        }
        // Application data and comments say nothing a player needs.
        if ((marker < 0xE0 || marker > 0xEF) && marker != 0xFE) {
            kept.data.insert(kept.data.end(), data + position, data + end);
        }
        position = end;
    }
    return std::nullopt; // no end of image
}

size_t ISJpegBufferSize(uint32_t width, uint32_t height) {
    if (ISCheckImageSize(width, height) != kImageOk) {
        return 0;
    }
    // The 4:4:4 bound, which holds for every sampling.
    const unsigned long size =
        tjBufSize(static_cast<int>(width), static_cast<int>(height), TJSAMP_444);
    return size == static_cast<unsigned long>(-1) ? 0 : size;
}

size_t ISWriteJPG(ISDest* dest, const uint8_t* rgb, uint32_t width, uint32_t height, int quality) {
    if (dest == nullptr || rgb == nullptr || ISCheckImageSize(width, height) != kImageOk) {
        ISSetLastError(kImageErrBadParam);
        return 0;
    }
    return Encode(dest, rgb, width, height, std::clamp(quality, 1, 100));
}

} // namespace kestrova::media
