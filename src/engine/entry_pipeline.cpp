#include "engine/entry_pipeline.h"
#include "engine/engine_namespace.h"

namespace kestrova::engine {

EntryPipeline::EntryPipeline(const EntryContext& context, int workers)
    : context(context), limit(workers > 1 ? static_cast<size_t>(workers) + 2 : 1),
      pool(workers > 1 ? workers : 0) {}

EntryPipeline::~EntryPipeline() {
    pool.Stop();
}

void EntryPipeline::Queue(const ConvertObject& entry, const EntryConverter* converter) {
    const uint64_t index = queued++;
    if (converter == nullptr) {
        pool.Submit([] { return PreparedResult{}; });
        return;
    }
    // The worker reads its own copy of what Prepare needs of the entry.
    ConvertObject copy;
    copy.id = entry.id;
    copy.path = entry.path;
    copy.size = entry.size;
    pool.Submit([this, index, copy, converter] {
        EntryContext local = context;
        if (pool.Threaded()) {
            local.status = [this, index](const std::string& text) { Status(index, text); };
        }
        PreparedResult result;
        result.prepared.emplace(converter->Prepare(copy, local, false, result.notes));
        return result;
    });
}

void EntryPipeline::Status(uint64_t index, const std::string& text) {
    std::lock_guard lock(statusMutex);
    if (index == current) {
        context.status(text);
    } else {
        heldStates[index].push_back(text);
    }
}

PreparedResult EntryPipeline::Next() {
    {
        std::lock_guard lock(statusMutex);
        current = queued - pool.Pending();
        auto held = heldStates.find(current);
        if (held != heldStates.end()) {
            for (const std::string& text : held->second) {
                context.status(text);
            }
            heldStates.erase(held);
        }
    }
    return pool.Next();
}

} // namespace kestrova::engine
