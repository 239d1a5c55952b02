#include "cli/stop_signals.h"

#include <QWinEventNotifier>
#include <atomic>
#include <csignal>
#include <windows.h>

namespace rzl::cli {

namespace {

// The console calls the handler on a thread of its own: it only records the signal and sets
// the event; the notifier brings it to the one thread.
HANDLE stopEvent = nullptr;
std::atomic<int> pending{0};

BOOL WINAPI OnConsoleEvent(DWORD type) {
    // Ctrl+C and Ctrl+Break stand for SIGINT; closing the console, logging off and shutting
    // down for SIGTERM.
    int none = 0;
    pending.compare_exchange_strong(none, type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT ? SIGINT : SIGTERM);
    SetEvent(stopEvent);
    return TRUE;
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stopEvent) return;  // then Ctrl+C ends the program as usual
    pending = 0;
    auto* notifier = new QWinEventNotifier(stopEvent);
    notifier_.reset(notifier);
    QObject::connect(notifier, &QWinEventNotifier::activated, [this] {
        ResetEvent(stopEvent);
        if (received_ != 0) return;  // a second Ctrl+C while the first is handled changes nothing
        received_ = pending.load();
        if (onStop_) onStop_(received_);
    });
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
    if (!notifier_) return;
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    notifier_.reset();
    CloseHandle(stopEvent);
    stopEvent = nullptr;
}

Outcome OutcomeOfStop(int signal) { return signal == SIGTERM ? Outcome::Terminated : Outcome::Interrupted; }

}  // namespace rzl::cli
