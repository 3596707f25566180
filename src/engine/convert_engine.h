// The conversion driver: a worker thread walks the convert list, has each entry's converter
// prepare it and append it to the movie under construction, and writes one movie per entry or
// one for the whole list. It reports through IConvertObserver and shows the converters' errors
// and asks their questions through IConvertPrompt; nothing else talks to the front end.
#pragma once

#include "engine/convert_object.h"
#include "engine/convert_observer.h"
#include "engine/convert_options.h"
#include "engine/engine_namespace.h"
#include "engine/entry_converter.h"
#include "engine/entry_pipeline.h"
#include "engine/movie_builder.h"
#include "engine/output_paths.h"

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kestrova::engine {

struct ConvertJob {
    IConvertObserver* window = nullptr;
    ConvertObject* first = nullptr;
    ConvertOptions* options = nullptr;
};

class CConvertEngine {
public:
    explicit CConvertEngine(IConvertPrompt* prompt);
    ~CConvertEngine();
    CConvertEngine(const CConvertEngine&) = delete;
    CConvertEngine& operator=(const CConvertEngine&) = delete;

    // Starts the worker on the list and the live options record; false (nothing started)
    // when either is null or a conversion is still running.
    bool StartConversion(IConvertObserver* window, ConvertObject* first, ConvertOptions* options);
    // Asks the worker to stop; safe from any thread and from a signal handler. The worker
    // stops at its next check, writes nothing further and sends no further notification.
    void RequestCancel() { cancelRequested = true; }
    bool IsCancelRequested() const { return cancelRequested; }
    // Stops the worker, waits for it and leaves the engine idle with an empty movie.
    void CancelConversion();
    // Waits until the running conversion, if any, has ended.
    void Wait();
    bool IsRunning() const { return running; }
    // Runs a conversion on the calling thread (the worker's body).
    void RunJob(const ConvertJob& job);

    bool IsIdle() const { return builder.IsIdle(); }
    CSwfMovie& Movie() { return builder.Movie(); }
    int KeptPictures() const { return builder.KeptPictures(); }

private:
    // One run's state: the job, the converters' context, and what the entries so far did.
    struct Run {
        const ConvertJob& job;
        EntryContext context;
        bool single;
        // Whether any entry's output is incomplete: a single movie is then not written.
        bool anyFailed = false;
        // Sources and the movie names they took, so that no later entry writes over them.
        std::vector<std::pair<std::string, std::string>> claimed;
        // Where the entries are prepared, ahead of the one being appended.
        EntryPipeline* pipeline = nullptr;
    };

    void Show(const ConvertError& error);
    bool Ask(const ConvertError& question);
    // Abandons the movie under construction when a cancel is pending; true then.
    bool Cancelled();
    // Ends a run that converts nothing: no entry has a movie, and the message says why.
    void EndWithNothing(const ConvertJob& job, const std::string& message);
    // Checks the options and opens the single movie; false when the run ended there.
    bool OpenRun(Run& run);
    // Converts one entry; false when the run was cancelled.
    bool ConvertEntry(Run& run, ConvertObject& entry);
    // Why the entry is skipped before it is read; empty when it is converted.
    std::string Refusal(Run& run, const ConvertObject& entry);
    // Prepares the entry and appends it to the movie; whether it converted. kind becomes the
    // kind the entry is ended as (a movie file with sound only is a sound).
    bool AddEntry(Run& run, const ConvertObject& entry, ObjectKind& kind);
    // Writes an individual entry's movie, or closes the entry in the single movie.
    void EndEntry(Run& run, ConvertObject& entry, ObjectKind kind);
    // Writes the single movie; FinishedConvert.
    void CloseRun(Run& run);
    bool FinishMovie(const ConvertOptions& opts, IConvertObserver* window);
    bool AskSavePath(std::string& path);

    MovieBuilder builder;
    std::thread worker;
    ConvertJob job;
    IConvertPrompt* prompt;
    std::atomic<bool> cancelRequested{false};
    std::atomic<bool> running{false};
};

} // namespace kestrova::engine
