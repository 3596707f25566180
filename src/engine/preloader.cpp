// The preloader: five frames in front of the content that wait until a fraction of the
// movie has loaded while a small picture is shown.
#include "engine/convert_engine.h"
#include "engine/engine_tags.h"
#include "engine/preloader_picture.h"

#include "media/temp_files.h"
#include "swf/swf_actions.h"

#include <cstdio>

CSwfDoAction* MakeGotoAndPlay(uint16_t frame) {
    auto* action = new CSwfDoAction;
    action->AddAction(new CSwfActionGotoFrame(frame));
    action->AddAction(new CSwfActionPlay);
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
    // otherwise run on into the picture frames. The pushed strings must live until the movie
    // has been written, so the engine keeps them.
    pushStrings.emplace_back("");
    CSwfString& target = pushStrings.back();
    pushStrings.emplace_back("5");
    CSwfString& totalFramesProperty = pushStrings.back();
    pushStrings.emplace_back(std::to_string(opts.preloadFraction).c_str());
    CSwfString& fraction = pushStrings.back();
    auto* test = new CSwfDoAction;
    test->AddAction(new CSwfActionPush(&target));
    test->AddAction(new CSwfActionPush(&totalFramesProperty));
    test->AddAction(new CSwfActionGetProperty);
    test->AddAction(new CSwfActionPush(&fraction));
    test->AddAction(new CSwfActionDivide);
    test->AddAction(new CSwfActionWaitForFrame2(2));
    test->AddAction(new CSwfActionGotoFrame(5));
    test->AddAction(new CSwfActionPlay);
    movie.AddTag(test);
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
