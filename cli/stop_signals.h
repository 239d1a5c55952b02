#pragma once
// SIGINT (Ctrl+C) and SIGTERM as events of the one thread (on Windows the console's Ctrl+C,
// and its close, which waits for the program to finish): the platform's handler hands the
// signal over and it is posted to the event loop, so what a stop does (flushing the last row,
// printing what was found) runs between two steps of the program, never inside one. Code that
// does not run the event loop (a write between its steps) asks requested(). A command that
// wants to stop cleanly holds a StopSignals while it runs; elsewhere the signals end the
// program as usual. A second signal ends the program at once, with the exit code of its stop.

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

#include "cli/command_result.h"
#include "platform/stop_signals.h"

namespace rzl::cli {

class StopSignals {
public:
    // Installs the handling; `onStop`, when given, is called on the event loop with the signal's number.
    explicit StopSignals(std::function<void(int signal)> onStop = {});
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int received() const { return received_; }  // the first signal as the event loop took it, 0 for none
    int requested() const { return requested_; }  // the first signal as soon as it came, 0 for none

private:
    void take(int signal);

    std::function<void(int)> onStop_;
    int received_ = 0;
    std::atomic<int> requested_{0};
    std::unique_ptr<QObject> loop_;  // where the signals are posted; goes after the handling
    platform::StopSignals handling_;
};

// interrupted (130) for SIGINT, terminated (143) for SIGTERM.
Outcome OutcomeOfStop(int signal);

}  // namespace rzl::cli
