// Stop signals on POSIX systems. The handler writes the signal's number into a pipe (the one
// thing a handler may safely touch); a thread of the StopSignals reads it and calls onStop.
// The pipe lives as long as the process: a handler that runs while a StopSignals is being
// destroyed still writes into a pipe that exists.
#include "platform/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace rzl::platform {

namespace {

constexpr char kEndWatch = 0;  // not a signal's number: the watching thread's end

struct Pipe {
    int read = -1;
    int write = -1;
};

const Pipe& wakePipe() {
    static const Pipe pipe = [] {
        int ends[2];
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return Pipe{};
        return Pipe{ends[0], ends[1]};
    }();
    return pipe;
}

int wakeWrite = -1;  // the handler's copy, set before any handler is installed

void onSignal(int signal) {
    const int saved = errno;
    const char number = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &number, 1);
    errno = saved;
}

}  // namespace

struct StopSignals::Watch {
    std::thread thread;
    struct sigaction previousInt {}, previousTerm {};
};

StopSignals::StopSignals(std::function<void(int)> onStop) {
    const Pipe& pipe = wakePipe();
    if (pipe.read < 0) return;  // then the signals end the program as usual
    char stale;
    while (::read(pipe.read, &stale, 1) == 1) {}  // left by a signal during an earlier one's end
    wakeWrite = pipe.write;
    watch_ = std::make_unique<Watch>();
    watch_->thread = std::thread([read = pipe.read, onStop = std::move(onStop)] {
        for (;;) {
            pollfd entry{read, POLLIN, 0};
            if (::poll(&entry, 1, -1) < 0 && errno != EINTR) return;
            char number = 0;
            while (::read(read, &number, 1) == 1) {
                if (number == kEndWatch) return;
                if (onStop) onStop(number);
            }
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &watch_->previousInt);
    sigaction(SIGTERM, &action, &watch_->previousTerm);
    active_ = true;
}

StopSignals::~StopSignals() {
    if (!watch_) return;
    sigaction(SIGINT, &watch_->previousInt, nullptr);
    sigaction(SIGTERM, &watch_->previousTerm, nullptr);
    [[maybe_unused]] const ssize_t n = ::write(wakePipe().write, &kEndWatch, 1);
    watch_->thread.join();
}

}  // namespace rzl::platform
