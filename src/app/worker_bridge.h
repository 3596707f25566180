// Carries the conversion worker's calls to the window's thread.
//
// The worker calls the observer and the prompt synchronously and waits: every notification
// must run on the window's thread, in the order sent, while the worker is blocked. A plain
// blocking queued call would do that, but the window cancels a conversion by joining the
// worker from its own thread; a worker blocked on the window would then never return. So the
// worker posts each call and waits on a condition that also ends when the call is abandoned:
// once the window has asked the engine to cancel, waiting workers are released at once, later
// calls are not delivered, and calls already posted are dropped when their turn comes.
#pragma once

#include "app/app_namespace.h"
#include "engine/convert_observer.h"

#include <QPointer>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class QObject;

namespace kestrova::app {

class CWorkerBridge {
public:
    // calls are run on receiver's thread; cancelled says whether a cancel is pending (read on
    // the worker's and the receiver's thread).
    CWorkerBridge(QObject* receiver, std::function<bool()> cancelled);
    virtual ~CWorkerBridge() = default;
    CWorkerBridge(const CWorkerBridge&) = delete;
    CWorkerBridge& operator=(const CWorkerBridge&) = delete;

    // Runs call on the receiver's thread and waits until it has run. Returns false, without
    // running it (or without waiting for its end), when a cancel is pending or the call was
    // abandoned. Called on the receiver's own thread it simply runs the call.
    bool Run(const std::function<void()>& call);
    // Receiver's thread: releases every waiting worker and drops every call posted so far.
    // The canceller calls it after requesting the cancel and before joining the worker.
    void Abandon();

private:
    struct Pending;

    QPointer<QObject> receiver;
    std::function<bool()> cancelled;
    std::mutex mutex;
    std::condition_variable wake;
    uint64_t generation = 0; // raised by Abandon; calls of an older generation are dropped
};

// The observer the engine is given: forwards each notification through the bridge to the
// window's own observer.
class CObserverRelay : public IConvertObserver {
public:
    CObserverRelay(CWorkerBridge& bridge, IConvertObserver& target)
        : bridge(bridge), target(target) {}
    void ShowFileName(int id) override;
    void IncrementProgress(int steps) override;
    void FinishedConvert() override;
    void ShowState(const char* text) override;

private:
    CWorkerBridge& bridge;
    IConvertObserver& target;
};

// The prompt the engine is given: the converters' message boxes, questions and the save
// dialog, shown by the window. An abandoned question counts as "No", an abandoned save
// dialog as cancelled.
class CPromptRelay : public IConvertPrompt {
public:
    CPromptRelay(CWorkerBridge& bridge, IConvertPrompt& target) : bridge(bridge), target(target) {}
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    bool ChooseSavePath(std::string& path) override;

private:
    CWorkerBridge& bridge;
    IConvertPrompt& target;
};

} // namespace kestrova::app
