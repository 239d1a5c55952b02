#pragma once
// The operating system's socket calls behind the TCP connection, one file per system
// (socket_calls_posix.cpp, socket_calls_windows.cpp). Every call here returns at once or waits
// at most the time it is given; the deadlines and the slices are the connection's.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace rzl::platform::sockets {

// A socket as the system names it (a descriptor, or a Winsock SOCKET); kNoSocket when none.
using Handle = std::intptr_t;
inline constexpr Handle kNoSocket = -1;

// What a wait found; 0 when the time passed (or a signal cut the wait short).
enum Ready : unsigned { kReadable = 1, kWritable = 2, kFailed = 4 };

enum class Started { Connected, Pending, Failed };
enum class Moved { Bytes, WouldBlock, Closed, Failed };

struct Transfer {
    Moved outcome = Moved::Failed;
    std::int64_t bytes = 0;  // with Moved::Bytes
    int code = 0;            // with Moved::Failed
};

// A non-blocking IPv4 stream socket that child processes do not inherit; kNoSocket with the
// system's error code in `code` when none can be made.
Handle OpenStream(int& code);
// Starts the handshake with `address` (host byte order) and `port`.
Started StartConnect(Handle socket, std::uint32_t address, std::uint16_t port, int& code);
// Waits at most `time` for the `events` asked (kReadable, kWritable). A failed connect shows
// as kFailed while waiting for kWritable.
unsigned Wait(Handle socket, unsigned events, std::chrono::microseconds time);
// The error the socket holds (a failed connect, a reset), or 0.
int PendingError(Handle socket);
// The code reported when a connect failed without saying why.
int RefusedCode();
Transfer Send(Handle socket, const char* data, std::int64_t size);
Transfer Receive(Handle socket, char* into, std::int64_t capacity);
// Sends the end of the stream after what was written (reading stays possible): 0, or the
// system's error code.
int EndSending(Handle socket);
// Bytes of the `written` ones that the peer has not acknowledged yet (still queued here or on
// the way); nothing when this system cannot tell. A connection that is gone (reset) never
// reads as all acknowledged: PendingError then names the reason.
std::optional<std::int64_t> Unacknowledged(Handle socket, std::int64_t written);
// Sleeps about `time` (a signal may cut it short; Windows sleeps whole milliseconds).
void Pause(std::chrono::microseconds time);
void Close(Handle socket);
// The system's text for an error code, in UTF-8, without a closing full stop.
std::string ErrorText(int code);

}  // namespace rzl::platform::sockets
