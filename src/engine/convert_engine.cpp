#include "engine/convert_engine.h"

#include "engine/engine_tags.h"
#include "engine/html_page.h"
#include "engine/option_fields.h"
#include "media/temp_files.h"
#include "swf/swf_actions.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <utility>
#include <vector>

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
    movie.Clear();
    pendingFreeIds.clear();
    idle = true;
}

void CConvertEngine::ShowMessage(const std::string& text, const std::string& caption) {
    if (prompt != nullptr) {
        prompt->ShowMessage(text, caption);
    }
}

std::string IndividualOutputPath(const std::string& source) {
    // Only the file name's extension is replaced: "my.dir/picture" keeps its folder's dot.
    size_t slash = source.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = source.rfind('.');
    bool hasExtension = dot != std::string::npos && dot > nameStart;
    return (hasExtension ? source.substr(0, dot) : source) + ".swf";
}

std::string FixSavePath(const std::string& path) {
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : path;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // A dot in a folder name ("out.d/m") is no extension of the file.
    if (ext.empty() || ext[0] != '.' || ext.find('/') != std::string::npos) {
        return path + ".swf";
    }
    if (ext != ".swf") {
        return path.substr(0, path.size() - 4) + ".swf";
    }
    return path;
}

std::string TooManyFramesText(const ConvertObject& entry) {
    return "Error, " + entry.path + " would take the movie past 65535 frames, the most a " +
           "movie can hold; it was not converted.";
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    bool aExists = stat(a.c_str(), &sa) == 0;
    bool bExists = stat(b.c_str(), &sb) == 0;
    if (aExists || bExists) {
        return aExists && bExists && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    std::error_code ignored;
    return std::filesystem::weakly_canonical(a, ignored) ==
           std::filesystem::weakly_canonical(b, ignored);
}

std::string SourceRefusal(const std::string& path) {
    struct stat info {};
    // A missing or unreadable file is left to the converter, which names what failed.
    if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        return {};
    }
    const char* what = S_ISDIR(info.st_mode)                            ? "a folder"
                       : S_ISFIFO(info.st_mode)                         ? "a pipe"
                       : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? "a device"
                                                                        : "not a regular file";
    return "Error, " + path + " is " + what +
           ", not a regular file; only regular files are converted.";
}

std::string OutputRefusal(const ConvertObject& entry, const std::string& target,
                          const ConvertObject* first,
                          const std::vector<std::pair<std::string, std::string>>& claimed) {
    for (const ConvertObject* e = first; e != nullptr; e = e->next) {
        if (SameFile(target, e->path)) {
            return "Error, the movie of " + entry.path + " would be written to " + target +
                   (e == &entry ? ", which is the file itself"
                                : ", which is the source " + e->path) +
                   "; nothing was written.";
        }
    }
    for (const auto& [source, output] : claimed) {
        if (SameFile(target, output)) {
            return "Error, " + source + " and " + entry.path + " would both be written to " +
                   output + "; " + entry.path + " was skipped and " + source + " keeps that name.";
        }
    }
    return {};
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
    movie.Clear();
    imageStore.Clear();
    pendingFreeIds.clear();
    return true;
}

void CConvertEngine::SetBackground(uint32_t colorBgr) {
    movie.AddTag(std::make_unique<CSwfSetBackgroundColor>(CSwfRGBA::FromBgr(colorBgr)));
}

void CConvertEngine::AddShowFrame() {
    movie.AddTag(std::make_unique<CSwfShowFrame>());
}

void CConvertEngine::AddStopAction() {
    auto action = std::make_unique<CSwfDoAction>();
    action->AddAction(std::make_unique<CSwfActionStop>());
    movie.AddTag(std::move(action));
}

void CConvertEngine::RemoveImage(uint16_t depth) {
    movie.AddTag(std::make_unique<CSwfRemoveObject2>(depth));
}

void CConvertEngine::FreeImageCharacters() {
    while (!pendingFreeIds.empty()) {
        movie.AddTag(std::make_unique<CSwfFreeCharacter>(pendingFreeIds.front()));
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
        auto action = std::make_unique<CSwfDoAction>();
        action->AddAction(std::make_unique<CSwfActionStop>())
            .AddAction(std::make_unique<CSwfActionStopSounds>());
        movie.AddTag(std::move(action));
    } else if (opts.usePreloader) {
        movie.AddTag(MakeGotoAndPlay(5));
    }
    window->ShowState("Creating Movie file...");
    if (movie.GetFrameCount() > kSwfPlayerFrameLimit && movie.GetFrameCount() <= kSwfMaxFrames) {
        ShowMessage("Warning, the movie " + outputPath + " has " +
                    std::to_string(movie.GetFrameCount()) +
                    " frames; players are documented to play 16000 frames at most.");
    }
    // A size too large for the header fails the write cleanly instead of wrapping around.
    auto twips = [](int pixels) {
        return static_cast<int32_t>(std::min<int64_t>(int64_t{pixels} * 20, INT32_MAX));
    };
    // A movie that cannot be written is reported (nothing replaces an earlier file of that
    // name) and its entries count as not converted.
    lastWriteFailed = !movie.WriteFile(outputPath.c_str(), twips(width), twips(height),
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
    // Ends a run that converts nothing: no entry has a movie, and the message says why.
    auto convertNothing = [&](const std::string& message) {
        for (ConvertObject* cur = run.first; cur != nullptr; cur = cur->next) {
            cur->result = 0;
            cur->outputPath = "none";
        }
        if (!message.empty()) {
            ShowMessage(message);
        }
        if (!cancelRequested) {
            win->FinishedConvert();
        }
    };
    // Every temporary file of the run lives in one private folder, removed with its files
    // however the run ends; an empty directory in the options stands for the system's.
    // Without the folder nothing is converted.
    std::string tempError;
    std::optional<TempFolder> folder = TempFolder::Create(
        opts.tempDirectory.empty() ? SystemTempDirectory() : opts.tempDirectory, &tempError);
    if (!folder) {
        convertNothing(tempError);
        return;
    }
    tempFolder = folder->Path();
    struct ForgetFolder {
        std::string& path;
        ~ForgetFolder() { path.clear(); }
    } forget{tempFolder};
    // A cancel abandons the movie under construction and sends nothing further.
    auto cancelled = [this] {
        if (!cancelRequested) {
            return false;
        }
        AbandonMovie();
        return true;
    };

    // The window's fields take any number: values no movie can hold stop the run here.
    std::string badOption = FirstOutOfRangeField(opts);
    if (!badOption.empty()) {
        convertNothing("Error, nothing was converted: " + badOption + ".");
        return;
    }

    if (single) {
        std::string path;
        if (!AskSavePath(path)) {
            convertNothing("");
            return;
        }
        // The single movie never replaces one of its own sources.
        for (ConvertObject* e = run.first; e != nullptr; e = e->next) {
            if (SameFile(path, e->path)) {
                convertNothing("Error, the movie would be written to " + path +
                               ", which is the source " + e->path + "; nothing was written.");
                return;
            }
        }
        OpenMovie(path, opts, win, run.first != nullptr);
        if (cancelled()) {
            return;
        }
    }

    // Whether any entry's output is incomplete: a single movie is then not written at all.
    bool anyFailed = false;
    // Sources and the movie names they took, so that no later entry writes over them.
    std::vector<std::pair<std::string, std::string>> claimed;
    for (ConvertObject* cur = run.first; cur != nullptr; cur = cur->next) {
        cur->result = 0;
        cur->outputPath = "none";
        win->ShowFileName(cur->id);
        std::string target = single ? outputPath : IndividualOutputPath(cur->path);
        std::string refusal = SourceRefusal(cur->path);
        if (refusal.empty() && !single) {
            refusal = OutputRefusal(*cur, target, run.first, claimed);
        }
        if (!refusal.empty()) {
            ShowMessage(refusal);
            anyFailed = true;
            if (cancelled()) {
                return;
            }
            win->IncrementProgress(3);
            continue;
        }
        if (!single) {
            claimed.emplace_back(cur->path, target);
            OpenMovie(target, opts, win, true);
        }
        if (cancelled()) {
            return;
        }
        win->IncrementProgress(1);

        int index = FormatIndexOf(cur->path, opts);
        ObjectKind kind = index < 0 ? KindStaticImage : FormatKind(opts.formats[index]);
        const uint32_t framesBefore = movie.GetFrameCount();
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
            // A movie none of whose pictures could be taken would be an empty movie.
            if (cur->result == 1 && movie.GetFrameCount() == framesBefore) {
                ShowMessage("Error, the movie has no picture to convert:\n" + cur->path);
                cur->result = 0;
            }
            break;
        default:
            if (framesBefore + static_cast<uint32_t>(opts.framesPerImage) > kSwfMaxFrames) {
                ShowMessage(TooManyFramesText(*cur));
                break;
            }
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
        anyFailed = anyFailed || cur->result != 1;
        cur->outputPath = outputPath;
        win->IncrementProgress(1);

        if (!single) {
            // A failed entry writes nothing: an earlier movie of that name stays as it was.
            if (cur->result == 1) {
                cur->convertedSize = MovieSize();
                FinishMovie(win, opts);
                if (lastWriteFailed) {
                    cur->result = 0;
                }
            } else {
                AbandonMovie();
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
        if (anyFailed) {
            // A movie missing some of its entries is not written: an earlier file stays.
            ShowMessage("Error, the movie " + outputPath +
                        " was not written because not every file could be converted.");
            AbandonMovie();
        } else {
            FinishMovie(win, opts);
        }
        for (ConvertObject* cur = run.first; (anyFailed || lastWriteFailed) && cur != nullptr;
             cur = cur->next) {
            cur->result = 0;
        }
    }
    if (cancelled()) {
        return;
    }
    win->FinishedConvert();
}
