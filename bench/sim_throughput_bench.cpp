// rzl-sim as a process of its own against its floor, bench/poll_floor_server.c (one thread, epoll,
// the poll frame answered and nothing else), each served by the same eight bare socket clients on
// loopback: poll exchanges per second, the two measured in alternating slices, repeat by repeat;
// and the simulator's resident memory before any exchange and after 100,000 of them.
// Usage: sim_throughput_bench [seconds per measurement] [repeats] [exchanges for the memory figure]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <atomic>
#include <cstdio>
#include <sys/socket.h>
#include <thread>

#include "bench/bench_stats.h"
#include "bench/sim_process.h"

namespace {

using namespace rzl;

// One poll: connect, the 5-byte request, the whole 10-byte reply, close. The simulator closes
// first and keeps each connection in TIME_WAIT for a minute; a new connection from a port such a
// one still holds can wait a second for its handshake. So the clients come from 127.0.0.2 to
// 127.0.0.251 in turn, which makes that rare even at 100,000 connections.
bool pollOnce(std::uint16_t port) {
    static std::atomic<unsigned> next{0};
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in from = bench::LoopbackAddress(0);
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1 + next++ % 250);
    ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from);
    const unsigned char frame[5] = {0x5A, 0x35, 0x77, 0xA5, 0xD8};
    return bench::RawExchange(fd, port, frame, sizeof frame, 10, 2000);
}

struct Run {
    long exchanges = 0;
    long failures = 0;
    double seconds = 0;
};

// `clients` threads polling until `seconds` have passed, or until `limit` exchanges are done.
Run drive(std::uint16_t port, int clients, double seconds, long limit = 0) {
    std::atomic<long> done{0}, failed{0};
    QElapsedTimer t;
    t.start();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&] {
            while (limit > 0 ? done.load() < limit : t.elapsed() < seconds * 1000) {
                if (pollOnce(port)) ++done;
                else ++failed;
            }
        });
    for (auto& thread : threads) thread.join();
    return {done.load(), failed.load(), static_cast<double>(t.nsecsElapsed()) / 1e9};
}

long residentKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(0.2, std::atof(argv[1])) : 2.0;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const long forMemory = argc > 3 ? std::max(1L, std::atol(argv[3])) : 100000;
    constexpr int kClients = 8;

    QProcess sim, floor;
    const std::uint16_t simPort = bench::StartSimulator(sim);
    const std::uint16_t floorPort =
        bench::StartListener(floor, QStringLiteral(RZL_BINARY_DIR "/bench/poll_floor_server"), {});
    if (simPort == 0 || floorPort == 0) {
        std::fprintf(stderr, "rzl-sim or bench/poll_floor_server did not start on loopback\n");
        return 1;
    }
    // Memory first: before any exchange, and after exactly `forMemory` of them.
    const long rssStart = residentKiB(sim.processId());
    const Run warm = drive(simPort, kClients, 0, forMemory);
    const long rssEnd = residentKiB(sim.processId());
    long total = warm.exchanges, failures = warm.failures;

    std::printf("poll exchanges per second, %d clients: rzl-sim (pid %lld) against the C epoll floor (pid %lld), "
                "%d repeats of %.1f s per side\n",
                kClients, static_cast<long long>(sim.processId()), static_cast<long long>(floor.processId()), repeats,
                seconds);
    std::printf("  repeat   rzl-sim /s   C floor /s   time per exchange, ratio\n");
    std::vector<double> ratios, sims, floors;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        // Four alternating slices per side, so both meet the same machine.
        Run ours, theirs;
        for (int slice = 0; slice < 4; ++slice)
            for (auto [port, into] : {std::pair{simPort, &ours}, std::pair{floorPort, &theirs}}) {
                const Run part = drive(port, kClients, seconds / 4);
                into->exchanges += part.exchanges;
                into->failures += part.failures;
                into->seconds += part.seconds;
            }
        total += ours.exchanges + theirs.exchanges;
        failures += ours.failures + theirs.failures;
        sims.push_back(static_cast<double>(ours.exchanges) / ours.seconds);
        floors.push_back(static_cast<double>(theirs.exchanges) / theirs.seconds);
        ratios.push_back(floors.back() / std::max(1.0, sims.back()));
        std::printf("  %6d   %10.0f   %10.0f   %5.2f\n", repeat + 1, sims.back(), floors.back(), ratios.back());
    }
    std::printf("  rates:   rzl-sim median %.0f/s (%.0f-%.0f), C floor median %.0f/s (%.0f-%.0f)\n",
                bench::Quantile(sims, 0.5), *std::min_element(sims.begin(), sims.end()),
                *std::max_element(sims.begin(), sims.end()), bench::Quantile(floors, 0.5),
                *std::min_element(floors.begin(), floors.end()), *std::max_element(floors.begin(), floors.end()));
    std::printf("  ratio:   median %.2f, spread %.2f-%.2f over %d repeats\n", bench::Quantile(ratios, 0.5),
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()),
                repeats);
    std::printf("  memory:  RSS %ld KiB at start, %ld KiB after %ld exchanges, ratio %.2f (%ld failed of %ld)\n",
                rssStart, rssEnd, warm.exchanges, rssStart > 0 ? static_cast<double>(rssEnd) / static_cast<double>(rssStart) : 0.0,
                failures, total);
    for (QProcess* server : {&sim, &floor}) {
        server->terminate();
        server->waitForFinished(3000);
    }
    return failures == 0 ? 0 : 1;
}
