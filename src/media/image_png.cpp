// PNG back end: libpng reads every colour type, bit depth and interlacing into 8-bit RGB;
// an alpha channel (or a tRNS transparency) becomes the alpha plane, the colour values are
// kept as stored.
#include "media/image_codec.h"

#include <cstdlib>
#include <cstring>

#include <png.h>

namespace kestrova::media {

namespace {

// Everything a read owns lives here, so a longjmp out of libpng can release it afterwards.
struct PngReadState {
    const uint8_t* data;
    size_t length;
    size_t position;
    uint8_t* pixels;
    png_bytep* rows;
    int code;
    bool wantAlpha;
    uint8_t* alpha; // set when the picture has transparency and the caller asked for it
};

void PngError(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}
void PngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void PngReadBytes(png_structp png, png_bytep out, size_t count) {
    auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
    if (count > state->length - state->position) {
        png_error(png, "file ends early");
    }
    std::memcpy(out, state->data + state->position, count);
    state->position += count;
}

// No C++ object with a destructor may live in this frame: libpng leaves it by longjmp.
int DecodePng(png_structp png, png_infop info, PngReadState* state, uint32_t* width,
              uint32_t* height) {
    if (setjmp(png_jmpbuf(png))) {
        return state->code;
    }
    png_set_read_fn(png, state, PngReadBytes);
    // Our own size check below gives the clearer error for large pictures.
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    const int sizeCode = ISCheckImageSize(w, h);
    if (sizeCode != kImageOk) {
        return sizeCode;
    }
    png_set_scale_16(png);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
    const bool keepAlpha =
        state->wantAlpha && (png_get_valid(png, info, PNG_INFO_tRNS) ||
                             png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA);
    if (keepAlpha) {
        png_set_tRNS_to_alpha(png);
    } else {
        png_set_strip_alpha(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t pixelBytes = keepAlpha ? 4 : 3;
    if (png_get_rowbytes(png, info) != static_cast<size_t>(w) * pixelBytes) {
        return kImageErrPngInternal;
    }
    const size_t count = static_cast<size_t>(w) * h;
    state->pixels = static_cast<uint8_t*>(std::malloc(count * pixelBytes));
    state->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * h));
    if (state->pixels == nullptr || state->rows == nullptr) {
        return kImageErrNoMemory;
    }
    for (png_uint_32 y = 0; y < h; ++y) {
        state->rows[y] = state->pixels + static_cast<size_t>(y) * w * pixelBytes;
    }
    png_read_image(png, state->rows);
    if (keepAlpha) {
        const int code = ISSplitAlpha(&state->pixels, count, &state->alpha);
        if (code != kImageOk) {
            return code;
        }
    }
    *width = w;
    *height = h;
    return kImageOk;
}

} // namespace

uint8_t* ISReadPNG(const ISSource* source, uint32_t* width, uint32_t* height, uint8_t** alpha) {
    if (source == nullptr || width == nullptr || height == nullptr) {
        ISSetLastError(kImageErrBadParam);
        return nullptr;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        ISSetLastError(kImageErrNoMemory);
        return nullptr;
    }
    PngReadState state{source->data,    source->length,   0,      nullptr, nullptr,
                       kImageErrBadPng, alpha != nullptr, nullptr};
    const int code = DecodePng(png, info, &state, width, height);
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(state.rows);
    if (code != kImageOk) {
        std::free(state.pixels);
        std::free(state.alpha);
        state.pixels = nullptr;
    } else if (state.alpha != nullptr) {
        *alpha = state.alpha;
    }
    ISSetLastError(code);
    return state.pixels;
}

} // namespace kestrova::media
