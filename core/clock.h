#pragma once
// Blocking pauses and the event pump used while the single thread waits on a socket.

namespace rzl {

class Clock {
public:
    virtual ~Clock() = default;
    virtual void pause(int milliseconds) = 0;
    // Runs pending events (timers, clicks) in the middle of a wait. Tests and the CLI may do nothing.
    virtual void pump() = 0;
};

}  // namespace rzl
