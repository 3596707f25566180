// Pictures into movies: decoding and encoding (prepared anywhere), then the bitmap character,
// the bitmap-filled rectangle, its sprite and its placement at depth 1 (appended in order).
#include "engine/converter_parts.h"
#include "engine/engine_namespace.h"
#include "engine/movie_builder.h"

#include "engine/engine_tags.h"
#include "media/image_codec.h"
#include "media/lossless_pixels.h"
#include "media/rgb_image.h"
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

namespace kestrova::engine {

namespace {

// A picture that could not be decoded or added, with the reason.
ConvertError ConversionError(const std::string& path, const std::string& reason) {
    return {"Error During Conversion of file:\n" + path + "\n\nError Message:\n" + reason, ""};
}

ConvertError UnknownFormatError(const std::string& path) {
    char text[2100];
    snprintf(text, sizeof text, "Error, Unknown/supported File Format\n\n%s", path.c_str());
    return {text, ""};
}

// Stores the image's pixels laid out for a lossless bitmap (the image is left empty); the store
// id, or 0 when memory ran out.
int StoreLossless(ImageStore& store, RgbImage& image) {
    const int width = static_cast<int>(image.Width()), height = static_cast<int>(image.Height());
    LosslessPixels pixels = TakeLosslessPixels(image);
    if (!pixels.block) {
        return 0;
    }
    StoredImage* e = store.AdoptMemoryEntry(pixels.block.release(), pixels.length);
    e->width = width;
    e->height = height;
    e->colours = pixels.colours;
    e->alpha = pixels.alpha;
    return e->id;
}

// The movie's background colour (0x00BBGGRR in the options) as 0xRRGGBB.
uint32_t BackgroundRgb(const ConvertOptions& opts) {
    const uint32_t c = opts.backgroundColor;
    return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// Stores the image as JPEG bytes of that quality; the store id, or 0 when it fails.
int StoreJpeg(ImageStore& store, RgbImage& image, int quality) {
    const uint32_t width = image.Width(), height = image.Height();
    // The codec writes into a buffer of its own bound (so even 1 x 1 pictures fit); the store
    // keeps only the bytes written, since a long single movie holds every picture.
    size_t capacity = ISJpegBufferSize(width, height);
    std::unique_ptr<unsigned char[]> scratch(new (std::nothrow) unsigned char[capacity]);
    if (!scratch) {
        return 0;
    }
    int written = image.WriteJpegToMemory(scratch.get(), static_cast<uint32_t>(capacity), quality);
    if (written <= 0) {
        return 0;
    }
    StoredImage* e = store.MakeMemoryEntry(static_cast<size_t>(written));
    if (!e->data) {
        store.Remove(e->id);
        return 0;
    }
    memcpy(e->data.get(), scratch.get(), static_cast<size_t>(written));
    e->width = static_cast<int>(width);
    e->height = static_cast<int>(height);
    return e->id;
}

// Stores a JPEG file's own data when a player can show it as it is (no decoding, no generation
// loss); the store id, or 0 when the file is to be encoded anew.
int StoreOriginalJpeg(ImageStore& store, const std::string& path) {
    std::unique_ptr<ISSource, decltype(&ISCloseSource)> file(ISOpenFileSource(path),
                                                             &ISCloseSource);
    std::optional<KeptJpeg> kept = file ? ISKeepJpeg(file->data, file->length) : std::nullopt;
    if (!kept || kept->data.size() > INT32_MAX) {
        return 0;
    }
    StoredImage* e = store.MakeMemoryEntry(kept->data.size());
    if (!e->data) {
        store.Remove(e->id);
        return 0;
    }
    memcpy(e->data.get(), kept->data.data(), kept->data.size());
    e->width = static_cast<int>(kept->width);
    e->height = static_cast<int>(kept->height);
    return e->id;
}

// The rectangle of w x h at (X, Y) filled with the bitmap of W x H, scaled to fill it.
std::unique_ptr<CSwfDefineShape> MakeBitmapRectangle(uint16_t shapeId, uint16_t bitmapId, int W,
                                                     int H, int X, int Y, int w, int h) {
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
    return shape;
}

class PreparedPictureEntry final : public PreparedEntry {
public:
    explicit PreparedPictureEntry(PreparedPicture picture) : picture(std::move(picture)) {}
    Status Append(MovieBuilder& builder, const EntryContext& context) override {
        const ConvertOptions& opts = context.opts;
        if (builder.FrameCount() + static_cast<uint32_t>(opts.framesPerImage) > kSwfMaxFrames) {
            return ConvertError{TooManyFramesText(picture.path), ""};
        }
        Status added = AppendPicture(builder, std::move(picture), opts);
        builder.AddShowFrames(opts.framesPerImage);
        return added;
    }

private:
    PreparedPicture picture;
};

class PictureConverter final : public EntryConverter {
public:
    Result<std::unique_ptr<PreparedEntry>>
    Prepare(const ConvertObject& entry, const EntryContext& context, bool, Notes&) const override {
        Result<PreparedPicture> picture = PreparePictureFile(entry, context.opts);
        if (!picture) {
            return picture.Error();
        }
        return std::unique_ptr<PreparedEntry>(
            std::make_unique<PreparedPictureEntry>(std::move(*picture)));
    }
};

// The stored lossless block as the writer takes it: a colour table, when there is one, comes
// first.
CSwfLosslessPixels LosslessLayout(const StoredImage& e) {
    const uint8_t* table = e.data.get();
    return {.format = static_cast<uint8_t>(e.colours != 0 ? 3 : 5),
            .width = static_cast<uint32_t>(e.width),
            .height = static_cast<uint32_t>(e.height),
            .withAlpha = e.alpha,
            .colourTableSize = e.colours,
            .colourTable = table,
            .pixels = table + size_t{e.colours} * (e.alpha ? 4 : 3)};
}

} // namespace

const EntryConverter& PictureEntryConverter() {
    static const PictureConverter converter;
    return converter;
}

Result<PreparedPicture> PreparePictureFile(const ConvertObject& entry, const ConvertOptions& opts) {
    int index = FormatIndexOf(entry.path, opts);
    if (index < 0) {
        return UnknownFormatError(entry.path);
    }
    const FormatOptions& format = opts.formats[index];
    // A file smaller than the limit (in Kb) uses the small-file pair; a limit of 0 turns it off.
    const int64_t smallBelow = int64_t{format.smallFileLimitKb} * 1024;
    bool useSmall = entry.size >= 0 && entry.size < smallBelow;
    int encoding = useSmall ? format.smallCompression : format.compression;
    int quality = useSmall ? format.smallQuality : format.quality;
    if (encoding != EncodeLossless && encoding != EncodeJpeg && encoding != EncodeOriginal) {
        return ConvertError{};
    }
    PreparedPicture picture;
    picture.path = entry.path;
    picture.lossless = encoding == EncodeLossless;
    // Original JPEG: other JPEGs and other files are encoded anew, as JPEG.
    if (encoding == EncodeOriginal) {
        picture.id = StoreOriginalJpeg(*picture.store, entry.path);
        if (picture.id != 0) {
            return picture;
        }
    }
    RgbImage image;
    if (int code = image.LoadFile(entry.path); code != 0) {
        return ConversionError(entry.path, ImageErrorText(code));
    }
    if (!picture.lossless) {
        // JPEG data has no alpha: what shows through a transparent pixel is put in its place.
        image.CompositeOver(BackgroundRgb(opts));
    }
    picture.id = picture.lossless ? StoreLossless(*picture.store, image)
                                  : StoreJpeg(*picture.store, image, quality);
    if (picture.id == 0) {
        return ConvertError{};
    }
    // The slow deflate of lossless pixels is done here, away from the movie; the pixels go.
    if (StoredImage* e = picture.store->Find(picture.id); picture.lossless) {
        picture.compressed = CompressLossless(LosslessLayout(*e));
        e->data.reset();
    }
    return picture;
}

Result<int> ToLosslessPixels(ImageStore& store, int id) {
    StoredImage* e = store.Find(id);
    if (e == nullptr) {
        return ConvertError{};
    }
    RgbImage image;
    int code;
    if (!e->isFile && e->data && e->dataLength > 0) {
        code = image.LoadMemory(e->data.get(), static_cast<size_t>(e->dataLength));
    } else if (e->isFile) {
        code = image.LoadFile(e->filePath);
    } else {
        return ConvertError{};
    }
    if (code != 0) {
        return ConversionError("", ImageErrorText(code));
    }
    int lossless = StoreLossless(store, image);
    if (lossless == 0) {
        return ConvertError{};
    }
    e->Release();
    return lossless;
}

Status AppendPicture(MovieBuilder& builder, PreparedPicture picture, const ConvertOptions& opts) {
    StoredImage* e = picture.store->Find(picture.id);
    if (e == nullptr) {
        return ConvertError{};
    }
    Status added = AppendBitmap(builder, *e, picture.lossless, picture.path, opts,
                                picture.compressed ? &*picture.compressed : nullptr);
    // Lossless pixels are compressed into the tag; JPEG bytes are read when the movie is written.
    if (added && !picture.lossless) {
        builder.Keep(std::move(picture.store));
    }
    return added;
}

Status AppendBitmap(MovieBuilder& builder, const StoredImage& image, bool lossless,
                    const std::string& path, const ConvertOptions& opts,
                    CSwfLosslessCompressed* compressed) {
    const StoredImage* e = &image;
    if (e->width <= 0 || e->height <= 0) {
        return ConvertError{};
    }
    const int W = e->width, H = e->height;
    const int X = opts.imageX, Y = opts.imageY;
    int w = W, h = H;
    if (opts.imageSizing == SizingStretch) {
        w = opts.movieWidth;
        h = opts.movieHeight;
    } else if (opts.imageSizing != SizingKeep) {
        w = opts.presetWidth;
        h = opts.presetHeight;
    }
    builder.NoteExtent(W + X, H + Y);

    if (lossless ? !e->data && compressed == nullptr
                 : !e->isFile && (!e->data || e->dataLength <= 0)) {
        return ConvertError{};
    }
    // The bitmap, shape and sprite ids are taken in that order: the movie's numbering, and so
    // its bytes, depend on it.
    const uint16_t bitmapId = builder.NewId();
    std::unique_ptr<CSwfCharacter> bitmap;
    const char* failure = kSwfIdsExhaustedText;
    if (bitmapId != 0 && lossless) {
        CSwfLosslessResult made = compressed != nullptr
                                      ? MakeDefineBitsLossless(bitmapId, std::move(*compressed))
                                      : MakeDefineBitsLossless(bitmapId, LosslessLayout(*e));
        bitmap = std::move(made.tag);
        failure = made.error;
    } else if (bitmapId != 0 && e->isFile) {
        bitmap = std::make_unique<CSwfDefineBitsJPEG2>(bitmapId, e->filePath);
    } else if (bitmapId != 0) {
        bitmap = std::make_unique<CSwfDefineBitsJPEG2>(bitmapId, e->data.get(),
                                                       static_cast<uint32_t>(e->dataLength));
    }
    const uint16_t shapeId = bitmap ? builder.NewId() : 0;
    const uint16_t spriteId = shapeId != 0 ? builder.NewId() : 0;
    if (spriteId == 0) {
        return ConversionError(path, bitmap ? kSwfIdsExhaustedText : failure);
    }
    builder.Add(std::move(bitmap));
    builder.FreeLater(bitmapId);
    builder.Add(MakeBitmapRectangle(shapeId, bitmapId, W, H, X, Y, w, h));
    builder.Add(MakeSpriteOf(spriteId, shapeId));
    builder.FreeLater(spriteId);
    builder.Add(MakePlacement(1, spriteId));
    builder.FreeLater(spriteId);
    return Done{};
}

} // namespace kestrova::engine
