#pragma once

namespace rzl {

class Context;

// Interprets the `count` reply bytes in rxFrame according to pendingCommand.
void DispatchReply(Context& ctx, int count);

}  // namespace rzl
