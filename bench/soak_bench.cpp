// A long run of the program's core against the in-process module on loopback: the main window's
// own timers poll and supervise the link, the module's inputs toggle, and an output is clicked
// every five seconds (a queued click restarts the three-second poll cycle, so clicks much more
// often would leave no polls). Prints the resident set size at the start and the end (and each minute),
// the exchanges done and the failures; exits 1 when any exchange failed.
// Usage: soak_bench [seconds (default 3600)] [click interval ms (default 5000)]
// bench/soak.sh runs it under LeakSanitizer or valgrind.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "app/options.h"
#include "ui/program.h"
#include "protocol/tcp_exchange.h"
#include "sim/simulator.h"

namespace {

using namespace rzl;

// Boxes are counted, never kept: a run of hours must not grow a list.
class CountingDialogs : public DialogHost {
public:
    void message(const QString& text, const QString&, BoxIcon) override {
        ++boxes;
        std::fprintf(stderr, "soak: box: %s\n", qPrintable(text));
    }
    bool confirm(const QString&, const QString&) override { return true; }
    std::optional<QString> openFile(const QString&, const QString&) override { return std::nullopt; }
    void showSetupModal() override {}
    void showCounterModal() override {}
    int boxes = 0;
};

// As the desktop program waits: in slices, serving timers and clicks between them.
class EventClock : public Clock {
public:
    void pause(int milliseconds) override {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < milliseconds) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(1);
        }
    }
    void pump() override { QCoreApplication::processEvents(); }
};

long RssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int seconds = args.size() > 1 ? args[1].toInt() : 3600;
    const int clickMs = args.size() > 2 ? args[2].toInt() : 5000;
    if (seconds <= 0 || clickMs <= 0) {
        std::fprintf(stderr, "usage: soak_bench [seconds] [click interval ms]\n");
        return 2;
    }

    sim::SimOptions simOptions;
    simOptions.listenAddress = QHostAddress::LocalHost;
    simOptions.inputsPattern = QStringLiteral("DI0:700,DI1:1100,DI2:2300,DI3:3100");
    sim::SimulatorThread module(simOptions);
    if (!module.start()) {
        std::fprintf(stderr, "soak: the module cannot listen: %s\n", qPrintable(module.errorString()));
        return 2;
    }

    CountingDialogs dialogs;
    EventClock clock;
    Program program(dialogs, clock);
    Context& ctx = program.ctx;
    LaunchOptions launch;
    launch.deviceHost = QStringLiteral("127.0.0.1");
    launch.devicePort = module.port();
    launch.noLinkCheck = true;
    LaunchResources resources;
    QString problem;
    if (!ApplyLaunchOptions(launch, ctx, resources, &problem)) {
        std::fprintf(stderr, "soak: %s\n", qPrintable(problem));
        return 2;
    }

    long requests = 0, replies = 0, failures = 0, clicks = 0;
    ctx.frameTap = [&](bool outgoing, const QByteArray&) { ++(outgoing ? requests : replies); };
    QObject::connect(&program.screen, &Screen::statusShown, [&](int, int, const QString& text) {
        if (text == NoticeText({Notice::Kind::ConnectTimeout})) ++failures;
    });
    QObject::connect(&program.screen, &Screen::logged, [&](const QString& line) {
        if (line.startsWith(QLatin1String("RX Error")) || line.startsWith(QLatin1String("TX Error")) ||
            line == QLatin1String(kWaitRxTimeoutText)) {
            ++failures;
            std::fprintf(stderr, "soak: %s\n", qPrintable(line));
        }
    });

    program.form1.FormActivate();  // first identify, then the timers poll
    const long rssStart = RssKb();
    std::printf("soak: %d s against 127.0.0.1:%u, an output click every %d ms\n", seconds, module.port(), clickMs);
    std::printf("soak: RSS at start %ld kB\n", rssStart);
    std::fflush(stdout);

    QTimer click;
    QObject::connect(&click, &QTimer::timeout, [&] {
        const int output = static_cast<int>(clicks % 3);  // DO0..DO2, which every output model has
        ++clicks;
        program.form1.DoButtonClick(output);
    });
    click.start(clickMs);
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer minute;
    QObject::connect(&minute, &QTimer::timeout, [&] {
        std::printf("soak: %lld s: RSS %ld kB, %ld exchanges, %ld failures\n", elapsed.elapsed() / 1000, RssKb(),
                    replies, failures);
        std::fflush(stdout);
    });
    minute.start(60000);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();

    const sim::ModuleState state = module.state();
    std::printf("soak: RSS at end %ld kB (start %ld kB)\n", RssKb(), rssStart);
    std::printf("soak: %ld requests, %ld exchanges answered, %ld output clicks, %ld failures, %d message boxes\n",
                requests, replies, clicks, failures, dialogs.boxes);
    std::printf("soak: outputs %02X on the module, %02X shown; DI0 counted %u rising edges\n", state.doBits,
                ctx.session.doState, state.counters[0]);
    module.stop();
    return failures == 0 && replies > 0 ? 0 : 1;
}
