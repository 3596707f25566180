// OrderedPool: a fixed set of worker threads that run submitted tasks side by side and hand
// their results back in the order the tasks were submitted. The owner submits and takes
// results on one thread; how far it submits ahead of what it takes bounds the results held.
// With no worker threads a task runs on the owner's thread when its result is taken, so one
// worker means exactly the sequential order of work.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace kestrova::media {

template <class T> class OrderedPool {
public:
    explicit OrderedPool(int workers) {
        for (int i = 0; i < workers; ++i) {
            threads.emplace_back([this] { Work(); });
        }
    }
    ~OrderedPool() {
        Stop();
        for (std::thread& t : threads) {
            t.join();
        }
    }
    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    bool Threaded() const { return !threads.empty(); }

    void Submit(std::function<T()> task) {
        std::lock_guard lock(mutex);
        results.emplace_back();
        if (Threaded()) {
            queue.push_back({submitted, std::move(task)});
            workReady.notify_one();
        } else {
            deferred.push_back(std::move(task));
        }
        ++submitted;
    }

    // Submitted tasks whose results have not been taken yet.
    size_t Pending() const {
        std::lock_guard lock(mutex);
        return results.size();
    }

    // The result of the oldest task not taken yet, waiting for it; there must be one.
    T Next() {
        if (!Threaded()) {
            std::function<T()> task = std::move(deferred.front());
            deferred.pop_front();
            results.pop_front();
            ++taken;
            return task();
        }
        std::unique_lock lock(mutex);
        resultReady.wait(lock, [this] { return results.front().has_value(); });
        T result = std::move(*results.front());
        results.pop_front();
        ++taken;
        return result;
    }

    // Drops the tasks no worker has started; the running ones finish (they watch the
    // caller's cancel flag). Results not taken are dropped with the pool.
    void Stop() {
        std::lock_guard lock(mutex);
        stopping = true;
        queue.clear();
        deferred.clear();
        workReady.notify_all();
    }

private:
    struct Task {
        uint64_t index;
        std::function<T()> run;
    };

    void Work() {
        std::unique_lock lock(mutex);
        for (;;) {
            workReady.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty()) {
                return;
            }
            Task task = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            T result = task.run();
            lock.lock();
            if (task.index >= taken) { // not dropped by Stop meanwhile
                results[task.index - taken] = std::move(result);
                resultReady.notify_all();
            }
        }
    }

    mutable std::mutex mutex;
    std::condition_variable workReady;
    std::condition_variable resultReady;
    std::deque<Task> queue;
    std::deque<std::function<T()>> deferred;
    // One slot per submitted task not taken yet, in submission order.
    std::deque<std::optional<T>> results;
    uint64_t submitted = 0;
    uint64_t taken = 0;
    bool stopping = false;
    std::vector<std::thread> threads;
};

} // namespace kestrova::media
