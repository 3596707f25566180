#include "engine/movie_builder.h"
#include "engine/engine_namespace.h"

#include "engine/engine_tags.h"
#include "engine/entry_converter.h"
#include "engine/html_page.h"
#include "swf/swf_actions.h"

#include <algorithm>
#include <climits>

namespace kestrova::engine {

void MovieBuilder::Clear() {
    // The next movie numbers its characters from 1 again.
    movie.Clear();
    kept.clear();
    pendingFreeIds.clear();
}

void MovieBuilder::Begin(const std::string& path) {
    Clear();
    idle = false;
    outputPath = path;
    largestWidth = 0;
    largestHeight = 0;
}

void MovieBuilder::Abandon() {
    Clear();
    idle = true;
}

void MovieBuilder::AddShowFrames(int count) {
    for (int i = 0; i < count; ++i) {
        movie.AddTag(std::make_unique<CSwfShowFrame>());
    }
}

void MovieBuilder::AddStopAction() {
    auto action = std::make_unique<CSwfDoAction>();
    action->AddAction(std::make_unique<CSwfActionStop>());
    movie.AddTag(std::move(action));
}

void MovieBuilder::RemoveImage(uint16_t depth) {
    movie.AddTag(std::make_unique<CSwfRemoveObject2>(depth));
}

void MovieBuilder::FreeImageCharacters() {
    while (!pendingFreeIds.empty()) {
        movie.AddTag(std::make_unique<CSwfFreeCharacter>(pendingFreeIds.front()));
        pendingFreeIds.pop_front();
    }
}

void MovieBuilder::NoteExtent(int right, int bottom) {
    largestWidth = std::max(largestWidth, right);
    largestHeight = std::max(largestHeight, bottom);
}

int MovieBuilder::KeptPictures() const {
    int count = 0;
    for (const auto& store : kept) {
        count += store->Count();
    }
    return count;
}

Status MovieBuilder::Finish(const ConvertOptions& opts, std::vector<ConvertError>& warnings) {
    idle = true;
    int width = opts.sizeToLargestImage ? largestWidth : opts.movieWidth;
    int height = opts.sizeToLargestImage ? largestHeight : opts.movieHeight;
    if (opts.blankFrameAtEnd) {
        AddShowFrames(1);
    }
    if (!opts.loopMovie) {
        auto action = std::make_unique<CSwfDoAction>();
        action->AddAction(std::make_unique<CSwfActionStop>())
            .AddAction(std::make_unique<CSwfActionStopSounds>());
        movie.AddTag(std::move(action));
    } else if (opts.usePreloader) {
        movie.AddTag(MakeGotoAndPlay(5));
    }
    if (FrameCount() > kSwfPlayerFrameLimit && FrameCount() <= kSwfMaxFrames) {
        warnings.push_back({"Warning, the movie " + outputPath + " has " +
                                std::to_string(FrameCount()) +
                                " frames; players are documented to play 16000 frames at most.",
                            ""});
    }
    // A size too large for the header fails the write cleanly instead of wrapping around.
    auto twips = [](int pixels) {
        return static_cast<int32_t>(std::min<int64_t>(int64_t{pixels} * 20, INT32_MAX));
    };
    // A movie that cannot be written leaves an earlier file of that name as it was.
    bool written = movie.WriteFile(outputPath.c_str(), twips(width), twips(height),
                                   static_cast<uint8_t>(opts.frameRate));
    std::string failure = written ? "" : movie.FailureText(); // empty when the disk failed
    Clear();
    if (!written) {
        return ConvertError{"Error, unable to write the movie file:\n" + outputPath +
                                (failure.empty() ? "" : "\n\n" + failure),
                            ""};
    }
    if (opts.writeHtmlPage) {
        std::string error = PublishHtmlPage(outputPath, width, height, opts.backgroundColor,
                                            opts.ruffleUrl, FindRuffleDirectory());
        if (!error.empty()) {
            warnings.push_back({error, ""});
        }
    }
    return Done{};
}

void OpenMovie(MovieBuilder& builder, const EntryContext& context, bool hasEntries) {
    const ConvertOptions& opts = context.opts;
    builder.Add(std::make_unique<CSwfSetBackgroundColor>(CSwfRGBA::FromBgr(opts.backgroundColor)));
    if (opts.stopActionInFirstFrame) {
        builder.AddStopAction();
    }
    if (opts.blankFrameAtStart) {
        builder.AddShowFrames(1);
    }
    if (hasEntries && opts.usePreloader) {
        AddPreloader(builder, context);
    }
    if (hasEntries && opts.useLens) {
        AddLens(builder, opts);
    }
}

} // namespace kestrova::engine
