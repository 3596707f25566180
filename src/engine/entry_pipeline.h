// The entries of a run prepared ahead of the driver: worker threads run the converters'
// Prepare for the next entries while the driver appends the current one, and the driver takes
// the results in list order, so the movie is the same bytes whatever the number of workers.
// At most workers + 2 entries are prepared ahead of the one being appended, which bounds the
// pictures held. The status texts of an entry reach the front end only once every earlier
// entry's have: those of the entry the driver waits for at once, the others when it comes up.
#pragma once

#include "engine/engine_namespace.h"
#include "engine/entry_converter.h"
#include "media/ordered_pool.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::engine {

// What Prepare gave for an entry; empty when the entry was not prepared ahead (the driver
// prepares it when it comes up, after asking its question, or refuses it).
struct PreparedResult {
    std::optional<Result<std::unique_ptr<PreparedEntry>>> prepared;
    Notes notes;
};

class EntryPipeline {
public:
    // With one worker every entry is prepared on the driver's thread when it comes up.
    EntryPipeline(const EntryContext& context, int workers);
    ~EntryPipeline();
    EntryPipeline(const EntryPipeline&) = delete;
    EntryPipeline& operator=(const EntryPipeline&) = delete;

    // Whether another entry may be queued now.
    bool HasRoom() const { return pool.Pending() < limit; }
    // Queues the list's next entry, prepared ahead by converter when given.
    void Queue(const ConvertObject& entry, const EntryConverter* converter);
    // The oldest queued entry's preparation, waiting for it.
    PreparedResult Next();

private:
    void Status(uint64_t index, const std::string& text);

    const EntryContext& context;
    const size_t limit;
    uint64_t queued = 0;
    std::mutex statusMutex;
    // The entry the driver waits for, whose status texts go straight to the front end; none
    // until the driver first waits.
    uint64_t current = UINT64_MAX;
    std::map<uint64_t, std::vector<std::string>> heldStates;
    OrderedPool<PreparedResult> pool; // last: its workers stop before the rest goes
};

} // namespace kestrova::engine
