#pragma once

#include <QByteArray>
#include <cstdint>

namespace rzl {

class Context;
struct DeviceSession;

// Interprets the `count` reply bytes in rxFrame as the answer to exchangeCommand, the command
// the exchange that read them wrote. pendingCommand is cleared on a handled reply only while it
// still names that command: a request made during the exchange's wait stays pending.
void DispatchReply(Context& ctx, int count);

// Whether `received` holds everything a reply to `command` needs before it is handled: the
// header (signature, command, status) always, and for an accepted reply every field its
// handling reads. A reply whose signature is already wrong is complete as it is: it is refused.
bool ReplyIsComplete(const DeviceSession& session, std::uint8_t command, const QByteArray& received);

}  // namespace rzl
