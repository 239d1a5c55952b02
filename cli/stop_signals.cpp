#include "cli/stop_signals.h"

#include <csignal>

namespace rzl::cli {

StopSignals::StopSignals(std::function<void(int)> onStop)
    : onStop_(std::move(onStop)),
      loop_(std::make_unique<QObject>()),
      // Called on the handler's thread: posting is all it does. A post still queued when this
      // object ends goes with loop_.
      handling_([loop = loop_.get(), this](int signal) {
          QMetaObject::invokeMethod(loop, [this, signal] { take(signal); }, Qt::QueuedConnection);
      }) {}

void StopSignals::take(int signal) {
    if (received_ != 0) return;  // a second Ctrl+C while the first is handled changes nothing
    received_ = signal;
    if (onStop_) onStop_(signal);
}

Outcome OutcomeOfStop(int signal) { return signal == SIGTERM ? Outcome::Terminated : Outcome::Interrupted; }

}  // namespace rzl::cli
