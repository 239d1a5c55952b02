// The time of one identify request as rzlctl makes it (its controller: the exchange with pumped
// waits, the real reply dispatcher) against the same request made by a bare POSIX socket
// client, both against rzl-sim running as a process of its own on a free loopback port. The two
// alternate round by round; each repeat gives a median per side and their ratio, and the
// summary the median ratio with its spread over the repeats.
// Usage: identify_exchange_bench [rounds per repeat] [repeats]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/sim_process.h"
#include "cli/session.h"
#include "core/frame.h"

namespace {

using namespace rzl;

// One exchange the plain way: connect, write the 7 bytes, wait for the whole reply, close.
bool rawIdentify(std::uint16_t port) {
    const unsigned char frame[7] = {0x5A, 0x35, 0x77, 0xA5, kCmdIdentify, 0, 0};
    return bench::RawExchange(::socket(AF_INET, SOCK_STREAM, 0), port, frame, sizeof frame, identify::kReplyLength, 1000);
}

using bench::Quantile;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    QProcess sim;
    const std::uint16_t port = bench::StartSimulator(sim);
    if (port == 0) {
        std::fprintf(stderr, "rzl-sim did not start on loopback\n");
        return 1;
    }

    cli::Session controller(cli::ControllerOptions{});
    controller.ctx().session.deviceIp = QStringLiteral("127.0.0.1");
    controller.ctx().session.tcpPort = port;

    std::printf("identify against rzl-sim (pid %lld) on 127.0.0.1:%u: %d repeats of %d rounds\n",
                static_cast<long long>(sim.processId()), port, repeats, rounds);
    std::printf("  repeat   exchange us (p10-p90)      raw us (p10-p90)    ratio\n");
    std::vector<double> ratios, allExchange, allRaw;
    int failures = 0;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        std::vector<double> exchange, raw;
        QElapsedTimer t;
        for (int i = 0; i < rounds + 10; ++i) {  // the first ten warm up both sides
            t.start();
            cli::ExitCode identified = cli::kExitDone;
            failures += controller.identify(&identified) ? 0 : 1;
            const double e = static_cast<double>(t.nsecsElapsed()) / 1000.0;
            t.start();
            failures += rawIdentify(port) ? 0 : 1;
            const double r = static_cast<double>(t.nsecsElapsed()) / 1000.0;
            if (i < 10) continue;
            exchange.push_back(e);
            raw.push_back(r);
        }
        const double me = Quantile(exchange, 0.5), mr = Quantile(raw, 0.5);
        ratios.push_back(mr > 0 ? me / mr : 0);
        std::printf("  %6d   %7.1f (%6.1f-%7.1f)   %7.1f (%6.1f-%7.1f)   %5.2f\n", repeat + 1, me,
                    Quantile(exchange, 0.1), Quantile(exchange, 0.9), mr, Quantile(raw, 0.1), Quantile(raw, 0.9),
                    ratios.back());
        allExchange.insert(allExchange.end(), exchange.begin(), exchange.end());
        allRaw.insert(allRaw.end(), raw.begin(), raw.end());
    }
    std::printf("  all      %7.1f                    %7.1f\n", Quantile(allExchange, 0.5), Quantile(allRaw, 0.5));
    std::printf("  ratio:   median %.2f, spread %.2f-%.2f over %d repeats (%d failed requests)\n",
                Quantile(ratios, 0.5), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()), repeats, failures);
    std::printf("  target:  ratio <= 1.1\n");

    sim.terminate();
    sim.waitForFinished(3000);
    return failures == 0 ? 0 : 1;
}
