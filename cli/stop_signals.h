#pragma once
// SIGINT (Ctrl+C) and SIGTERM as events of the one thread: the handler only writes the signal's
// number into a pipe that a socket notifier watches (on Windows, the console's Ctrl+C and close
// set an event that an event notifier watches), so what a stop does (flushing the last
// row, printing what was found) runs between two steps of the program, never inside one. A
// command that wants to stop cleanly holds a StopSignals while it runs; elsewhere the signals
// end the program as usual.

#include <QObject>
#include <functional>
#include <memory>

#include "cli/command_result.h"

namespace rzl::cli {

class StopSignals {
public:
    // Installs the handlers; `onStop` is called on the event loop with the signal's number.
    explicit StopSignals(std::function<void(int signal)> onStop);
    // Puts the previous handlers back.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int received() const { return received_; }  // the first signal, 0 for none

private:
    std::function<void(int)> onStop_;
    std::unique_ptr<QObject> notifier_;  // wakes the event loop: a pipe (POSIX) or an event (Windows)
    int received_ = 0;
};

// interrupted (130) for SIGINT, terminated (143) for SIGTERM.
Outcome OutcomeOfStop(int signal);

}  // namespace rzl::cli
