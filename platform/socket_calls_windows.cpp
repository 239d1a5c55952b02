// The socket calls on Windows: Winsock 2.
//
// Waits use select(), not WSAPoll(): WSAPoll reports no event at all for a connect the peer
// refused on Windows versions before 10 (2004), so a refused connect would read as a timeout.
// select() signals such a connect in its exception set.
//
// A refused connect: Windows answers a reset to its SYN by sending the SYN again after the
// retransmission time, twice, so a refusal is known only after about 2 s. Each socket asks for
// a short initial round-trip estimate and one retransmission (SIO_TCP_INITIAL_RTO, Windows 8
// and later), which brings that to a few hundred milliseconds and still repeats a SYN lost on
// the way. Where the system refuses the setting (older Windows; Wine) the socket keeps the
// system's own.
//
// The send queue: Windows has no call that gives the bytes not yet acknowledged (Linux's
// SIOCOUTQ). The closest documented one is WSAIoctl(SIO_TCP_INFO) (Windows 10 1703 and later),
// read in windows_tcp_info.cpp. Where the call is missing (older Windows; Wine) nothing can be
// told and the caller takes the queue as drained, as it does on Linux when SIOCOUTQ fails.
#include "platform/socket_calls.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <algorithm>
#include <climits>

#include "platform/windows_tcp_info.h"
#include "platform/windows_text.h"


namespace rzl::platform::sockets {

namespace {

SOCKET socketOf(Handle socket) { return static_cast<SOCKET>(socket); }

int sliceOf(std::int64_t size) { return static_cast<int>(std::min<std::int64_t>(size, INT_MAX)); }

// A first round-trip estimate of 100 ms puts the retransmission time near Windows' lowest
// (about 300 ms); one SYN sent again.
constexpr TCP_INITIAL_RTO_PARAMETERS kConnectRetransmission{100, 1};

void shortenConnectRetransmission(SOCKET s) {
    TCP_INITIAL_RTO_PARAMETERS parameters = kConnectRetransmission;
    DWORD size = 0;
    // Its failure leaves the system's own setting, which works, only slower to see a refusal.
    WSAIoctl(s, SIO_TCP_INITIAL_RTO, &parameters, sizeof parameters, nullptr, 0, &size, nullptr, nullptr);
}

// The stack's statistics of the connection; false where the system cannot give them.
bool tcpInfo(SOCKET s, TCP_INFO_v0& info) {
    DWORD version = 0;
    DWORD size = 0;
    return WSAIoctl(s, SIO_TCP_INFO, &version, sizeof version, &info, sizeof info, &size, nullptr, nullptr) == 0;
}

}  // namespace

// Each socket holds a Winsock start-up of its own (they are counted), so no process-wide set-up
// is needed; Close ends it.
Handle OpenStream(int& code) {
    WSADATA data;
    if (const int started = WSAStartup(MAKEWORD(2, 2), &data); started != 0) {
        code = started;
        return kNoSocket;
    }
    const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    u_long nonBlocking = 1;
    if (s == INVALID_SOCKET || ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        code = WSAGetLastError();
        if (s != INVALID_SOCKET) closesocket(s);
        WSACleanup();
        return kNoSocket;
    }
    shortenConnectRetransmission(s);
    return static_cast<Handle>(s);
}

Started StartConnect(Handle socket, std::uint32_t address, std::uint16_t port, int& code) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    if (::connect(socketOf(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return Started::Connected;
    code = WSAGetLastError();
    return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS ? Started::Pending : Started::Failed;
}

unsigned Wait(Handle socket, unsigned events, std::chrono::microseconds time) {
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    const SOCKET s = socketOf(socket);
    if (events & kReadable) FD_SET(s, &readable);
    if (events & kWritable) {
        FD_SET(s, &writable);
        FD_SET(s, &failed);  // where a failed connect shows
    }
    timeval limit{static_cast<long>(time.count() / 1000000), static_cast<long>(time.count() % 1000000)};
    if (select(0, &readable, &writable, &failed, &limit) <= 0) return 0;
    unsigned ready = 0;
    if (FD_ISSET(s, &readable)) ready |= kReadable;
    if (FD_ISSET(s, &writable)) ready |= kWritable;
    if (FD_ISSET(s, &failed)) ready |= kFailed;
    return ready;
}

int PendingError(Handle socket) {
    int code = 0;
    int size = sizeof code;
    getsockopt(socketOf(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &size);
    if (code != 0) return code;
    // A reset after the connection carried data need not show in SO_ERROR; the stack's state
    // does. (A connect that failed has sent no data: its reason is SO_ERROR's.)
    TCP_INFO_v0 info{};
    if (tcpInfo(socketOf(socket), info) && info.BytesOut > 0 && SendQueueFromTcpInfo(info, 0).gone)
        return WSAECONNRESET;
    return 0;
}

int RefusedCode() { return WSAECONNREFUSED; }

Transfer Send(Handle socket, const char* data, std::int64_t size) {
    const int n = ::send(socketOf(socket), data, sliceOf(size), 0);
    if (n > 0) return {Moved::Bytes, n, 0};
    const int code = n < 0 ? WSAGetLastError() : WSAEWOULDBLOCK;
    if (code != WSAEWOULDBLOCK) return {Moved::Failed, 0, code};
    return {Moved::WouldBlock, 0, 0};
}

Transfer Receive(Handle socket, char* into, std::int64_t capacity) {
    const int n = ::recv(socketOf(socket), into, sliceOf(capacity), 0);
    if (n > 0) return {Moved::Bytes, n, 0};
    if (n == 0) return {Moved::Closed, 0, 0};
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK) return {Moved::WouldBlock, 0, 0};
    return {Moved::Failed, 0, code};
}

std::optional<std::int64_t> Unacknowledged(Handle socket, std::int64_t written) {
    TCP_INFO_v0 info{};
    if (!tcpInfo(socketOf(socket), info)) return std::nullopt;
    return SendQueueFromTcpInfo(info, written).unacknowledged;
}

int EndSending(Handle socket) { return shutdown(socketOf(socket), SD_SEND) == 0 ? 0 : WSAGetLastError(); }

void Pause(std::chrono::microseconds time) { Sleep(static_cast<DWORD>((time.count() + 999) / 1000)); }

void Close(Handle socket) {
    closesocket(socketOf(socket));
    WSACleanup();
}

std::string ErrorText(int code) { return SystemMessage(static_cast<unsigned long>(code)); }

}  // namespace rzl::platform::sockets
