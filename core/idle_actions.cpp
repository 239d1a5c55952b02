#include "core/idle_actions.h"

#include <QMetaObject>

namespace rzl {

void IdleActions::run(std::function<void()> action) {
    if (!busy_) return action();
    waiting_.push_back(std::move(action));
}

void IdleActions::exchangeEnded() {
    if (waiting_.empty() || posted_) return;
    posted_ = true;
    QMetaObject::invokeMethod(this, [this] {
        posted_ = false;
        runWaiting();
    }, Qt::QueuedConnection);
}

void IdleActions::runWaiting() {
    // Another exchange began before the event loop came round: its end posts them again.
    if (busy_) return;
    std::vector<std::function<void()>> now;
    now.swap(waiting_);
    for (auto& action : now) action();
}

}  // namespace rzl
