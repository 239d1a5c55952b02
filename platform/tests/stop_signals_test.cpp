// Stop requests while a StopSignals lives: handed on with the signal's number instead of ending
// the program, the earlier handling back at its end. On Windows, the console events a test
// cannot make a console send (closing it) are delivered as the console would: the handler then
// holds the process until the program has ended by itself.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include "platform/stop_signals.h"

#if defined(_WIN32)
#include <windows.h>

#include "platform/console_events.h"
#endif

namespace rzl::platform {
namespace {

using namespace std::chrono_literals;

// The signals onStop was given, as another thread sees them.
class Received {
public:
    std::function<void(int)> onStop() {
        return [this](int signal) {
            const std::lock_guard guard(lock_);
            signals_.push_back(signal);
            changed_.notify_all();
        };
    }
    // The signals once `count` have come, or after two seconds those that did.
    std::vector<int> waitFor(std::size_t count) {
        std::unique_lock guard(lock_);
        changed_.wait_for(guard, 2s, [&] { return signals_.size() >= count; });
        return signals_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<int> signals_;
};

#if defined(_WIN32)

TEST(StopSignals, CtrlCIsHandedOnAndTheProgramGoesOn) {
    Received received;
    StopSignals stop(received.onStop());
    ASSERT_TRUE(stop.active());
    EXPECT_TRUE(DeliverConsoleEvent(CTRL_C_EVENT, 10000)) << "handled: the process goes on";
    EXPECT_TRUE(DeliverConsoleEvent(CTRL_BREAK_EVENT, 10000));
    EXPECT_EQ(received.waitFor(2), (std::vector<int>{SIGINT, SIGINT}));
}

// Windows ends the process as soon as the handler of a close returns: it must wait for the
// program to finish (its last row, its exit code, its state file), which ends it first.
TEST(StopSignals, ClosingTheConsoleHoldsTheProcessUntilTheProgramHasEnded) {
    for (const DWORD event : {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
        SCOPED_TRACE(event);
        Received received;
        auto stop = std::make_unique<StopSignals>(received.onStop());
        std::atomic<bool> returned{false};
        const auto start = std::chrono::steady_clock::now();
        std::thread console([&] {
            EXPECT_TRUE(DeliverConsoleEvent(event, 1000));
            returned = true;
        });
        EXPECT_EQ(received.waitFor(1), std::vector<int>{SIGTERM}) << "handed on at once";
        std::this_thread::sleep_for(300ms);
        EXPECT_FALSE(returned) << "returning would end the process before the program has finished";
        // The program ends its StopSignals while the handler still waits: nothing it reaches is gone.
        stop.reset();
        console.join();
        EXPECT_GE(std::chrono::steady_clock::now() - start, 1000ms);
        EXPECT_EQ(received.waitFor(1).size(), 1u) << "once";
    }
}

TEST(StopSignals, WithoutOneTheSystemEndsTheProgram) {
    {
        Received received;
        StopSignals stop(received.onStop());
    }
    EXPECT_FALSE(DeliverConsoleEvent(CTRL_C_EVENT, 0));
    EXPECT_FALSE(DeliverConsoleEvent(CTRL_CLOSE_EVENT, 0)) << "and without waiting";
}

#else

void previousHandler(int) {}

TEST(StopSignals, SignalsAreHandedOnAndThePreviousHandlingComesBack) {
    struct sigaction previous {}, before {};
    previous.sa_handler = previousHandler;
    sigemptyset(&previous.sa_mask);
    ASSERT_EQ(sigaction(SIGINT, &previous, &before), 0);
    ASSERT_EQ(sigaction(SIGTERM, &previous, nullptr), 0);
    {
        Received received;
        StopSignals stop(received.onStop());
        ASSERT_TRUE(stop.active());
        std::raise(SIGINT);
        std::raise(SIGTERM);
        EXPECT_EQ(received.waitFor(2), (std::vector<int>{SIGINT, SIGTERM}));
    }
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction now {};
        ASSERT_EQ(sigaction(signal, nullptr, &now), 0);
        EXPECT_EQ(now.sa_handler, previousHandler) << signal;
    }
    // A second StopSignals starts clean: nothing of the first one's signals is left over.
    {
        Received received;
        StopSignals stop(received.onStop());
        std::raise(SIGTERM);
        EXPECT_EQ(received.waitFor(1), std::vector<int>{SIGTERM});
    }
    sigaction(SIGINT, &before, nullptr);
    sigaction(SIGTERM, &before, nullptr);
}

#endif

}  // namespace
}  // namespace rzl::platform
