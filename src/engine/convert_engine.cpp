#include "engine/convert_engine.h"
#include "engine/engine_namespace.h"

#include "engine/converter_parts.h"
#include "engine/option_fields.h"
#include "media/temp_files.h"

#include <optional>

namespace kestrova::engine {

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
    job = ConvertJob{window, first, options};
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
    builder.Abandon();
}

const EntryConverter& ConverterFor(ObjectKind kind) {
    switch (kind) {
    case KindAudioFile:
        return SoundEntryConverter();
    case KindMovieFile:
        return MovieEntryConverter();
    default:
        return PictureEntryConverter();
    }
}

namespace {

// The converter that prepares the entry ahead of its turn, or null: a folder, pipe or device
// is refused when its turn comes, and an entry with a question is prepared once answered.
const EntryConverter* ConverterAhead(const ConvertObject& entry, const ConvertOptions& opts) {
    const EntryConverter& converter = ConverterFor(FileKind(entry.path, opts));
    if (!SourceRefusal(entry.path).empty() || converter.Question(entry, opts)) {
        return nullptr;
    }
    return &converter;
}

} // namespace

std::string TooManyFramesText(const std::string& path) {
    return "Error, " + path + " would take the movie past 65535 frames, the most a " +
           "movie can hold; it was not converted.";
}

void CConvertEngine::Show(const ConvertError& error) {
    if (prompt != nullptr && !error.text.empty()) {
        prompt->ShowMessage(error.text, error.caption);
    }
}

bool CConvertEngine::Ask(const ConvertError& question) {
    return prompt != nullptr && prompt->AskYesNo(question.text, question.caption);
}

bool CConvertEngine::Cancelled() {
    if (!cancelRequested) {
        return false;
    }
    builder.Abandon();
    return true;
}

bool CConvertEngine::AskSavePath(std::string& path) {
    std::string chosen;
    if (prompt == nullptr || !prompt->ChooseSavePath(chosen)) {
        return false;
    }
    if (chosen.size() < 2) {
        Show({"Error, save path to short or not valid", ""});
        return false;
    }
    path = FixSavePath(chosen);
    return true;
}

void CConvertEngine::EndWithNothing(const ConvertJob& run, const std::string& message) {
    for (ConvertObject* cur = run.first; cur != nullptr; cur = cur->next) {
        cur->result = 0;
        cur->outputPath = "none";
    }
    Show({message, ""});
    if (!cancelRequested) {
        run.window->FinishedConvert();
    }
}

void CConvertEngine::RunJob(const ConvertJob& run) {
    const ConvertOptions& opts = *run.options;
    IConvertObserver* window = run.window;
    // Every temporary file of the run lives in one private folder, removed with its files
    // however the run ends; an empty directory in the options stands for the system's.
    // Without the folder nothing is converted.
    std::string tempError;
    std::optional<TempFolder> folder = TempFolder::Create(
        opts.tempDirectory.empty() ? SystemTempDirectory() : opts.tempDirectory, &tempError);
    if (!folder) {
        EndWithNothing(run, tempError);
        return;
    }
    Run state{run,
              EntryContext{
                  .opts = opts,
                  .tempFolder = folder->Path(),
                  .status = [window](const std::string& text) { window->ShowState(text.c_str()); },
                  .show = [this](const ConvertError& error) { Show(error); },
                  .ask = [this](const ConvertError& question) { return Ask(question); },
                  .cancel = &cancelRequested,
              },
              opts.outputMode == OutputSingle,
              false,
              {}};
    if (!OpenRun(state)) {
        return;
    }
    // The workers prepare the next entries while this thread appends the current one; the
    // pipeline goes (its workers stopped) before the temporary folder does.
    EntryPipeline pipeline(state.context, WorkerThreadCount(opts));
    state.pipeline = &pipeline;
    ConvertObject* ahead = run.first;
    for (ConvertObject* cur = run.first; cur != nullptr; cur = cur->next) {
        for (; ahead != nullptr && pipeline.HasRoom(); ahead = ahead->next) {
            pipeline.Queue(*ahead, ConverterAhead(*ahead, opts));
        }
        if (!ConvertEntry(state, *cur)) {
            return;
        }
    }
    CloseRun(state);
}

bool CConvertEngine::OpenRun(Run& run) {
    // The window's fields take any number: values no movie can hold stop the run here.
    std::string badOption = FirstOutOfRangeField(run.context.opts);
    if (!badOption.empty()) {
        EndWithNothing(run.job, "Error, nothing was converted: " + badOption + ".");
        return false;
    }
    if (!run.single) {
        return true;
    }
    std::string path;
    if (!AskSavePath(path)) {
        EndWithNothing(run.job, "");
        return false;
    }
    // The single movie never replaces one of its own sources.
    for (ConvertObject* e = run.job.first; e != nullptr; e = e->next) {
        if (SameFile(path, e->path)) {
            EndWithNothing(run.job, "Error, the movie would be written to " + path +
                                        ", which is the source " + e->path +
                                        "; nothing was written.");
            return false;
        }
    }
    builder.Begin(path);
    OpenMovie(builder, run.context, run.job.first != nullptr);
    return !Cancelled();
}

std::string CConvertEngine::Refusal(Run& run, const ConvertObject& entry) {
    std::string refusal = SourceRefusal(entry.path);
    if (refusal.empty() && !run.single) {
        std::string target = IndividualOutputPath(entry.path);
        refusal = OutputRefusal(entry, target, run.job.first, run.claimed);
        if (refusal.empty()) {
            run.claimed.emplace_back(entry.path, target);
        }
    }
    return refusal;
}

bool CConvertEngine::ConvertEntry(Run& run, ConvertObject& entry) {
    IConvertObserver* window = run.job.window;
    entry.result = 0;
    entry.outputPath = "none";
    window->ShowFileName(entry.id);
    if (std::string refusal = Refusal(run, entry); !refusal.empty()) {
        run.pipeline->Next(); // whatever was prepared of it is dropped
        Show({refusal, ""});
        run.anyFailed = true;
        if (Cancelled()) {
            return false;
        }
        window->IncrementProgress(3);
        return true;
    }
    if (!run.single) {
        builder.Begin(run.claimed.back().second);
        OpenMovie(builder, run.context, true);
    }
    if (Cancelled()) {
        return false;
    }
    window->IncrementProgress(1);
    ObjectKind kind = FileKind(entry.path, run.context.opts);
    entry.result = AddEntry(run, entry, kind) ? 1 : 0;
    if (Cancelled()) {
        entry.result = 0;
        return false;
    }
    run.anyFailed = run.anyFailed || entry.result != 1;
    entry.outputPath = builder.Path();
    window->IncrementProgress(1);
    EndEntry(run, entry, kind);
    if (Cancelled()) {
        return false;
    }
    window->IncrementProgress(1);
    return true;
}

bool CConvertEngine::AddEntry(Run& run, const ConvertObject& entry, ObjectKind& kind) {
    PreparedResult ahead = run.pipeline->Next();
    Notes notes = std::move(ahead.notes);
    if (!ahead.prepared) {
        // Its question is asked now that its turn has come, and it is prepared here.
        const EntryConverter& converter = ConverterFor(kind);
        std::optional<ConvertError> question = converter.Question(entry, run.context.opts);
        const bool yes = question && Ask(*question);
        ahead.prepared.emplace(converter.Prepare(entry, run.context, yes, notes));
    }
    Result<std::unique_ptr<PreparedEntry>>& prepared = *ahead.prepared;
    for (const ConvertError& note : notes) {
        Show(note);
    }
    if (cancelRequested) {
        return false;
    }
    if (prepared && (*prepared)->CountsAsSound()) {
        kind = KindAudioFile;
    }
    Status added = prepared ? (*prepared)->Append(builder, run.context) : prepared.Error();
    if (!added) {
        Show(added.Error());
    }
    return added.Ok();
}

void CConvertEngine::EndEntry(Run& run, ConvertObject& entry, ObjectKind kind) {
    const ConvertOptions& opts = run.context.opts;
    if (!run.single) {
        // A failed entry writes nothing: an earlier movie of that name stays as it was.
        if (entry.result == 1) {
            entry.convertedSize = builder.Size();
            entry.result = FinishMovie(opts, run.job.window) ? 1 : 0;
        } else {
            builder.Abandon();
        }
        return;
    }
    bool last = entry.next == nullptr;
    entry.convertedSize = last ? builder.Size() : -1;
    if (!last || &entry != run.job.first) {
        builder.RemoveImage(1);
        if (opts.optimizePlayback && kind != KindMovieFile) {
            builder.FreeImageCharacters();
        }
    }
}

void CConvertEngine::CloseRun(Run& run) {
    if (run.single) {
        bool written = false;
        if (run.anyFailed) {
            // A movie missing some of its entries is not written: an earlier file stays.
            Show({"Error, the movie " + builder.Path() +
                      " was not written because not every file could be converted.",
                  ""});
            builder.Abandon();
        } else {
            written = FinishMovie(run.context.opts, run.job.window);
        }
        for (ConvertObject* cur = run.job.first; !written && cur != nullptr; cur = cur->next) {
            cur->result = 0;
        }
    }
    if (!Cancelled()) {
        run.job.window->FinishedConvert();
    }
}

bool CConvertEngine::FinishMovie(const ConvertOptions& opts, IConvertObserver* window) {
    window->ShowState("Creating Movie file...");
    std::vector<ConvertError> warnings;
    Status written = builder.Finish(opts, warnings);
    for (const ConvertError& warning : warnings) {
        Show(warning);
    }
    if (!written) {
        Show(written.Error());
    }
    return written.Ok();
}

} // namespace kestrova::engine
