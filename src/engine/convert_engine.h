// The conversion engine: a worker thread walks the convert list, builds each movie with the
// SWF writer and writes one file per entry or one for the whole list, reporting through
// IConvertObserver and asking through IConvertPrompt.
#pragma once

#include "engine/convert_object.h"
#include "engine/convert_observer.h"
#include "engine/convert_options.h"
#include "engine/image_store.h"
#include "swf/swf_tag.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class CConvertEngine;
class RgbImage;

// The most bytes a sound may have as a 16-bit PCM WAV file, and an MP3 file as it is.
constexpr long kSoundSizeLimit = 30000000;

struct ConvertJob {
    IConvertObserver* window = nullptr;
    ConvertObject* first = nullptr;
    ConvertOptions* options = nullptr;
    CConvertEngine* engine = nullptr;
};

class CConvertEngine {
public:
    explicit CConvertEngine(IConvertPrompt* prompt);
    virtual ~CConvertEngine();
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

    // Movie building blocks, used by the worker and by the converters.
    bool BeginMovie(const std::string& path);
    bool FinishMovie(IConvertObserver* window, const ConvertOptions& opts);
    void SetBackground(uint32_t colorBgr);
    void AddShowFrame();
    void AddStopAction();
    void RemoveImage(uint16_t depth);
    void FreeImageCharacters();
    int MovieSize();
    bool AskSavePath(std::string& path);
    bool IsIdle() const { return idle; }

    // Converters; each returns the entry's result (1 or 0).
    int AddImage(ConvertObject& entry, const ConvertOptions& opts, int32_t formatOverride,
                 int storedId);
    int AddWave(ConvertObject& entry, const ConvertOptions& opts, IConvertObserver* window);
    int AddMp3(ConvertObject& entry, const ConvertOptions& opts, IConvertObserver* window);
    int AddMovie(ConvertObject& entry, const ConvertOptions& opts, IConvertObserver* window);
    int AddPreloader(IConvertObserver* window, const ConvertOptions& opts);
    void AddLens(const ConvertOptions& opts);

    // Picture decoding into the store.
    int LoadLossless(const ConvertObject& entry, int& width, int& height, int& id);
    // keepOriginal: store the file's own JPEG data when a player can show it as it is.
    int LoadJpeg(const ConvertObject& entry, int& width, int& height, int& dataLength, int quality,
                 int& id, bool keepOriginal = false);
    int ToLossless(int id);

    // Writes the built-in preloader picture (resource 145) to path.
    int WriteResourceFile(IConvertObserver* owner, int resourceId, const std::string& path);

    ImageStore& Images() { return imageStore; }
    CSwfMovie& Movie() { return movie; }
    IConvertPrompt* Prompt() const { return prompt; }

private:
    void ShowMessage(const std::string& text, const std::string& caption = "");
    // Decodes the entry's picture file, reporting a decoding error.
    bool DecodePicture(const ConvertObject& entry, RgbImage& image, int& width, int& height);
    // A new store entry with a buffer of that capacity, or null (nothing stored) without one.
    StoredImage* MakeFilledEntry(size_t capacity);
    // Begins an individual entry's or the single movie: background, stop action, blank
    // start frame, preloader and lens as the options ask.
    void OpenMovie(const std::string& path, const ConvertOptions& opts, IConvertObserver* window,
                   bool hasEntries);
    void AbandonMovie();

    std::deque<uint16_t> pendingFreeIds;
    ImageStore imageStore;
    // Where pictures are encoded to JPEG before their bytes are stored.
    std::unique_ptr<unsigned char[]> jpegScratch;
    size_t jpegScratchSize = 0;
    std::thread worker;
    int largestHeight = 0;
    int largestWidth = 0;
    CSwfMovie movie;
    bool idle = true;
    bool lastWriteFailed = false;
    std::string outputPath;
    // The running conversion's private temporary folder, ending with "/"; the converters put
    // it in front of their temporary file names in place of the options' directory.
    std::string tempFolder;
    ConvertJob job;

    IConvertPrompt* prompt;
    std::atomic<bool> cancelRequested{false};
    std::atomic<bool> running{false};
};

// Output path of an individual movie: the source with its file name's extension, if any,
// replaced by ".swf" ("my.dir/picture" gives "my.dir/picture.swf").
std::string IndividualOutputPath(const std::string& source);
// The save dialog's fix-up: a path not ending in ".swf" (any case) gets it, replacing a
// 4-character extension of the file name such as ".jpg" ("out.d/m" gives "out.d/m.swf").
std::string FixSavePath(const std::string& path);
// The message of an entry refused because the movie would have more than 65535 frames.
std::string TooManyFramesText(const ConvertObject& entry);
// Whether two paths name the same file: the same inode when either exists, else the same
// normalised path.
bool SameFile(const std::string& a, const std::string& b);
// Why a source cannot be converted because it is not a regular file (after following
// symbolic links): a folder, pipe or device would be read without end. Empty for a regular
// file and for one that does not exist (the converter reports that).
std::string SourceRefusal(const std::string& path);
// Why an individual entry's movie may not be written to target: it would replace a source
// of the list, or a movie an earlier entry (claimed: source, movie) writes. Empty when free.
std::string OutputRefusal(const ConvertObject& entry, const std::string& target,
                          const ConvertObject* first,
                          const std::vector<std::pair<std::string, std::string>>& claimed);
