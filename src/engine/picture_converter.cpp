// Pictures into movies: decoding into the store, the bitmap character, the bitmap-filled
// rectangle, its sprite and its placement at depth 1.
#include "engine/convert_engine.h"
#include "engine/engine_tags.h"

#include "media/image_codec.h"
#include "media/rgb_image.h"
#include "swf/swf_actions.h"
#include "swf/swf_bitmaps.h"
#include "swf/swf_shapes.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace {

std::string DecodeErrorText(const std::string& path, int code) {
    return "Error During Conversion of file:\n" + path + "\n\nError Message:\n" +
           ImageErrorText(code);
}

void SizeOf(const RgbImage& image, int& width, int& height) {
    uint32_t w = 0, h = 0;
    image.Size(&w, &h);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
}

// Turns the image's RGB block into format-5 lossless pixels (a reserved 0 byte, then red,
// green, blue) in place: the block grows to 4 bytes a pixel, plus the one byte the store has
// always given, and the pixels are spread out from the last one back, so a large picture is
// never held twice. The image is left empty; nullptr when the larger block cannot be had.
unsigned char* TakeLosslessPixels(RgbImage& image, size_t* length) {
    const size_t count = size_t{image.Width()} * image.Height();
    unsigned char* rgb = image.ReleasePixels();
    *length = count * 4 + 1;
    auto* out = rgb == nullptr ? nullptr : static_cast<unsigned char*>(std::realloc(rgb, *length));
    if (out == nullptr) {
        std::free(rgb);
        return nullptr;
    }
    // Pixel i's 3 bytes lie below pixel i + 1's 4, which are already written.
    for (size_t i = count; i-- > 0;) {
        const unsigned char r = out[3 * i], g = out[3 * i + 1], b = out[3 * i + 2];
        out[4 * i] = 0;
        out[4 * i + 1] = r;
        out[4 * i + 2] = g;
        out[4 * i + 3] = b;
    }
    return out;
}

// PlaceObject2 of a character at a depth with the identity matrix, as every picture and
// sprite placement of the engine uses.
std::unique_ptr<CSwfPlaceObject2> PlaceAt(uint16_t depth, uint16_t characterId,
                                          std::optional<CSwfCxformWithAlpha> cxform = {}) {
    return std::make_unique<CSwfPlaceObject2>(CSwfPlacement{.depth = depth,
                                                            .characterId = characterId,
                                                            .matrix = CSwfMatrix{.compact = true},
                                                            .cxform = cxform,
                                                            .ratio = 0});
}

} // namespace

std::unique_ptr<CSwfDefineSprite> MakeSpriteOf(uint16_t spriteId, uint16_t shapeId,
                                               std::optional<CSwfCxformWithAlpha> cxform) {
    auto sprite = std::make_unique<CSwfDefineSprite>(spriteId);
    sprite->AddTag(PlaceAt(1, shapeId, cxform));
    sprite->AddTag(std::make_unique<CSwfShowFrame>());
    return sprite;
}

std::unique_ptr<CSwfPlaceObject2> MakePlacement(uint16_t depth, uint16_t characterId) {
    return PlaceAt(depth, characterId);
}

bool CConvertEngine::DecodePicture(const ConvertObject& entry, RgbImage& image, int& width,
                                   int& height) {
    int code = image.LoadFile(entry.path);
    if (code != 0) {
        ShowMessage(DecodeErrorText(entry.path, code));
        return false;
    }
    SizeOf(image, width, height);
    return true;
}

StoredImage* CConvertEngine::MakeFilledEntry(size_t capacity) {
    StoredImage* e = imageStore.MakeMemoryEntry(capacity);
    if (!e->data) {
        imageStore.Remove(e->id);
        return nullptr;
    }
    return e;
}

int CConvertEngine::LoadLossless(const ConvertObject& entry, int& width, int& height, int& id) {
    RgbImage image;
    if (!DecodePicture(entry, image, width, height)) {
        return 0;
    }
    size_t length = 0;
    unsigned char* pixels = TakeLosslessPixels(image, &length);
    if (pixels == nullptr) {
        return 0;
    }
    StoredImage* e = imageStore.AdoptMemoryEntry(pixels, length);
    e->width = width;
    e->height = height;
    id = e->id;
    return 1;
}

int CConvertEngine::LoadJpeg(const ConvertObject& entry, int& width, int& height, int& dataLength,
                             int quality, int& id, bool keepOriginal) {
    // The store keeps only the bytes of the picture, since a long single movie holds every
    // picture until it is written.
    const auto store = [&](const uint8_t* bytes, size_t length, int w, int h) {
        StoredImage* e = MakeFilledEntry(length);
        if (e == nullptr) {
            return 0;
        }
        memcpy(e->data.get(), bytes, length);
        e->dataLength = static_cast<int>(length);
        e->width = width = w;
        e->height = height = h;
        dataLength = e->dataLength;
        id = e->id;
        return 1;
    };
    if (keepOriginal) {
        // No decoding and no generation loss; other JPEGs and other files are encoded anew.
        std::unique_ptr<ISSource, decltype(&ISCloseSource)> file(ISOpenFileSource(entry.path),
                                                                 &ISCloseSource);
        std::optional<KeptJpeg> kept = file ? ISKeepJpeg(file->data, file->length) : std::nullopt;
        if (kept && kept->data.size() <= INT32_MAX) {
            return store(kept->data.data(), kept->data.size(), static_cast<int>(kept->width),
                         static_cast<int>(kept->height));
        }
    }
    RgbImage image;
    int w = 0, h = 0;
    if (!DecodePicture(entry, image, w, h)) {
        return 0;
    }
    // The codec writes into a scratch buffer sized with its own bound (so even 1 x 1 pictures
    // fit) and reused from picture to picture.
    size_t capacity = ISJpegBufferSize(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
    if (jpegScratchSize < capacity) {
        jpegScratch.reset(new (std::nothrow) unsigned char[capacity]);
        jpegScratchSize = jpegScratch ? capacity : 0;
        if (!jpegScratch) {
            return 0;
        }
    }
    int written =
        image.WriteJpegToMemory(jpegScratch.get(), static_cast<uint32_t>(capacity), quality);
    if (written <= 0) {
        return 0;
    }
    return store(jpegScratch.get(), static_cast<size_t>(written), w, h);
}

int CConvertEngine::ToLossless(int id) {
    StoredImage* e = imageStore.Find(id);
    if (e == nullptr) {
        return -1;
    }
    RgbImage image;
    int code;
    if (!e->isFile && e->data && e->dataLength > 0) {
        code = image.LoadMemory(e->data.get(), static_cast<size_t>(e->dataLength));
    } else if (e->isFile) {
        code = image.LoadFile(e->filePath);
    } else {
        return -1;
    }
    if (code != 0) {
        ShowMessage(DecodeErrorText("", code));
        return -1;
    }
    int width = 0, height = 0;
    SizeOf(image, width, height);
    size_t length = 0;
    unsigned char* pixels = TakeLosslessPixels(image, &length);
    if (pixels == nullptr) {
        return -1;
    }
    StoredImage* lossless = imageStore.AdoptMemoryEntry(pixels, length);
    lossless->width = width;
    lossless->height = height;
    e->Release();
    return lossless->id;
}

int CConvertEngine::AddImage(ConvertObject& entry, const ConvertOptions& opts,
                             int32_t formatOverride, int storedId) {
    bool movieFrame = formatOverride == FormatAvi;
    int index = movieFrame ? opts.FindFormat(FormatAvi) : FormatIndexOf(entry.path, opts);
    if (index < 0) {
        char text[2100];
        snprintf(text, sizeof text, "Error, Unknown/supported File Format\n\n%s",
                 entry.path.c_str());
        ShowMessage(text);
        return 0;
    }
    const FormatOptions& format = opts.formats[index];
    // A file smaller than the limit (in Kb) uses the small-file pair; a limit of 0 turns it off.
    const int64_t smallBelow = int64_t{format.smallFileLimitKb} * 1024;
    bool useSmall = !movieFrame && entry.size >= 0 && entry.size < smallBelow;
    int encoding = useSmall ? format.smallCompression : format.compression;
    int quality = useSmall ? format.smallQuality : format.quality;

    if (storedId == -1) {
        int w = 0, h = 0, length = 0;
        int loaded = 0;
        if (encoding == EncodeLossless) {
            loaded = LoadLossless(entry, w, h, storedId);
        } else if (encoding == EncodeJpeg || encoding == EncodeOriginal) {
            loaded = LoadJpeg(entry, w, h, length, quality, storedId, encoding == EncodeOriginal);
        }
        if (!loaded) {
            return 0;
        }
    }
    StoredImage* e = imageStore.Find(storedId);
    if (e == nullptr) {
        return 0;
    }
    const int W = e->width, H = e->height;
    if (W <= 0 || H <= 0) {
        return 0;
    }
    const int X = opts.imageX, Y = opts.imageY;
    int w = W, h = H;
    if (opts.imageSizing == SizingStretch) {
        w = opts.movieWidth;
        h = opts.movieHeight;
    } else if (opts.imageSizing != SizingKeep) {
        w = opts.presetWidth;
        h = opts.presetHeight;
    }
    largestWidth = std::max(largestWidth, W + X);
    largestHeight = std::max(largestHeight, H + Y);

    if (encoding == EncodeLossless ? !e->data : !e->isFile && (!e->data || e->dataLength <= 0)) {
        return 0;
    }
    // The bitmap, shape and sprite ids are taken in that order: the movie's numbering, and so
    // its bytes, depend on it.
    const uint16_t bitmapId = movie.NewId();
    std::unique_ptr<CSwfCharacter> bitmap;
    const char* failure = kSwfIdsExhaustedText;
    if (bitmapId != 0 && encoding == EncodeLossless) {
        CSwfLosslessResult made =
            MakeDefineBitsLossless(bitmapId, {.width = static_cast<uint32_t>(W),
                                              .height = static_cast<uint32_t>(H),
                                              .pixels = e->data.get()});
        bitmap = std::move(made.tag);
        failure = made.error;
    } else if (bitmapId != 0 && e->isFile) {
        bitmap = std::make_unique<CSwfDefineBitsJPEG2>(bitmapId, e->filePath);
    } else if (bitmapId != 0) {
        bitmap = std::make_unique<CSwfDefineBitsJPEG2>(bitmapId, e->data.get(),
                                                       static_cast<uint32_t>(e->dataLength));
    }
    const uint16_t shapeId = bitmap ? movie.NewId() : 0;
    const uint16_t spriteId = shapeId != 0 ? movie.NewId() : 0;
    if (spriteId == 0) {
        ShowMessage("Error During Conversion of file:\n" + entry.path + "\n\nError Message:\n" +
                    (bitmap ? kSwfIdsExhaustedText : failure));
        if (encoding == EncodeLossless) {
            imageStore.Remove(storedId);
        }
        return 0;
    }
    movie.AddTag(std::move(bitmap));
    pendingFreeIds.push_back(bitmapId);

    auto shape = std::make_unique<CSwfDefineShape>(
        shapeId, CSwfRect(X * 20, Y * 20, (X + w) * 20, (Y + h) * 20));
    shape->AddFillStyle(CSwfBitmapFill{.bitmapId = 65535,
                                       .matrix = {.scale = CSwfMatrix::Terms{0xA0000, 0xA0000}}});
    auto scaleX = static_cast<int32_t>(static_cast<double>(w) / W * 20.0 * 65536.0);
    auto scaleY = static_cast<int32_t>(static_cast<double>(h) / H * 20.0 * 65536.0);
    uint32_t fill =
        shape->AddFillStyle(CSwfBitmapFill{.bitmapId = bitmapId,
                                           .matrix = {.scale = CSwfMatrix::Terms{scaleX, scaleY},
                                                      .translateX = X * 20,
                                                      .translateY = Y * 20}});
    shape->AddRecord(
        CSwfStyleChangeRecord{.moveTo = CSwfStyleChangeRecord::Point{(X + w) * 20, (Y + h) * 20},
                              .fillStyle1 = fill,
                              .lineStyle = 0});
    shape->AddLine(-w * 20, 0);
    shape->AddLine(0, -h * 20);
    shape->AddLine(w * 20, 0);
    shape->AddLine(0, h * 20);
    shape->AddRecord(CSwfEndShapeRecord{});
    movie.AddTag(std::move(shape));

    movie.AddTag(MakeSpriteOf(spriteId, shapeId));
    pendingFreeIds.push_back(spriteId);
    movie.AddTag(MakePlacement(1, spriteId));
    pendingFreeIds.push_back(spriteId);

    if (encoding == EncodeLossless) {
        imageStore.Remove(storedId);
    }
    return 1;
}
