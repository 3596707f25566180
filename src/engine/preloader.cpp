// The preloader: five frames in front of the content that wait until a fraction of the
// movie has loaded while a small picture is shown.
#include "engine/converter_parts.h"
#include "engine/engine_namespace.h"
#include "engine/engine_tags.h"
#include "engine/entry_converter.h"
#include "engine/movie_builder.h"
#include "engine/output_paths.h"
#include "engine/preloader_picture.h"

#include "media/temp_files.h"
#include "swf/swf_actions.h"

#include <cstdio>

namespace kestrova::engine {

namespace {

// Writes the built-in preloader picture to path; the message box when it cannot.
Status WriteBuiltInPicture(const std::string& path) {
    const std::vector<uint8_t>& bytes = BuiltInPreloaderPicture();
    TempFilePtr file = CreateExclusiveFile(path);
    bool written = file && fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    written = CloseWrittenFile(std::move(file)) && written;
    if (!written) {
        std::remove(path.c_str());
        return ConvertError{"Error unable to write to file, Disk could be full or write protected",
                            path};
    }
    return Done{};
}

// The picture of frames 1 to 3, from its file. A folder, pipe or device is never opened.
Result<PreparedPicture> PreparePreloaderPicture(const std::string& path,
                                                const ConvertOptions& opts) {
    ConvertObject picture;
    picture.path = path;
    picture.size = 2;
    std::string refusal = SourceRefusal(path);
    if (!refusal.empty()) {
        return ConvertError{refusal, ""};
    }
    return PreparePictureFile(picture, opts);
}

} // namespace

void AddPreloader(MovieBuilder& builder, const EntryContext& context) {
    const ConvertOptions& opts = context.opts;
    // The built-in picture is written for decoding into the run's folder and removed once
    // read; when it cannot be written the movie has no preloader.
    const bool builtIn = opts.preloaderImage == "INTERNAL";
    const std::string path = builtIn ? context.tempFolder + "preload.bmp" : opts.preloaderImage;
    if (Status written = builtIn ? WriteBuiltInPicture(path) : Status(Done{}); !written) {
        context.show(written.Error());
        return;
    }
    Result<PreparedPicture> picture = PreparePreloaderPicture(path, opts);
    if (builtIn) {
        std::remove(path.c_str());
    }

    // Frame 0: if frame (total frames / N) is loaded, go to the content at frame 5 and play;
    // otherwise run on into the picture frames. The pushes are the target "" and property 5
    // (total frames) of GetProperty, then the fraction's divisor.
    auto test = std::make_unique<CSwfDoAction>();
    test->AddAction(std::make_unique<CSwfActionPush>(""))
        .AddAction(std::make_unique<CSwfActionPush>("5"))
        .AddAction(std::make_unique<CSwfActionGetProperty>())
        .AddAction(std::make_unique<CSwfActionPush>(std::to_string(opts.preloadFraction)))
        .AddAction(std::make_unique<CSwfActionDivide>())
        .AddAction(std::make_unique<CSwfActionWaitForFrame2>(2))
        .AddAction(std::make_unique<CSwfActionGotoFrame>(5))
        .AddAction(std::make_unique<CSwfActionPlay>());
    builder.Add(std::move(test));
    builder.AddShowFrames(1);

    // Frames 1 to 3 show the picture.
    Status added = picture ? AppendPicture(builder, std::move(*picture), opts) : picture.Error();
    if (!added && !added.Error().text.empty()) {
        context.show(added.Error());
    }
    builder.AddShowFrames(3);

    // Frame 4 goes back to the load test of frame 0, so the test runs again on every cycle
    // and the content starts as soon as enough of it has arrived.
    builder.RemoveImage(1);
    builder.Add(MakeGotoAndPlay(kPreloaderLoopFrame));
    builder.AddShowFrames(1);
}

} // namespace kestrova::engine
