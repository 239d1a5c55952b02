#pragma once

namespace rzl {

class Context;

// One tick of the 100 ms re-send timer: repeats a request whose reply did not come.
void RetryTimerTick(Context& ctx);

}  // namespace rzl
