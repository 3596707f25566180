#include "media/ordered_pool.h"
#include "support/test_namespace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace kestrova::test {

namespace {

// Results come back in submission order even when the first task is the last to finish:
// with several workers it waits until every later one has run.
TEST(OrderedPool, ResultsComeInSubmissionOrder) {
    constexpr int kTasks = 12;
    for (int workers : {0, 1, 4}) {
        SCOPED_TRACE(workers);
        OrderedPool<int> pool(workers);
        std::atomic<int> ran{0};
        for (int i = 0; i < kTasks; ++i) {
            pool.Submit([&ran, i, workers] {
                while (i == 0 && workers > 1 && ran < kTasks - 1) {
                    std::this_thread::yield();
                }
                ++ran;
                return i * 10;
            });
        }
        EXPECT_EQ(pool.Pending(), size_t{kTasks});
        for (int i = 0; i < kTasks; ++i) {
            EXPECT_EQ(pool.Next(), i * 10);
        }
        EXPECT_EQ(pool.Pending(), 0u);
    }
}

// Without workers a task runs on the owner's thread, and only when its result is taken.
TEST(OrderedPool, WithoutWorkersTasksRunWhenTaken) {
    OrderedPool<std::thread::id> pool(0);
    bool ran = false;
    pool.Submit([&ran] {
        ran = true;
        return std::this_thread::get_id();
    });
    EXPECT_FALSE(ran);
    EXPECT_EQ(pool.Next(), std::this_thread::get_id());
    EXPECT_TRUE(ran);
}

// Stop drops the tasks no worker has started; the running one finishes.
TEST(OrderedPool, StopDropsTasksNotStarted) {
    std::atomic<int> ran{0};
    std::atomic<bool> started{false}, release{false};
    {
        OrderedPool<int> pool(1);
        pool.Submit([&] {
            started = true;
            while (!release) {
                std::this_thread::yield();
            }
            return ++ran;
        });
        for (int i = 0; i < 5; ++i) {
            pool.Submit([&] { return ++ran; });
        }
        while (!started) {
            std::this_thread::yield();
        }
        pool.Stop();
        release = true;
    }
    EXPECT_EQ(ran, 1);
}

} // namespace

} // namespace kestrova::test
