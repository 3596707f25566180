#include "engine/convert_engine.h"

#include "engine/engine_tags.h"
#include "engine/html_page.h"
#include "swf/swf_actions.h"

#include <algorithm>
#include <cctype>

CConvertEngine::CConvertEngine(IConvertPrompt* prompt) : prompt(prompt) {}

CConvertEngine::~CConvertEngine() {
    CancelConversion();
}

bool CConvertEngine::StartConversion(IConvertObserver* window, ConvertObject* first,
                                     ConvertOptions* options) {
    if (first == nullptr || options == nullptr || window == nullptr || running) {
        return false;
    }
    if (worker.joinable()) {
        worker.join();
    }
    job = ConvertJob{window, first, options, this};
    cancelRequested = false;
    running = true;
    worker = std::thread([this] {
        RunJob(job);
        running = false;
    });
    return true;
}

void CConvertEngine::Wait() {
    if (worker.joinable()) {
        worker.join();
    }
}

void CConvertEngine::CancelConversion() {
    RequestCancel();
    Wait();
    AbandonMovie();
}

void CConvertEngine::AbandonMovie() {
    imageStore.Clear();
    movie.DeleteTags();
    movie.ResetFrameCount();
    pendingFreeIds.clear();
    pushStrings.clear();
    idle = true;
}

void CConvertEngine::ShowMessage(const std::string& text, const std::string& caption) {
    if (prompt != nullptr) {
        prompt->ShowMessage(text, caption);
    }
}

std::string IndividualOutputPath(const std::string& source) {
    size_t dot = source.rfind('.');
    return (dot == std::string::npos ? source : source.substr(0, dot)) + ".swf";
}

std::string FixSavePath(const std::string& path) {
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : path;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext.empty() || ext[0] != '.') {
        return path + ".swf";
    }
    if (ext != ".swf") {
        return path.substr(0, path.size() - 4) + ".swf";
    }
    return path;
}

bool CConvertEngine::AskSavePath(std::string& path) {
    std::string chosen;
    if (prompt == nullptr || !prompt->ChooseSavePath(chosen)) {
        return false;
    }
    if (chosen.size() < 2) {
        ShowMessage("Error, save path to short or not valid");
        return false;
    }
    path = FixSavePath(chosen);
    return true;
}

bool CConvertEngine::BeginMovie(const std::string& path) {
    if (!idle) {
        return false;
    }
    idle = false;
    outputPath = path;
    largestWidth = 0;
    largestHeight = 0;
    movie.DeleteTags();
    movie.ResetFrameCount();
    imageStore.Clear();
    pendingFreeIds.clear();
    pushStrings.clear();
    return true;
}

void CConvertEngine::SetBackground(uint32_t colorBgr) {
    movie.AddTag(new CSwfSetBackgroundColor(new CSwfRGBA(colorBgr)));
}

void CConvertEngine::AddShowFrame() {
    movie.AddTag(new CSwfShowFrame);
}

void CConvertEngine::AddStopAction() {
    auto* action = new CSwfDoAction;
    action->AddAction(new CSwfActionStop);
    movie.AddTag(action);
}

void CConvertEngine::RemoveImage(uint16_t depth) {
    movie.AddTag(new CSwfRemoveObject2(depth));
}

void CConvertEngine::FreeImageCharacters() {
    while (!pendingFreeIds.empty()) {
        movie.AddTag(new CSwfFreeCharacter(pendingFreeIds.front()));
        pendingFreeIds.pop_front();
    }
}

int CConvertEngine::MovieSize() {
    return static_cast<int>(movie.EstimateSize());
}

bool CConvertEngine::FinishMovie(IConvertObserver* window, const ConvertOptions& opts) {
    if (idle) {
        return false;
    }
    idle = true;
    int width = opts.sizeToLargestImage ? largestWidth : opts.movieWidth;
    int height = opts.sizeToLargestImage ? largestHeight : opts.movieHeight;
    if (opts.blankFrameAtEnd) {
        AddShowFrame();
    }
    if (!opts.loopMovie) {
        auto* action = new CSwfDoAction;
        action->AddAction(new CSwfActionStop);
        action->AddAction(new CSwfActionStopSounds);
        movie.AddTag(action);
    } else if (opts.usePreloader) {
        movie.AddTag(MakeGotoAndPlay(5));
    }
    window->ShowState("Creating Movie file...");
    // A movie that cannot be written is reported (nothing replaces an earlier file of that
    // name) and its entries count as not converted.
    lastWriteFailed = !movie.WriteFile(outputPath.c_str(), width * 20, height * 20,
                                       static_cast<uint8_t>(opts.frameRate));
    if (lastWriteFailed) {
        std::string failure = movie.FailureText(); // empty when the disk was the problem
        ShowMessage("Error, unable to write the movie file:\n" + outputPath +
                    (failure.empty() ? "" : "\n\n" + failure));
    } else if (opts.writeHtmlPage) {
        std::string error = PublishHtmlPage(outputPath, width, height, opts.backgroundColor,
                                            opts.ruffleUrl, FindRuffleDirectory());
        if (!error.empty()) {
            ShowMessage(error);
        }
    }
    imageStore.Clear();
    movie.DeleteTags();
    return true;
}

void CConvertEngine::OpenMovie(const std::string& path, const ConvertOptions& opts,
                               IConvertObserver* window, bool hasEntries) {
    BeginMovie(path);
    SetBackground(opts.backgroundColor);
    if (opts.stopActionInFirstFrame) {
        AddStopAction();
    }
    if (opts.blankFrameAtStart) {
        AddShowFrame();
    }
    if (hasEntries) {
        if (opts.usePreloader) {
            AddPreloader(window, opts);
        }
        if (opts.useLens) {
            AddLens(opts);
        }
    }
}

void CConvertEngine::RunJob(const ConvertJob& run) {
    const ConvertOptions& opts = *run.options;
    IConvertObserver* win = run.window;
    bool single = opts.outputMode == OutputSingle;
    // A cancel abandons the movie under construction and sends nothing further.
    auto cancelled = [this] {
        if (!cancelRequested) {
            return false;
        }
        AbandonMovie();
        return true;
    };

    if (single) {
        std::string path;
        if (!AskSavePath(path)) {
            if (!cancelRequested) {
                win->FinishedConvert();
            }
            return;
        }
        OpenMovie(path, opts, win, run.first != nullptr);
        if (cancelled()) {
            return;
        }
    }

    for (ConvertObject* cur = run.first; cur != nullptr; cur = cur->next) {
        cur->result = 0;
        cur->outputPath = "none";
        win->ShowFileName(cur->id);
        if (!single) {
            OpenMovie(IndividualOutputPath(cur->path), opts, win, true);
        }
        if (cancelled()) {
            return;
        }
        win->IncrementProgress(1);

        int index = FormatIndexOf(cur->path, opts);
        ObjectKind kind = index < 0 ? KindStaticImage : FormatKind(opts.formats[index]);
        switch (kind) {
        case KindAudioFile:
            cur->result = opts.formats[index].formatId == FormatWav ? AddWave(*cur, opts, win)
                                                                    : AddMp3(*cur, opts, win);
            if (!single) {
                for (int i = 0; i < opts.framesPerImage; ++i) {
                    AddShowFrame();
                }
            }
            break;
        case KindMovieFile:
            cur->result = AddMovie(*cur, opts, win);
            break;
        default:
            cur->result = AddImage(*cur, opts, -1, -1);
            for (int i = 0; i < opts.framesPerImage; ++i) {
                AddShowFrame();
            }
            break;
        }
        if (cancelled()) {
            cur->result = 0;
            return;
        }
        cur->outputPath = outputPath;
        win->IncrementProgress(1);

        if (!single) {
            cur->convertedSize = MovieSize();
            FinishMovie(win, opts);
            if (lastWriteFailed) {
                cur->result = 0;
            }
        } else {
            bool last = cur->next == nullptr;
            cur->convertedSize = last ? MovieSize() : -1;
            if (!last || cur != run.first) {
                RemoveImage(1);
                if (opts.optimizePlayback && kind != KindMovieFile) {
                    FreeImageCharacters();
                }
            }
        }
        if (cancelled()) {
            return;
        }
        win->IncrementProgress(1);
    }

    if (single) {
        FinishMovie(win, opts);
        for (ConvertObject* cur = run.first; lastWriteFailed && cur != nullptr; cur = cur->next) {
            cur->result = 0;
        }
    }
    if (cancelled()) {
        return;
    }
    win->FinishedConvert();
}
