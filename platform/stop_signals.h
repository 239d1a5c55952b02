#pragma once
// The requests to stop: SIGINT (Ctrl+C) and SIGTERM on POSIX systems; on Windows the console's
// Ctrl+C and Ctrl+Break (as SIGINT) and its close, log-off and shut-down (as SIGTERM). While a
// StopSignals lives, such a request no longer ends the program: it is handed to `onStop`, and
// the program ends when it has done what a stop asks (the last row, the exit code, a state file).
// One file per system (stop_signals_posix.cpp, stop_signals_windows.cpp).
//
// `onStop` runs on a thread of its own (a signal handler may touch almost nothing; Windows calls
// console handlers on a new thread), with the signal's number. It must only hand the stop on to
// the program's thread, as posting an event does.
//
// On Windows closing the console ends the process as soon as the handler returns, and at the
// latest 5 s after the close: the handler therefore returns only when the process has ended or
// that time is nearly up.

#include <functional>
#include <memory>

namespace rzl::platform {

class StopSignals {
public:
    explicit StopSignals(std::function<void(int signal)> onStop);
    // Puts the previous handling back. Once it has returned, onStop is not called again.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the handling could not be installed: then the signals end the program as usual.
    bool active() const { return active_; }

private:
    struct Watch;  // how the system's notice reaches onStop
    std::unique_ptr<Watch> watch_;
    bool active_ = false;
};

}  // namespace rzl::platform
