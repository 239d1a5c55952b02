#pragma once
// Work that must not run inside an exchange's wait. Clicks and timers are handled while an
// exchange waits with the busy guard held; a modal window opened there would keep the guard
// set (and the supervision timer stopped) until it closes, and a change of target would land
// between a request and its reply. Such work runs at once when no exchange is in progress,
// otherwise from the event loop once the exchange has ended.

#include <QObject>
#include <functional>
#include <vector>

namespace rzl {

class IdleActions : public QObject {
public:
    explicit IdleActions(const bool& exchangeBusy) : busy_(exchangeBusy) {}

    void run(std::function<void()> action);
    // Called as an exchange releases the busy guard: the waiting actions are posted to the
    // event loop, so they run after the handler that started the exchange has returned.
    void exchangeEnded();

private:
    void runWaiting();

    const bool& busy_;
    std::vector<std::function<void()>> waiting_;
    bool posted_ = false;
};

}  // namespace rzl
