// The host network probe as the link check runs it (adapters, Wi-Fi interfaces and their
// connections, the candidate count) against a bare getifaddrs() call, the floor any adapter list
// costs. The two alternate round by round; each repeat gives a median per side and their ratio.
// Usage: network_probe_bench [rounds per repeat] [repeats]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <ifaddrs.h>

#include "bench/bench_stats.h"
#include "cli/session.h"
#include "link/network_probe.h"

int main(int argc, char** argv) {
    using namespace rzl;
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    cli::Session controller(cli::ControllerOptions{});

    std::printf("host network probe: %d repeats of %d rounds\n", repeats, rounds);
    std::printf("  repeat   probe us (p10-p90)        getifaddrs us (p10-p90)   ratio\n");
    std::vector<double> ratios, allProbe;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        std::vector<double> probe, floor;
        QElapsedTimer t;
        for (int i = 0; i < rounds + 5; ++i) {
            t.start();
            RunNetworkProbe(controller.ctx());
            const double p = static_cast<double>(t.nsecsElapsed()) / 1000.0;
            t.start();
            ifaddrs* list = nullptr;
            if (::getifaddrs(&list) == 0) ::freeifaddrs(list);
            const double f = static_cast<double>(t.nsecsElapsed()) / 1000.0;
            if (i < 5) continue;
            probe.push_back(p);
            floor.push_back(f);
        }
        const double mp = bench::Quantile(probe, 0.5), mf = bench::Quantile(floor, 0.5);
        ratios.push_back(mf > 0 ? mp / mf : 0);
        std::printf("  %6d   %7.1f (%6.1f-%7.1f)     %7.1f (%6.1f-%7.1f)   %6.2f\n", repeat + 1, mp,
                    bench::Quantile(probe, 0.1), bench::Quantile(probe, 0.9), mf, bench::Quantile(floor, 0.1),
                    bench::Quantile(floor, 0.9), ratios.back());
        allProbe.insert(allProbe.end(), probe.begin(), probe.end());
    }
    std::printf("  probe:   median %.1f us, p10-p90 %.1f-%.1f us\n", bench::Quantile(allProbe, 0.5),
                bench::Quantile(allProbe, 0.1), bench::Quantile(allProbe, 0.9));
    std::printf("  ratio:   median %.2f, spread %.2f-%.2f over %d repeats\n", bench::Quantile(ratios, 0.5),
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()),
                repeats);
    return 0;
}
