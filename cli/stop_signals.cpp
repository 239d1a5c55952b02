#include "cli/stop_signals.h"

#include <csignal>
#include <cstdlib>

namespace rzl::cli {

StopSignals::StopSignals(std::function<void(int)> onStop)
    : onStop_(std::move(onStop)),
      loop_(std::make_unique<QObject>()),
      // Called on the handler's thread: it notes the signal and posts it. A post still queued
      // when this object ends goes with loop_. A second signal means "now": the program ends
      // here, without waiting for the step under way.
      handling_([loop = loop_.get(), this](int signal) {
          int none = 0;
          if (!requested_.compare_exchange_strong(none, signal)) std::_Exit(ExitCodeOf(OutcomeOfStop(signal)));
          QMetaObject::invokeMethod(loop, [this, signal] { take(signal); }, Qt::QueuedConnection);
      }) {}

void StopSignals::take(int signal) {
    received_ = signal;
    if (onStop_) onStop_(signal);
}

Outcome OutcomeOfStop(int signal) { return signal == SIGTERM ? Outcome::Terminated : Outcome::Interrupted; }

}  // namespace rzl::cli
