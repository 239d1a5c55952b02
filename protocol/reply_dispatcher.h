#pragma once

#include <cstdint>

namespace rzl {

class Context;

// Interprets the `count` reply bytes in rxFrame as the answer to exchangeCommand, the command
// the exchange that read them wrote. pendingCommand is cleared on a handled reply only while it
// still names that command: a request made during the exchange's wait stays pending.
void DispatchReply(Context& ctx, int count);

// The image byte sum (64 bits) and the module's sum of what it stored (32 bits) agree: the
// upper half is zero and the lower half equal.
bool ChecksumMatches(std::uint64_t imageSum, std::uint32_t moduleSum);

}  // namespace rzl
