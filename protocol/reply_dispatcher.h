#pragma once

namespace rzl {

class Context;

// Interprets the `count` reply bytes in rxFrame as the answer to exchangeCommand, the command
// the exchange that read them wrote. pendingCommand is cleared on a handled reply only while it
// still names that command: a request made during the exchange's wait stays pending.
void DispatchReply(Context& ctx, int count);

}  // namespace rzl
