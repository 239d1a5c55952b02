#pragma once
// Waiting, with a bound, for what happens elsewhere: on the simulator's thread, in another
// process, or on this thread's event loop. One loop for every test: look, pause a moment, look
// again, until it holds or the time is up.

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <functional>

namespace rzl::test {

// How the test's thread spends the moment between two looks.
using Pause = std::function<void()>;

// Sleeps: what is awaited happens on another thread or in another process.
inline void Sleep() { QThread::msleep(5); }

// Runs this thread's events for a moment: what is awaited happens on its event loop (a window's
// timers, signals queued to it).
inline void RunEvents() {
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
}

// True as soon as `done` holds; false when `timeoutMs` passed first.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000, const Pause& pause = Sleep) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        pause();
    }
    return true;
}

// Runs this thread's events for `milliseconds`: whatever they were to start has run.
inline void RunEventsFor(int milliseconds) { WaitFor([] { return false; }, milliseconds, RunEvents); }

}  // namespace rzl::test
