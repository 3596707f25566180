// AviDecomposer: takes a movie file apart for the conversion engine. Every sound stream is
// decoded into a temporary 16-bit PCM WAV file ("Audio3.wav") that the engine converts like
// an audio entry; every frame of every video stream, the first included, is decoded, turned into
// 24-bit RGB and written as JPEG data, and handed to the engine as one picture of the movie,
// followed by its ShowFrames and its removal. The pixel conversion and JPEG encoding of
// several frames may run side by side on worker threads; the engine still receives the frames
// one by one, in their order, on the caller's thread.
//
// FFmpeg does the reading (libavformat), decoding (libavcodec, frame threads), pixel
// conversion (libswscale) and sound conversion (libswresample), so every container and codec
// FFmpeg knows is accepted, not only AVI. The media layer knows nothing of the engine: the
// engine's services reach the decomposer through IMovieEngine, and the status line and message
// boxes through IMovieWindow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVFrame;

namespace kestrova::media {

class FrameEncoder;

// One frame of the movie as JPEG data; empty when it could not be made.
struct EncodedFrame {
    std::vector<uint8_t> jpeg;
    int width = 0;
    int height = 0;
};

// The front end as the decomposer sees it: the status line and the modal message boxes.
class IMovieWindow {
public:
    virtual ~IMovieWindow() = default;
    // Replaces the status line's text; returns when the front end has shown it.
    virtual void ShowState(const char* text) = 0;
    // A modal message box with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // A modal yes/no question with a caption; true for yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
};

// The conversion engine's services that the decomposer drives, frame by frame.
class IMovieEngine {
public:
    virtual ~IMovieEngine() = default;
    // A new stored picture whose JPEG bytes live in the (already written) file at path,
    // deleted when the store releases it; its id, or -1.
    virtual int MakeFrameFile(const std::string& path) = 0;
    // A new stored picture with an in-memory buffer of capacity bytes; the buffer (its id in
    // *id), or nullptr when it cannot be had.
    virtual uint8_t* MakeFrameBuffer(size_t capacity, int* id) = 0;
    // Records a stored picture's size and JPEG byte count.
    virtual void SetFrameInfo(int id, int width, int height, int byteCount) = 0;
    // Forgets a stored picture that could not be written.
    virtual void DropFrame(int id) = 0;
    // Turns a stored JPEG picture into lossless pixels: the new id, or -1.
    virtual int ToLossless(int id) = 0;
    // Adds the stored picture to the movie with the movie-frame encoding; 0 on failure.
    virtual int AddFrameImage(const std::string& framePath, int id) = 0;
    // Converts the WAV file at path like an audio entry; 0 on failure.
    virtual int AddSound(const std::string& wavPath) = 0;
    virtual void AddShowFrame() = 0;
    virtual void RemoveImage(uint16_t depth) = 0;
    virtual void FreeImageCharacters() = 0;
    // True once the user has asked to stop the conversion.
    virtual bool IsCancelRequested() = 0;
};

// The ".avi" format entry's settings and the options that shape the taking apart.
struct DecomposeSettings {
    bool soundFlag = true;         // convert the movie's sound streams
    int swfFramesPerImage = 1;     // SWF frames each taken frame lasts
    int quality = 80;              // JPEG quality of the frames
    bool lossless = false;         // frames become lossless pixels instead of JPEG
    bool maxRam = false;           // frames stay in memory instead of temporary JPEG files
    bool optimizePlayback = false; // free each frame's characters after its removal
    uint64_t maxSoundBytes = 0;    // the most a converted sound may have (0: no limit); a
                                   // sound track that cannot fit is not extracted in full
    int workers = 0; // threads encoding frames to JPEG side by side; 0: the caller's thread
};

// The texts shown when a movie file cannot be opened.
extern const char* const kAviErrBadFormatText;
extern const char* const kAviErrMemoryText;
extern const char* const kAviErrFileReadText;
extern const char* const kAviErrFileOpenText;
extern const char* const kAviErrNoCodecText;
extern const char* const kAviErrUnknownText;
// The text ("%s" for the movie's path) of a sound track too long to convert: the movie is
// made without it, as the only failure that does not make the movie incomplete.
extern const char* const kSoundTooLongText;
// The question after a frame that could not be converted (captions "Error1" and "Error2").
extern const char* const kContinueQuestion;
// The open-error text for an FFmpeg error code (AVERROR_...).
const char* MovieOpenErrorText(int averror);

class AviDecomposer {
public:
    AviDecomposer();
    // Closes the movie file if still open.
    virtual ~AviDecomposer();
    AviDecomposer(const AviDecomposer&) = delete;
    AviDecomposer& operator=(const AviDecomposer&) = delete;

    // Opens the movie file; tempDirectory (the conversion's private folder, ending with "/")
    // is put directly in front of every temporary file name. 1 on success; 0 when no window is
    // given or the file cannot be opened (its text has then been shown).
    int Open(IMovieWindow* window, const std::string& sourcePath, const std::string& tempDirectory);
    // Sound streams first, then the frames of the video streams. 1 when all streams were
    // processed; 0 when engine or settings are missing, when the user answered No to a
    // question, when a temporary file could not be written (its text has been shown) or when
    // the conversion was cancelled. Closes the file in every case.
    int Decompose(IMovieEngine* engine, const DecomposeSettings* settings);
    // Releases the movie file and forgets the engine. Always 1.
    int Close();

    // Whether the open file has a video stream to take frames from (a cover picture is none).
    bool HasPictures() const;
    // Frames taken so far over all video streams.
    int FrameCounter() const { return frameCounter; }

private:
    enum class Outcome { Done, Failed, Stop };

    void ShowStatus(const char* text);
    int OpenInput();
    bool Rewind(int streamIndex);
    bool IsPlainVideo(int streamIndex) const;
    bool IsSound(int streamIndex) const;
    Outcome ExtractSound(int streamIndex, const std::string& soundPath);
    Outcome TakeFrames(int streamIndex);
    Outcome TakeFrame(EncodedFrame frame);
    int StoreFrame(std::string& framePath, const EncodedFrame& frame);
    // Encodes one frame with a spare encoder; safe on any thread.
    EncodedFrame EncodeFrame(const AVFrame* frame, int quality);

    IMovieEngine* engine = nullptr;
    int frameCounter = 0;
    DecomposeSettings settings;
    char statusText[1000] = {};
    AVFormatContext* input = nullptr;
    bool packetsRead = false; // the next pass must start the file again
    IMovieWindow* window = nullptr;
    std::string sourcePath;
    std::string tempDirectory;
    int nameSerial = 0; // numbers the frame files
    // Frame encoders not in use, kept from frame to frame; one is taken by each frame being
    // encoded, on whichever thread encodes it.
    std::mutex encodersMutex;
    std::vector<std::unique_ptr<FrameEncoder>> spareEncoders;
};

} // namespace kestrova::media
