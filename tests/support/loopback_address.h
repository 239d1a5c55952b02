#pragma once
// 127.0.0.1:port as the socket calls take it, for the peers and benches that use bare sockets
// (on Windows too: the platform layer's tests).

#include <cstdint>
#if defined(_WIN32)
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

namespace rzl::test {

inline sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return at;
}

}  // namespace rzl::test
