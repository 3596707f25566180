// The preloader: five frames in front of the content that wait until a fraction of the
// movie has loaded while a small picture is shown.
#include "engine/convert_engine.h"
#include "engine/engine_tags.h"
#include "engine/preloader_picture.h"

#include "media/temp_files.h"
#include "swf/swf_actions.h"

#include <cstdio>

std::unique_ptr<CSwfDoAction> MakeGotoAndPlay(uint16_t frame) {
    auto action = std::make_unique<CSwfDoAction>();
    action->AddAction(std::make_unique<CSwfActionGotoFrame>(frame))
        .AddAction(std::make_unique<CSwfActionPlay>());
    return action;
}

int CConvertEngine::WriteResourceFile(IConvertObserver*, int resourceId, const std::string& path) {
    if (resourceId != kPreloaderResourceId) {
        return 0;
    }
    const std::vector<uint8_t>& bytes = BuiltInPreloaderPicture();
    TempFilePtr file = CreateExclusiveFile(path);
    bool written = file && fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    written = CloseWrittenFile(std::move(file)) && written;
    if (!written) {
        std::remove(path.c_str());
        ShowMessage("Error unable to write to file, Disk could be full or write protected", path);
        return 0;
    }
    return 1;
}

int CConvertEngine::AddPreloader(IConvertObserver* window, const ConvertOptions& opts) {
    ConvertObject picture;
    picture.path = opts.preloaderImage;
    picture.size = 2;
    if (opts.preloaderImage == "INTERNAL") {
        picture.path = tempFolder + "preload.bmp";
        if (!WriteResourceFile(window, kPreloaderResourceId, picture.path)) {
            return 0;
        }
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
    movie.AddTag(std::move(test));
    AddShowFrame();

    // Frames 1 to 3 show the picture. The built-in picture's file is read by then. A folder,
    // pipe or device named as the picture is never opened.
    std::string refusal = SourceRefusal(picture.path);
    if (!refusal.empty()) {
        ShowMessage(refusal);
    } else {
        AddImage(picture, opts, -1, -1);
    }
    if (opts.preloaderImage == "INTERNAL") {
        std::remove(picture.path.c_str());
    }
    AddShowFrame();
    AddShowFrame();
    AddShowFrame();

    // Frame 4 goes back to the load test of frame 0, so the test runs again on every cycle
    // and the content starts as soon as enough of it has arrived.
    RemoveImage(1);
    movie.AddTag(MakeGotoAndPlay(kPreloaderLoopFrame));
    AddShowFrame();
    return 1;
}
