// Median time of an identify exchange through TcpExchange against the same request made by a
// bare POSIX socket client, both against the same in-process module on loopback.
// Usage: identify_exchange_bench [rounds]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "core/context.h"
#include "core/frame.h"
#include "protocol/request_builders.h"
#include "sim/simulator.h"
#include "tests/support/fakes.h"
#include "tests/support/loopback_peer.h"

namespace {

using namespace rzl;

// One exchange the plain way: connect, write the 7 bytes, wait for readable, read, close.
bool rawIdentify(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const unsigned char frame[7] = {0x5A, 0x35, 0x77, 0xA5, kCmdIdentify, 0, 0};
    unsigned char reply[kRxFrameSize];
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
              ::write(fd, frame, sizeof frame) == static_cast<ssize_t>(sizeof frame);
    if (ok) {
        pollfd p{fd, POLLIN, 0};
        ok = ::poll(&p, 1, 1000) == 1 && ::read(fd, reply, sizeof reply) > 0;
    }
    ::close(fd);
    return ok;
}

QByteArray identifyReply() {
    QByteArray r(identify::kReplyLength, '\0');
    const char head[] = {0x5A, 0x35, 0x77, static_cast<char>(0xA5), kCmdIdentify, kStatusAccepted, static_cast<char>(176)};
    std::copy(std::begin(head), std::end(head), r.begin());
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;

    sim::SimulatorThread simulator;
    std::unique_ptr<test::LoopbackPeer> fallback;
    std::uint16_t port = 0;
    const char* server = "simulator";
    if (simulator.start()) {
        port = simulator.port();
    } else {
        fallback = std::make_unique<test::LoopbackPeer>(test::PeerMode::Answer, identifyReply());
        if (!fallback->start()) {
            std::fprintf(stderr, "no loopback server could listen\n");
            return 1;
        }
        port = fallback->port();
        server = "loopback responder (simulator did not start)";
    }

    Screen screen;
    test::RecordingDialogs dialogs;
    test::ManualClock clock;
    Context ctx(screen, dialogs, clock);
    ctx.session.deviceIp = QStringLiteral("127.0.0.1");
    ctx.session.tcpPort = port;
    int replies = 0;
    ctx.dispatchReply = [&](int) { ++replies; };

    std::vector<double> exchange, raw;
    int rawFailures = 0;
    QElapsedTimer t;
    for (int i = 0; i < rounds + 10; ++i) {  // the first ten warm up both sides
        t.start();
        SendIdentify(ctx);
        const double e = t.nsecsElapsed() / 1000.0;
        t.start();
        rawFailures += rawIdentify(port) ? 0 : 1;
        const double r = t.nsecsElapsed() / 1000.0;
        if (i >= 10) {
            exchange.push_back(e);
            raw.push_back(r);
        }
    }

    const double me = median(exchange), mr = median(raw);
    std::printf("identify exchange against the %s on 127.0.0.1:%u, %d rounds\n", server, port, rounds);
    std::printf("  TcpExchange:  median %8.1f us  (%d replies dispatched, %d time-outs)\n", me, replies,
                static_cast<int>(screen.main.memo1.count(QStringLiteral("Wait RX Timeout!"))));
    std::printf("  raw socket:   median %8.1f us  (%d failures)\n", mr, rawFailures);
    std::printf("  ratio:        %.2f\n", mr > 0 ? me / mr : 0.0);
    std::printf("  target: ratio <= 1.3\n");
    return 0;
}
