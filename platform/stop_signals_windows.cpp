// Stop signals on Windows: a console control handler. Windows calls it on a new thread for each
// event; it hands the event to onStop and, for a close, log-off or shut-down, holds the process
// until the program has ended by itself: the process ends as soon as the handler returns, and
// the system ends it 5 s after a close in any case. When the program ends first, its exit ends
// the waiting thread with it.
// What the handler reaches lives as long as the process, so a handler that still runs while a
// StopSignals ends, or while the program exits, finds it.
#include "platform/stop_signals.h"

#include <windows.h>
#include <csignal>
#include <mutex>

#include "platform/console_events.h"

namespace rzl::platform {

namespace {

// Under the 5 s Windows gives a closed console's processes.
constexpr DWORD kCloseWaitMs = 4500;

struct Relay {
    std::mutex lock;
    std::function<void(int)> onStop;  // empty while no StopSignals lives
};

Relay& relay() {
    static Relay* const shared = new Relay;  // never destroyed: see above
    return *shared;
}

BOOL WINAPI onConsoleEvent(DWORD type) { return DeliverConsoleEvent(type, kCloseWaitMs) ? TRUE : FALSE; }

}  // namespace

bool DeliverConsoleEvent(unsigned long type, unsigned long closeWaitMs) {
    const bool ending = type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT;
    {
        Relay& r = relay();
        const std::lock_guard guard(r.lock);
        if (!r.onStop) return false;
        r.onStop(ending ? SIGTERM : SIGINT);
    }
    if (ending) Sleep(closeWaitMs);
    return true;
}

struct StopSignals::Watch {};

StopSignals::StopSignals(std::function<void(int)> onStop) {
    {
        Relay& r = relay();
        const std::lock_guard guard(r.lock);
        r.onStop = std::move(onStop);
    }
    watch_ = std::make_unique<Watch>();
    active_ = SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}

StopSignals::~StopSignals() {
    if (active_) SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    Relay& r = relay();
    const std::lock_guard guard(r.lock);
    r.onStop = nullptr;
}

}  // namespace rzl::platform
