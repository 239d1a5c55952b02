#pragma once
// Windows only: what the console's handler does with an event, callable without a console so
// that tests can deliver the events a console cannot be made to send (closing it, logging off).
// The handler itself calls it with a wait of about 4.5 s.

namespace rzl::platform {

// Hands `type` (CTRL_C_EVENT ... CTRL_SHUTDOWN_EVENT) to the StopSignals that lives, if any, and
// answers as the handler does: false when none lives (the next handler, in the end the system's,
// ends the process); true once handled, for a close, log-off or shut-down only after
// `closeWaitMs` (the process ends when the handler returns, so it waits for the program to end
// by itself first).
bool DeliverConsoleEvent(unsigned long type, unsigned long closeWaitMs);

}  // namespace rzl::platform
