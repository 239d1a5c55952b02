#include "cli/stop_signals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace rzl::cli {

namespace {

// A signal handler reaches no object: the pipe's ends are the one thing it may touch.
int wakeRead = -1;
int wakeWrite = -1;
struct sigaction previousInt {}, previousTerm {};

void onSignal(int signal) {
    const int saved = errno;
    const char number = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite, &number, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return;  // then the signals end the program as usual
    wakeRead = ends[0];
    wakeWrite = ends[1];
    auto* notifier = new QSocketNotifier(wakeRead, QSocketNotifier::Read);
    notifier_.reset(notifier);
    QObject::connect(notifier, &QSocketNotifier::activated, [this] {
        char number = 0;
        while (::read(wakeRead, &number, 1) == 1) {
            if (received_ != 0) continue;  // a second Ctrl+C while the first is handled changes nothing
            received_ = number;
            if (onStop_) onStop_(number);
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

StopSignals::~StopSignals() {
    if (!notifier_) return;
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    notifier_.reset();
    ::close(wakeRead);
    ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

Outcome OutcomeOfStop(int signal) { return signal == SIGTERM ? Outcome::Terminated : Outcome::Interrupted; }

}  // namespace rzl::cli
