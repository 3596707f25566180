// The movie under construction: the SWF movie with its tags, the pictures its bitmap tags
// still read, the characters to free after the next removal and the largest picture extent.
// The driver begins and finishes it; the converters append to it, one entry after another.
#pragma once

#include "engine/convert_options.h"
#include "engine/convert_result.h"
#include "engine/engine_namespace.h"
#include "engine/image_store.h"
#include "swf/swf_tag.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kestrova::engine {

class MovieBuilder {
public:
    // Starts an empty movie that will be written to path.
    void Begin(const std::string& path);
    // Closes the movie as the options ask (blank end frame, stop or loop action) and writes
    // it. Warnings of a written movie (its length, the HTML page) are added to warnings; the
    // error says why the movie could not be written. The movie is empty again afterwards.
    Status Finish(const ConvertOptions& opts, std::vector<ConvertError>& warnings);
    // Drops the movie under construction; the next one numbers its characters from 1 again.
    void Abandon();

    bool IsIdle() const { return idle; }
    const std::string& Path() const { return outputPath; }
    uint32_t FrameCount() const { return movie.GetFrameCount(); }
    int Size() { return static_cast<int>(movie.EstimateSize()); }

    void Add(std::unique_ptr<CSwfTag> tag) { movie.AddTag(std::move(tag)); }
    // A new character id of this movie (0 once they are used up).
    uint16_t NewId() { return movie.NewId(); }
    void AddShowFrames(int count);
    void AddStopAction();
    void RemoveImage(uint16_t depth);
    // Frees the characters of the pictures removed so far.
    void FreeImageCharacters();
    // A character to free after the picture's removal (FreeImageCharacters).
    void FreeLater(uint16_t id) { pendingFreeIds.push_back(id); }
    // Widens the movie's size for sizeToLargestImage to hold a picture reaching (right, bottom).
    void NoteExtent(int right, int bottom);
    // Keeps pictures whose bytes the movie's bitmap tags read until the movie is written.
    void Keep(std::unique_ptr<ImageStore> store) { kept.push_back(std::move(store)); }

    CSwfMovie& Movie() { return movie; }
    // Pictures kept for the movie, for the tests: the number held.
    int KeptPictures() const;

private:
    void Clear();

    CSwfMovie movie;
    std::vector<std::unique_ptr<ImageStore>> kept;
    std::deque<uint16_t> pendingFreeIds;
    int largestWidth = 0;
    int largestHeight = 0;
    bool idle = true;
    std::string outputPath;
};

struct EntryContext;

// Opens a movie as the options ask: background, stop action, blank start frame, and for a
// movie with entries the preloader and the lens.
void OpenMovie(MovieBuilder& builder, const EntryContext& context, bool hasEntries);
// The preloader's five frames (with the picture, built in or from a file).
void AddPreloader(MovieBuilder& builder, const EntryContext& context);
// The translucent square over the movie at depth 10.
void AddLens(MovieBuilder& builder, const ConvertOptions& opts);

} // namespace kestrova::engine
