#pragma once
// 127.0.0.1:port as the socket calls take it, for the peers and benches that use bare sockets.

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>

namespace rzl::test {

inline sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return at;
}

}  // namespace rzl::test
