// The steps the entry converters share: pictures for the movie converter's frames and the
// preloader, WAV sounds for MP3 files at other rates and for movies' sound tracks.
#pragma once

#include "engine/engine_namespace.h"
#include "engine/entry_converter.h"
#include "engine/image_store.h"
#include "swf/swf_bitmaps.h"

#include <memory>
#include <optional>

namespace kestrova::engine {

// A picture decoded and encoded, ready to be added: its store holds the one picture.
struct PreparedPicture {
    std::unique_ptr<ImageStore> store = std::make_unique<ImageStore>();
    int id = 0;
    bool lossless = false;
    std::string path;
    // A lossless picture's compressed pixels (the store keeps only its size).
    std::optional<CSwfLosslessCompressed> compressed;
};

// Decodes the entry's picture and encodes it with its format's settings (the small-file pair
// below the format's size limit).
Result<PreparedPicture> PreparePictureFile(const ConvertObject& entry, const ConvertOptions& opts);
// Adds the picture's bitmap, its bitmap-filled rectangle, the rectangle's sprite and the
// sprite's placement at depth 1; path names the picture in a message. The builder keeps what
// the bitmap tag still reads.
Status AppendPicture(MovieBuilder& builder, PreparedPicture picture, const ConvertOptions& opts);
// The same for a picture of a store the caller keeps for the movie (a movie's frames).
// Lossless pixels compressed ahead are taken from compressed when given.
Status AppendBitmap(MovieBuilder& builder, const StoredImage& image, bool lossless,
                    const std::string& path, const ConvertOptions& opts,
                    CSwfLosslessCompressed* compressed = nullptr);
// Turns the stored JPEG picture into lossless pixels in the same store: the new id, or the
// error (the JPEG is released only on success).
Result<int> ToLosslessPixels(ImageStore& store, int id);

// Brings the WAV (or other sound) file to 16-bit PCM and reads it, ready to be added as an
// event sound; a file of more than the sound limit is converted to mono when the user said so (the
// answer to the question over a too large file, answeredYes). With entryFrames the sound is an
// entry of its own and its Append adds the entry's frames of an individual movie.
Result<std::unique_ptr<PreparedEntry>> PrepareWave(const std::string& path, long size,
                                                   const EntryContext& context, bool answeredYes,
                                                   Notes& notes, bool entryFrames);
// Individual movies give a sound entry the entry's frames; a single movie goes on at once.
void AddEntryFrames(MovieBuilder& builder, const ConvertOptions& opts);
// The converters by kind.
const EntryConverter& PictureEntryConverter();
const EntryConverter& SoundEntryConverter();
const EntryConverter& MovieEntryConverter();

} // namespace kestrova::engine
