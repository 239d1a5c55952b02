// The content stream and the transfer guard that keeps other exchanges off the module while
// a file travels.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <algorithm>
#include <ctime>
#include <functional>
#include <thread>

#include "core/context.h"
#include "ui/screen_display.h"
#include "filestore/content_stream.h"
#include "protocol/tcp_client.h"
#include "protocol/tcp_exchange.h"
#include "tests/support/fakes.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/paced_reader.h"

using namespace rzl;
using namespace rzl::test;

namespace {

struct World {
    Screen screen;
    RecordingDialogs dialogs;
    ManualClock clock;
    ScreenDisplay display{screen, dialogs};
    Context ctx{display, clock};
    QList<QByteArray> sent;

    explicit World(std::uint16_t port) {
        ctx.session.deviceIp = QStringLiteral("127.0.0.1");
        ctx.session.tcpPort = port;
        ctx.dispatchReply = [](int) {};
        ctx.frameTap = [this](bool out, const QByteArray& b) { if (out) sent.append(b); };
    }
};

// The CPU time this thread has used, in milliseconds.
double threadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

QByteArray pattern(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 7) & 0xFF);
    return bytes;
}

}  // namespace

TEST(StreamContent, WritesTheBytesInPiecesAndClosesTheConnection) {
    struct Case { int length; QList<qint64> progress; };
    const Case cases[] = {
        {0, {}},
        {1024, {1024}},
        {3000, {3000}},  // under 16 KiB: at the end only
    };
    for (const Case& c : cases) {
        LoopbackPeer sink(PeerMode::Silent);
        ASSERT_TRUE(sink.start());
        World w(sink.port());
        const QByteArray content = pattern(c.length);
        QList<qint64> progress;
        QString error;
        EXPECT_TRUE(StreamContent(w.ctx, content.constData(), content.size(),
                                  [&](qint64 written) { progress.append(written); }, &error))
            << c.length << ": " << error.toStdString();
        EXPECT_EQ(progress, c.progress) << c.length;
        ASSERT_TRUE(sink.waitForClosed(1)) << c.length;
        EXPECT_EQ(sink.received().value(0), content) << c.length;
    }
}

// Beyond 16 KiB the writes report at each 16 KiB what the module has acknowledged by then, and
// the wait reports the rest as it comes: never more than was written, always more than before.
TEST(StreamContent, ReportsWhatTheModuleAcknowledgedAtEach16KiB) {
    LoopbackPeer sink(PeerMode::Silent);
    ASSERT_TRUE(sink.start());
    World w(sink.port());
    const QByteArray content = pattern(40000);
    QList<qint64> progress;
    QString error;
    ASSERT_TRUE(StreamContent(w.ctx, content.constData(), content.size(),
                              [&](qint64 acknowledged) { progress.append(acknowledged); }, &error))
        << error.toStdString();
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_LE(progress.first(), 16384);
    EXPECT_EQ(progress.last(), 40000);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()) &&
                std::adjacent_find(progress.begin(), progress.end()) == progress.end())
        << "each report says more than the last";
    EXPECT_LE(progress.size(), 40000 / 1024) << "not a report per 1 KiB piece";
}

TEST(StreamContent, NoListenerIsAnErrorWithItsReason) {
    World w(closedLoopbackPort());
    QString error;
    const QByteArray content = pattern(10);
    EXPECT_FALSE(StreamContent(w.ctx, content.constData(), content.size(), {}, &error));
    EXPECT_FALSE(error.isEmpty());
}

// A write is given up only when the module has taken nothing for the stall time, however long
// it lasts in all. Three links run side by side, with the stall time cut to half a second: a slow
// one taking the file content stream, a slow one taking one long write, and one that stops.
TEST(WriteStall, OnlyALinkThatStopsTakingDataIsGivenUp) {
    constexpr int kStallMs = 500;
    constexpr qint64 kRate = 2 * 1024 * 1024;  // bytes per second, steady
    // Whatever the kernel buffers, the last bytes go out more than three stall times after the first.
    const QByteArray data(3 * kStallMs * kRate / 1000 + PacedReader::bufferedAtMost(), '\x6B');
    PacedReader streamed(kRate), written(kRate), stopped(kRate, kRate / 2, 10000);  // the last stops after 0.5 s
    ASSERT_TRUE(streamed.start() && written.start() && stopped.start());

    struct Write {
        bool ok = false;
        QString error;
        qint64 ms = 0;
    };
    const auto write = [&data](std::uint16_t port, Write& out) {
        ManualClock clock;
        TcpClient client(clock, kStallMs);
        QElapsedTimer timer;
        timer.start();
        out.ok = client.connectTo(QStringLiteral("127.0.0.1"), port, 3000) && client.write(data.constData(), data.size());
        out.error = client.error();
        out.ms = timer.elapsed();
    };
    Write block, stall, stream;
    std::thread blockWriter(write, written.port(), std::ref(block));
    std::thread stallWriter(write, stopped.port(), std::ref(stall));
    World w(streamed.port());
    w.ctx.writeStallMs = kStallMs;
    QElapsedTimer timer;
    timer.start();
    stream.ok = StreamContent(w.ctx, data.constData(), data.size(), {}, &stream.error);
    stream.ms = timer.elapsed();
    blockWriter.join();
    stallWriter.join();

    const std::pair<const char*, const Write*> slow[] = {{"content stream", &stream}, {"one write", &block}};
    for (const auto& [name, run] : slow) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(run->ok) << run->error.toStdString() << " after " << run->ms << " ms";
        EXPECT_GT(run->ms, 3 * kStallMs) << "the link kept the writer waiting past the stall time";
    }
    EXPECT_FALSE(stall.ok);
    EXPECT_TRUE(stall.error.contains(QStringLiteral("stalled"))) << stall.error.toStdString();
    EXPECT_GE(stall.ms, kStallMs);
    EXPECT_LT(stall.ms, 8000) << "long before the reader gives up itself (10.5 s)";
}

// The wait for the module's acknowledgements looks at the send queue far more often than every
// 10 ms near its start, but pumps the program's events only every 10 ms, and not at every look.
TEST(StreamDrain, TheProgramRunsEverySliceWhileTheQueueDrainsNotAtEveryLook) {
    constexpr qint64 kBytes = 1024 * 1024;
    PacedReader reader(8 * 1024 * 1024);  // about 125 ms for the whole
    ASSERT_TRUE(reader.start());
    ManualClock clock;
    TcpClient client(clock, platform::TcpConnection::kDefaultStallMs);
    const QByteArray data(kBytes, '\x5A');
    ASSERT_TRUE(client.connectTo(QStringLiteral("127.0.0.1"), reader.port(), 3000)) << client.error().toStdString();
    ASSERT_TRUE(client.write(data.constData(), data.size())) << client.error().toStdString();

    QElapsedTimer timer;
    QList<qint64> pumps;  // microseconds from the start of the wait
    clock.onPump = [&] { pumps.append(timer.nsecsElapsed() / 1000); };
    qint64 last = -1;
    timer.start();
    EXPECT_TRUE(client.waitUntilAcknowledged(kBytes, [&last](qint64 acknowledged) { last = acknowledged; }))
        << client.error().toStdString();
    const qint64 waited = timer.nsecsElapsed() / 1000;

    EXPECT_EQ(last, kBytes);
    if (waited > 20000) {
        EXPECT_FALSE(pumps.isEmpty()) << "a wait of " << waited << " µs never let the program run";
    }
    qint64 previous = 0;
    for (const qint64 at : pumps) {
        EXPECT_GE(at - previous, 9900) << "the program ran again after " << at - previous << " µs";
        previous = at;
    }
}

// The wait wakes when the module closes its end, so a stream ends the moment the module has
// it all. A module that speaks first (a byte, or its half close) while it still takes the data
// leaves the socket readable for good: the wait must neither end early nor spin on it.
TEST(StreamDrain, APeerThatSpeaksWhileItReadsIsWaitedForWithoutSpinning) {
    constexpr qint64 kBytes = 1024 * 1024;
    const struct {
        const char* name;
        QByteArray says;
        bool halfCloses;
    } cases[] = {{"sends a byte", QByteArray("\x01", 1), false}, {"closes its sending side", {}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PacedReader reader(8 * 1024 * 1024);  // about 125 ms for the whole
        reader.sayOnAccept = c.says;
        reader.endSendingOnAccept = c.halfCloses;
        ASSERT_TRUE(reader.start());
        ManualClock clock;
        TcpClient client(clock, platform::TcpConnection::kDefaultStallMs);
        const QByteArray data(kBytes, '\x5A');
        ASSERT_TRUE(client.connectTo(QStringLiteral("127.0.0.1"), reader.port(), 3000)) << client.error().toStdString();
        ASSERT_TRUE(client.write(data.constData(), data.size()) && client.finishSending())
            << client.error().toStdString();

        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = threadCpuMs();
        qint64 last = -1;
        EXPECT_TRUE(client.waitUntilAcknowledged(kBytes, [&last](qint64 acknowledged) { last = acknowledged; }))
            << client.error().toStdString();
        const double cpuMs = threadCpuMs() - cpuBefore;
        const qint64 waitedMs = timer.elapsed();
        client.disconnect();

        EXPECT_EQ(last, kBytes);
        EXPECT_GE(reader.received() + 256 * 1024, kBytes) << "ended while much was still unread";
        if (waitedMs >= 50) {
            EXPECT_LT(cpuMs, 0.2 * static_cast<double>(waitedMs)) << "a wait of " << waitedMs << " ms used " << cpuMs
                                                                    << " ms of CPU";
        }
    }
}

// The last bytes of a stream drain while this PC waits for the module's acknowledgements, and
// the stall limit starts again at each one: a tail that drains slowly but steadily for several
// times the limit completes, one that stops is given up a limit after its last progress, and
// one the module resets while bytes are still queued fails: never complete. The limit is cut to
// half a second, so the steady drain takes two seconds, not a minute.
TEST(StreamDrain, ATailThatKeepsDrainingCompletesOneThatStopsOrIsResetFails) {
    constexpr int kStallMs = 500;
    constexpr qint64 kRate = 1024 * 1024;  // bytes per second: the acknowledgements come about every 0.1 s
    constexpr qint64 kBytes = 2 * 1024 * 1024;  // this PC's buffers take it all at once
    const struct {
        const char* name;
        qint64 stopAfter;  // the reader stops taking data after this many bytes; 0: never
        bool reset;        // and resets the connection there
        const char* error;  // empty: the drain completes
    } cases[] = {
        {"drains steadily", 0, false, ""},
        {"stops taking data", 256 * 1024, false, "Write stalled for 500 ms"},
        {"reset with bytes queued", 256 * 1024, true, "reset"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PacedReader reader(kRate, c.stopAfter, 20000);
        reader.resetAtStop = c.reset;
        ASSERT_TRUE(reader.start());
        ManualClock clock;
        TcpClient client(clock, kStallMs);
        const QByteArray data(kBytes, '\x33');
        ASSERT_TRUE(client.connectTo(QStringLiteral("127.0.0.1"), reader.port(), 3000)) << client.error().toStdString();
        ASSERT_TRUE(client.write(data.constData(), data.size()) && client.finishSending()) << client.error().toStdString();

        QElapsedTimer timer;
        timer.start();
        qint64 acknowledged = 0, progressAt = 0;
        const bool done = client.waitUntilAcknowledged(kBytes, [&](qint64 now) {
            if (now > acknowledged) progressAt = timer.elapsed();
            acknowledged = now;
        });
        const qint64 drainMs = timer.elapsed();

        if (*c.error == '\0') {
            EXPECT_TRUE(done) << client.error().toStdString() << " after " << drainMs << " ms";
            EXPECT_EQ(acknowledged, kBytes);
            EXPECT_GT(drainMs, 3 * kStallMs) << "drained within the stall limit: the case proves nothing";
        } else {
            EXPECT_FALSE(done) << "reported complete after " << drainMs << " ms";
            EXPECT_TRUE(client.error().contains(QLatin1String(c.error))) << client.error().toStdString();
            EXPECT_LT(acknowledged, kBytes);
            EXPECT_LT(drainMs - progressAt, 5000) << "given up long before the reader lets go (20 s)";
            if (!c.reset) {
                EXPECT_GE(drainMs - progressAt, kStallMs - 10) << "given up a limit after the last progress";
            }
        }
    }
}

TEST(TransferGuard, KeepsOtherExchangesOffUntilReleased) {
    LoopbackPeer peer(PeerMode::Answer, QByteArray("\x5A\x35\x77\xA5\x5F\x06", 6));
    ASSERT_TRUE(peer.start());
    World w(peer.port());
    w.ctx.session.txFrame[4] = 0x5F;
    {
        TransferGuard guard(w.ctx);
        ASSERT_TRUE(guard.acquired());
        EXPECT_TRUE(w.ctx.session.exchangeBusy);

        TcpExchange(w.ctx, 5);  // a poll or click in the middle of the transfer
        TcpSendOnly(w.ctx, 5);
        EXPECT_TRUE(w.sent.isEmpty());

        TcpExchangeUnderGuard(w.ctx, 5);  // the transfer's own header
        EXPECT_EQ(w.sent.size(), 1);
        EXPECT_TRUE(w.ctx.session.exchangeBusy) << "the transfer still holds the guard";

        TransferGuard second(w.ctx);
        EXPECT_FALSE(second.acquired());
    }
    EXPECT_FALSE(w.ctx.session.exchangeBusy);
    TcpExchange(w.ctx, 5);
    EXPECT_EQ(w.sent.size(), 2);
}

TEST(TransferGuard, FailedConnectUnderTheGuardKeepsItHeld) {
    World w(closedLoopbackPort());
    TransferGuard guard(w.ctx);
    ASSERT_TRUE(guard.acquired());
    TcpExchangeUnderGuard(w.ctx, 5);
    EXPECT_EQ(w.screen.main.statusBar2[0], QStringLiteral("Connect Timeout"));
    EXPECT_TRUE(w.ctx.session.exchangeBusy);
}
