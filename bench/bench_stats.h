#pragma once
// Medians and spreads for the benchmarks, and their plain loopback exchange.

#include <algorithm>
#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "tests/support/loopback_address.h"

namespace rzl::bench {

// The q-quantile (0..1) of the samples, nearest rank.
inline double Quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5)];
}

using test::LoopbackAddress;

// One request the plain way on the fresh socket `fd`: connect to 127.0.0.1:port, write the
// frame, read until `replyLength` bytes have come (each piece within waitMs), close.
inline bool RawExchange(int fd, std::uint16_t port, const unsigned char* frame, std::size_t size,
                        ssize_t replyLength, int waitMs) {
    if (fd < 0) return false;
    sockaddr_in to = LoopbackAddress(port);
    unsigned char reply[256];
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
              ::write(fd, frame, size) == static_cast<ssize_t>(size);
    ssize_t have = 0;
    while (ok && have < replyLength) {
        pollfd p{fd, POLLIN, 0};
        const ssize_t n = ::poll(&p, 1, waitMs) == 1 ? ::read(fd, reply + have, sizeof reply - have) : 0;
        ok = n > 0;
        have += std::max<ssize_t>(n, 0);
    }
    ::close(fd);
    return ok;
}

}  // namespace rzl::bench
