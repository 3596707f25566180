#include "swf/swf_bitmaps.h"

#include <libdeflate.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kestrova::swf {

namespace {

// The two markers in front of the image data of DefineBitsJPEG2 and DefineBitsJPEG3: an
// end-of-image followed by a start-of-image, which players skip.
void WriteEoiSoi(CSwfStream& s) {
    s.WriteU8(0xFF);
    s.WriteU8(0xD9);
    s.WriteU8(0xFF);
    s.WriteU8(0xD8);
}

void WriteEoi(CSwfStream& s) {
    s.WriteU8(0xFF);
    s.WriteU8(0xD9);
}

// Referenced bytes of a tag body; a missing or empty block contributes nothing.
void AppendIfAny(CSwfStream& body, const uint8_t* data, uint32_t length) {
    if (data != nullptr && length > 0) {
        body.AppendBlock(data, length);
    }
}

// Length of a file that can be opened for reading, or -1. Files whose length does not fit a
// tag are treated as unreadable.
int64_t ReadableFileLength(const char* path) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        return -1;
    }
    long length = -1;
    if (fseek(file, 0, SEEK_END) == 0) {
        length = ftell(file);
    }
    fclose(file);
    if (length < 0 || static_cast<uint64_t>(length) > 0xFFFFFF00u) {
        return -1;
    }
    return length;
}

const char* const kTooLargeText =
    "The picture is too large for a lossless bitmap (at most 65535 x 65535 pixels).";
const char* const kBadFormatText = "Unknown lossless bitmap format (3, 4 or 5 expected).";
const char* const kBadTableText =
    "A colour-mapped bitmap needs a colour table of 1 to 256 colours.";
const char* const kNoMemoryText = "Not enough memory to compress the lossless bitmap.";
const char* const kTagOverflowText = "The compressed lossless bitmap is too large for a movie.";

} // namespace

// ---- DefineBitsJPEG2 -----------------------------------------------------------------------

void CSwfDefineBitsJPEG2::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(id);
    WriteEoiSoi(body);
    if (path.size() > 3) {
        // The file is copied in large blocks when the movie is written; a file that cannot be
        // opened contributes no bytes.
        int64_t fileLength = ReadableFileLength(path.c_str());
        if (fileLength > 0) {
            body.AppendFileBlock(path, static_cast<uint32_t>(fileLength));
        }
    } else {
        AppendIfAny(body, data, length);
    }
    WriteEoi(body);
    Emit(s, kTagDefineBitsJPEG2, body);
}

// ---- JPEGTables, DefineBits, DefineBitsJPEG3 -------------------------------------------------

void CSwfJPEGTables::Write(CSwfStream& s) const {
    CSwfStream body;
    AppendIfAny(body, data, length);
    Emit(s, kTagJPEGTables, body);
}

void CSwfDefineBits::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(id);
    AppendIfAny(body, data, length);
    Emit(s, kTagDefineBits, body);
}

void CSwfDefineBitsJPEG3::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(id);
    body.WriteU32(jpegLength + 6); // offset of the alpha data behind the image data
    WriteEoiSoi(body);
    AppendIfAny(body, jpeg, jpegLength);
    WriteEoi(body);
    AppendIfAny(body, zlibAlpha, zlibAlphaLength);
    Emit(s, kTagDefineBitsJPEG3, body);
}

// ---- DefineBitsLossless and DefineBitsLossless2 ---------------------------------------------

void CSwfDefineBitsLossless::FreeBytes::operator()(uint8_t* p) const {
    free(p);
}

CSwfDefineBitsLossless::CSwfDefineBitsLossless(uint16_t id, const CSwfLosslessPixels& layout,
                                               Compressed compressed, uint32_t compressedLength)
    : CSwfCharacter(id), withAlpha(layout.withAlpha), format(layout.format),
      width(static_cast<uint16_t>(layout.width)), height(static_cast<uint16_t>(layout.height)),
      colourTableSize(layout.format == 3 ? layout.colourTableSize : 0),
      compressed(std::move(compressed)), compressedLength(compressedLength) {}

CSwfLosslessCompressed CompressLossless(const CSwfLosslessPixels& p) {
    CSwfLosslessCompressed result;
    result.layout = p;
    result.layout.colourTable = nullptr;
    result.layout.pixels = nullptr;
    auto failed = [&result](const char* error) {
        result.error = error;
        return std::move(result);
    };
    if (p.width > 0xFFFF || p.height > 0xFFFF) {
        return failed(kTooLargeText);
    }
    if (p.format < 3 || p.format > 5) {
        return failed(kBadFormatText);
    }
    if (p.format == 3 && (p.colourTableSize < 1 || p.colourTableSize > 256)) {
        return failed(kBadTableText);
    }
    // Rows are stored padded to 4 bytes (format 5 rows always are).
    uint64_t bitsPerPixel = 1u << p.format;
    uint64_t rowBytes = (p.width * bitsPerPixel / 8 + 3) / 4 * 4;
    uint64_t pixelBytes = rowBytes * p.height;
    uint64_t tableBytes =
        p.format == 3 ? static_cast<uint64_t>(p.colourTableSize) * (p.withAlpha ? 4 : 3) : 0;
    size_t n = static_cast<size_t>(tableBytes + pixelBytes);

    // Without a colour table the pixels are compressed where they are; a table has to be put
    // in front of them in one buffer, as deflate compresses one contiguous input here.
    const uint8_t* input = p.pixels;
    std::unique_ptr<uint8_t[]> joined;
    if (tableBytes > 0) {
        joined.reset(new (std::nothrow) uint8_t[n]);
        if (!joined) {
            return failed(kNoMemoryText);
        }
        memcpy(joined.get(), p.colourTable, tableBytes);
        if (pixelBytes > 0) {
            memcpy(joined.get() + tableBytes, p.pixels, pixelBytes);
        }
        input = joined.get();
    }

    libdeflate_compressor* compressor = libdeflate_alloc_compressor(kSwfLosslessDeflateLevel);
    if (compressor == nullptr) {
        return failed(kNoMemoryText);
    }
    size_t bound = libdeflate_zlib_compress_bound(compressor, n);
    CSwfDefineBitsLossless::Compressed out(static_cast<uint8_t*>(malloc(bound)));
    size_t produced = 0;
    if (out != nullptr) {
        static const uint8_t kNothing = 0;
        produced =
            libdeflate_zlib_compress(compressor, n > 0 ? input : &kNothing, n, out.get(), bound);
    }
    libdeflate_free_compressor(compressor);
    if (produced == 0) {
        return failed(kNoMemoryText);
    }
    if (produced > 0xFFFFFF00u) {
        return failed(kTagOverflowText);
    }
    // Give back the unused end of the worst-case buffer: many bitmaps may wait in one movie.
    if (auto* shrunk = static_cast<uint8_t*>(realloc(out.get(), produced))) {
        (void)out.release();
        out.reset(shrunk);
    }
    result.bytes = std::move(out);
    result.length = static_cast<uint32_t>(produced);
    return result;
}

CSwfLosslessResult MakeDefineBitsLossless(uint16_t id, CSwfLosslessCompressed compressed) {
    if (!compressed.bytes) {
        return {nullptr, compressed.error};
    }
    return {std::make_unique<CSwfDefineBitsLossless>(
                id, compressed.layout, std::move(compressed.bytes), compressed.length),
            nullptr};
}

CSwfLosslessResult MakeDefineBitsLossless(uint16_t id, const CSwfLosslessPixels& p) {
    return MakeDefineBitsLossless(id, CompressLossless(p));
}

void CSwfDefineBitsLossless::Write(CSwfStream& s) const {
    CSwfStream body;
    body.WriteU16(id);
    body.WriteU8(format);
    body.WriteU16(width);
    body.WriteU16(height);
    if (format < 4) {
        body.WriteU8(colourTableSize - 1);
    }
    body.AppendBlock(compressed.get(), compressedLength);
    Emit(s, withAlpha ? kTagDefineBitsLossless2 : kTagDefineBitsLossless, body);
}

} // namespace kestrova::swf
