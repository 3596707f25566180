#include "app/worker_bridge.h"
#include "app/app_namespace.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>
#include <memory>

namespace kestrova::app {

struct CWorkerBridge::Pending {
    bool done = false;
};

CWorkerBridge::CWorkerBridge(QObject* receiver, std::function<bool()> cancelled)
    : receiver(receiver), cancelled(std::move(cancelled)) {}

bool CWorkerBridge::Run(const std::function<void()>& call) {
    QObject* target = receiver.data();
    if (target == nullptr || cancelled()) {
        return false;
    }
    if (QThread::currentThread() == target->thread()) {
        call();
        return true;
    }
    auto pending = std::make_shared<Pending>();
    uint64_t ticket;
    {
        std::lock_guard<std::mutex> lock(mutex);
        ticket = generation;
    }
    QMetaObject::invokeMethod(
        target,
        [this, pending, ticket, call] {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (ticket != generation) {
                    return;
                }
            }
            if (cancelled()) {
                return;
            }
            call();
            {
                std::lock_guard<std::mutex> lock(mutex);
                pending->done = true;
            }
            wake.notify_all();
        },
        Qt::QueuedConnection);

    // The short timeout also notices a cancel requested by someone who did not call Abandon
    // (the engine's own destructor, for one).
    std::unique_lock<std::mutex> lock(mutex);
    while (!pending->done && ticket == generation && !cancelled()) {
        wake.wait_for(lock, std::chrono::milliseconds(20));
    }
    return pending->done;
}

void CWorkerBridge::Abandon() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++generation;
    }
    wake.notify_all();
}

void CObserverRelay::ShowFileName(int id) {
    IConvertObserver* window = &target;
    bridge.Run([window, id] { window->ShowFileName(id); });
}

void CObserverRelay::IncrementProgress(int steps) {
    IConvertObserver* window = &target;
    bridge.Run([window, steps] { window->IncrementProgress(steps); });
}

void CObserverRelay::FinishedConvert() {
    IConvertObserver* window = &target;
    bridge.Run([window] { window->FinishedConvert(); });
}

void CObserverRelay::ShowState(const char* text) {
    IConvertObserver* window = &target;
    // The worker's text lives only as long as this call; the window gets its own copy.
    std::string copy = text != nullptr ? text : "";
    bridge.Run([window, copy] { window->ShowState(copy.c_str()); });
}

void CPromptRelay::ShowMessage(const std::string& text, const std::string& caption) {
    IConvertPrompt* window = &target;
    bridge.Run([window, text, caption] { window->ShowMessage(text, caption); });
}

// Answers are kept in shared blocks: an abandoned call may still finish on the window's
// thread after the worker has gone on.
bool CPromptRelay::AskYesNo(const std::string& text, const std::string& caption) {
    IConvertPrompt* window = &target;
    auto answer = std::make_shared<bool>(false);
    bool done =
        bridge.Run([window, text, caption, answer] { *answer = window->AskYesNo(text, caption); });
    return done && *answer;
}

bool CPromptRelay::ChooseSavePath(std::string& path) {
    IConvertPrompt* window = &target;
    auto chosen = std::make_shared<std::string>();
    auto answer = std::make_shared<bool>(false);
    bool done = bridge.Run([window, chosen, answer] { *answer = window->ChooseSavePath(*chosen); });
    if (!done || !*answer) {
        return false;
    }
    path = *chosen;
    return true;
}

} // namespace kestrova::app
