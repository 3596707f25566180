// One converter per kind of list entry (picture, sound, movie), in two steps:
//
// - Prepare does the expensive work that does not touch the movie (reading, decoding, turning,
//   JPEG encoding, sound re-encoding, taking a movie file apart). It reads only its arguments
//   and the files it names, so it may run on any thread.
// - PreparedEntry::Append adds the entry's tags to the movie. The driver calls it on its own
//   thread, in list order, so character ids and frames come out as the list says.
//
// Messages are values: Prepare returns the error that fails the entry (an error with an empty
// text fails it without a word) and puts the messages shown whatever the outcome into notes;
// Append shows its messages and asks its questions through the context, on the driver's thread.
#pragma once

#include "engine/convert_object.h"
#include "engine/convert_options.h"
#include "engine/convert_result.h"
#include "engine/engine_namespace.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::engine {

class MovieBuilder;

struct EntryContext {
    const ConvertOptions& opts;
    // The run's private temporary folder, ending with "/".
    std::string tempFolder;
    // The status line; Prepare may call it from any thread.
    std::function<void(const std::string&)> status = [](const std::string&) {};
    // A message box and a yes/no question (true for yes), for Append only.
    std::function<void(const ConvertError&)> show = [](const ConvertError&) {};
    std::function<bool(const ConvertError&)> ask = [](const ConvertError&) { return false; };
    // Set once the user asked to stop; read from any thread.
    const std::atomic<bool>* cancel = nullptr;

    bool Cancelled() const { return cancel != nullptr && cancel->load(); }
};

class PreparedEntry {
public:
    virtual ~PreparedEntry() = default;
    virtual Status Append(MovieBuilder& builder, const EntryContext& context) = 0;
    // Whether the entry is a sound whatever its file's kind (a movie file with sound only): the
    // driver then ends it as a sound entry.
    virtual bool CountsAsSound() const { return false; }
};

using Notes = std::vector<ConvertError>;

class EntryConverter {
public:
    virtual ~EntryConverter() = default;
    // A question the driver asks before Prepare (in list order); Prepare gets the answer.
    virtual std::optional<ConvertError> Question(const ConvertObject&,
                                                 const ConvertOptions&) const {
        return std::nullopt;
    }
    virtual Result<std::unique_ptr<PreparedEntry>> Prepare(const ConvertObject& entry,
                                                           const EntryContext& context,
                                                           bool answeredYes,
                                                           Notes& notes) const = 0;
};

// The converter of an entry of that kind.
const EntryConverter& ConverterFor(ObjectKind kind);

// The message of an entry refused because the movie would have more than 65535 frames.
std::string TooManyFramesText(const std::string& path);
// The most bytes a sound may have as a 16-bit PCM WAV file, and an MP3 file as it is.
constexpr long kSoundSizeLimit = 30000000;

} // namespace kestrova::engine
