// The bridge that carries the worker's calls to the window's thread, alone: a cancel must
// release a worker that is waiting for the window, whatever the worker is sending.
#include "app/app_test_support.h"
#include "app/worker_bridge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

using apptest::SpinUntil;

TEST(WorkerBridgeTest, CancelReleasesAWorkerWithCallsInFlightAndDropsTheRest) {
    QObject receiver;
    std::atomic<bool> cancel{false};
    CWorkerBridge bridge(&receiver, [&] { return cancel.load(); });
    int handled = 0;
    int handledAfterCancel = 0;
    struct Counter : IConvertObserver {
        std::function<void()> onStep;
        void ShowFileName(int) override {}
        void IncrementProgress(int) override { onStep(); }
        void FinishedConvert() override {}
        void ShowState(const char*) override {}
    } counter;
    counter.onStep = [&] {
        ++handled;
        if (cancel) {
            ++handledAfterCancel;
        }
    };
    CObserverRelay relay(bridge, counter);
    std::atomic<int> sent{0};
    std::thread worker([&] {
        while (!cancel) {
            relay.IncrementProgress(1);
            ++sent;
        }
        // Calls after the cancel return at once without reaching the window.
        for (int i = 0; i < 1000; ++i) {
            relay.IncrementProgress(1);
        }
    });
    ASSERT_TRUE(SpinUntil([&] { return handled >= 200; }));
    cancel = true;
    bridge.Abandon();
    worker.join();
    apptest::Spin(50);
    EXPECT_EQ(handledAfterCancel, 0);
    EXPECT_GE(sent.load(), 200);
}

TEST(WorkerBridgeTest, AbandonedQuestionCountsAsNoAndItsLateAnswerIsHarmless) {
    QObject receiver;
    std::atomic<bool> cancel{false};
    CWorkerBridge bridge(&receiver, [&] { return cancel.load(); });
    struct Asker : IConvertPrompt {
        std::function<bool()> onAsk;
        void ShowMessage(const std::string&, const std::string&) override {}
        bool AskYesNo(const std::string&, const std::string&) override { return onAsk(); }
        bool ChooseSavePath(std::string& path) override {
            path = "x";
            return true;
        }
    } asker;
    std::atomic<bool> workerDone{false};
    bool answer = true;
    // The question's handler runs a nested loop in which the cancel happens; it answers "Yes"
    // only after the worker has gone on.
    asker.onAsk = [&] {
        cancel = true;
        bridge.Abandon();
        SpinUntil([&] { return workerDone.load(); }, 5000);
        return true;
    };
    CPromptRelay relay(bridge, asker);
    std::thread worker([&] {
        answer = relay.AskYesNo("Go on?", "");
        workerDone = true;
    });
    ASSERT_TRUE(SpinUntil([&] { return workerDone.load(); }));
    worker.join();
    EXPECT_FALSE(answer);
    std::string path;
    EXPECT_FALSE(relay.ChooseSavePath(path));
}

} // namespace
