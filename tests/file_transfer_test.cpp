// File writes and deletes against the simulated module: the frames byte for byte, the content
// on its own connection, the guard that keeps other requests out until the stream has closed,
// and the failures that end a transfer at the step where they happen.

#include <cstring>
#include <gtest/gtest.h>

#include "filestore/file_transfer.h"
#include "protocol/request_builders.h"
#include "sim/simulator.h"
#include "tests/support/file_frames.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/test_program.h"
#include "tests/support/wait.h"
#include "ui/operation_texts.h"

namespace rzl::test {
namespace {

using sim::Arrival;
using sim::FaultMode;
using sim::SimulatorThread;

const QByteArray kSig = QByteArray::fromHex("5A3577A5");

QByteArray counting(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return bytes;
}

struct World {
    SimulatorThread sim;
    TestProgram t;
    Context& ctx = t.ctx;
    QStringList statuses;

    World() {
        EXPECT_TRUE(sim.start());
        t.target(sim.port());
        QObject::connect(&t.screen, &Screen::statusShown, [this](int bar, int panel, const QString& text) {
            if (bar == 2 && panel == 0) statuses.append(text);
        });
    }
    void place(const QByteArray& content) { std::memcpy(ctx.transfer.data(), content.constData(), content.size()); }
    QList<Arrival> arrivalsOnceSettled(int count) {
        WaitFor([&] { return sim.arrivals().size() >= count; });
        return sim.arrivals();
    }
};

TEST(SendFile, HeaderThenContentOnItsOwnConnection) {
    struct Case {
        QByteArray name;
        QByteArray content;
    };
    const Case cases[] = {
        {"/local/locate.cfg", "abc"},
        {"/local/sta_keyT.cfg", QByteArray(1, '\x02')},
        {"/local/sta_ssid.cfg", QByteArray(31, 'S')},
        {"/local/empty.cfg", QByteArray()},
        {"/local/two_pieces.cfg", counting(1025)},
        {"/local/" + QByteArray(36, 'n'), "x"},  // 43 characters: the longest name a header holds
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        World w;
        w.ctx.session.txFrame.fill(0xEE);  // what the previous frame left
        w.place(c.content);

        const TransferOutcome outcome = SendFile(w.ctx, QString::fromLatin1(c.name), c.content.size());

        ASSERT_TRUE(outcome.done()) << TransferErrorText(outcome).toStdString();
        const QList<Arrival> arrivals = w.arrivalsOnceSettled(2);
        ASSERT_EQ(arrivals.size(), 2);
        EXPECT_EQ(hexOf(arrivals[0].frame), hexOf(fileHeaderFrame(c.name, c.content)));
        EXPECT_EQ(arrivals[1].kind, Arrival::Content);
        EXPECT_EQ(arrivals[1].fileName, c.name);
        EXPECT_EQ(arrivals[1].length, c.content.size());
        EXPECT_EQ(arrivals[1].sum, byteSum(c.content));
        EXPECT_TRUE(WaitFor([&] { return w.sim.state().files.value(QString::fromLatin1(c.name)) == c.content; }));

        EXPECT_EQ(w.statuses, (QStringList{"Send FileName: " + QString::fromLatin1(c.name),
                                           "Transfer Length => " + QString::number(c.content.size())}));
        EXPECT_EQ(w.t.clock.pauses, QList<int>{1500});
        const GaugeView& gauge = w.t.screen.setup.gauge;
        EXPECT_EQ(gauge.maximum, c.content.size());
        EXPECT_EQ(gauge.position, c.content.size()) << "the bar stands full at the end";
        EXPECT_EQ(gauge.bar, colours::kRed);
        EXPECT_FALSE(w.ctx.session.exchangeBusy);
        EXPECT_FALSE(w.ctx.session.retryPending);
    }
}

TEST(SendFile, TheHeaderOfAbcCarriesLengthThreeAndSum294) {
    World w;
    w.place("abc");
    ASSERT_TRUE(SendFile(w.ctx, QStringLiteral("/local/locate.cfg"), 3).done());
    const QList<Arrival> arrivals = w.arrivalsOnceSettled(1);
    ASSERT_FALSE(arrivals.isEmpty());
    EXPECT_EQ(arrivals[0].frame.mid(5, 8).toHex(' '), "00 00 00 03 00 00 01 26");
}

// A header met by silence went out: the re-send is not armed and the content still follows.
TEST(SendFile, SilenceAfterTheHeaderStillLeadsToTheContent) {
    World w;
    LoopbackPeer silent(PeerMode::Silent);
    ASSERT_TRUE(silent.start());
    w.ctx.session.tcpPort = silent.port();
    w.place("abc");

    const TransferOutcome outcome = SendFile(w.ctx, QStringLiteral("/local/locate.cfg"), 3);

    EXPECT_TRUE(outcome.done()) << TransferErrorText(outcome).toStdString();
    EXPECT_EQ(w.t.screen.main.memo1, QStringList{"Wait RX Timeout!"});
    EXPECT_FALSE(w.ctx.session.retryPending);
    ASSERT_TRUE(silent.waitForClosed(2));
    EXPECT_EQ(silent.received(), (QList<QByteArray>{fileHeaderFrame("/local/locate.cfg", "abc"), "abc"}));
}

TEST(KillFile, DeleteFrameIsCleanAndTheReplyIsShown) {
    struct Case {
        bool fileThere;
        QStringList statuses;
    };
    const QByteArray name = "/local/sta_ip.cfg";
    const Case cases[] = {
        {true, {"Del File: /local/sta_ip.cfg", "Kill file in Flash Done!"}},
        {false, {"Del File: /local/sta_ip.cfg"}},  // the module has no such file: not a failure
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileThere);
        World w;
        if (c.fileThere) {
            sim::ModuleState state = w.sim.state();
            state.files.insert(QString::fromLatin1(name), QByteArray(12, '\x01'));
            w.sim.setState(state);
        }
        w.ctx.session.txFrame.fill(0xEE);

        const TransferOutcome outcome = KillFile(w.ctx, QString::fromLatin1(name));

        EXPECT_TRUE(outcome.done()) << TransferErrorText(outcome).toStdString();
        const QList<Arrival> arrivals = w.arrivalsOnceSettled(1);
        ASSERT_EQ(arrivals.size(), 1);
        EXPECT_EQ(hexOf(arrivals[0].frame), hexOf(deleteFrame(name)));
        EXPECT_EQ(w.statuses, c.statuses);
        EXPECT_EQ(w.sim.state().files.contains(QString::fromLatin1(name)), false);
        EXPECT_FALSE(w.ctx.session.exchangeBusy);
    }
}

// Every failure ends the transfer where it happens, sends nothing after it, says which file and
// why, and leaves the module free for the next request.
TEST(FileTransfer, FailuresStopAtTheirStepAndReleaseTheGuard) {
    enum class Target { Sim, SimRefusing, NoListener, ResettingPeer, Busy };
    struct Case {
        const char* what;
        Target target;
        bool write;  // SendFile, else KillFile
        QString name;
        TransferStep step;
        QString status;     // the status line afterwards
        int pauses;         // the 1.5 s wait runs only after a header that went out
    };
    const QString file = QStringLiteral("/local/locate.cfg");
    const QString name44 = QStringLiteral("/local/") + QString(37, QLatin1Char('n'));
    const QString name24 = QStringLiteral("/local/") + QString(17, QLatin1Char('n'));
    const Case cases[] = {
        {"header, no listener", Target::NoListener, true, file, TransferStep::Header, "Connect Timeout", 0},
        {"header refused", Target::SimRefusing, true, file, TransferStep::Header, "Send FileName: " + file, 0},
        {"delete, no listener", Target::NoListener, false, file, TransferStep::Delete, "Connect Timeout", 0},
        {"content reset midway", Target::ResettingPeer, true, file, TransferStep::Content,
         "Transfer Length => 4194304", 1},
        {"write while busy", Target::Busy, true, file, TransferStep::Busy, "", 0},
        {"delete while busy", Target::Busy, false, file, TransferStep::Busy, "", 0},
        {"name of 44 for a header", Target::Sim, true, name44, TransferStep::Refused, "", 0},
        {"name of 24 for a delete", Target::Sim, false, name24, TransferStep::Refused, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        LoopbackPeer resetting(PeerMode::ResetContent, kSig + "\x5F\x06");
        const QByteArray content = counting(4 * 1024 * 1024);  // more than the socket buffers hold
        w.place(content);
        switch (c.target) {
        case Target::Sim: break;
        case Target::SimRefusing: w.sim.setFault(FaultMode::Reject); break;
        case Target::NoListener: w.ctx.session.tcpPort = closedLoopbackPort(); break;
        case Target::ResettingPeer:
            ASSERT_TRUE(resetting.start());
            w.ctx.session.tcpPort = resetting.port();
            break;
        case Target::Busy: w.ctx.session.exchangeBusy = true; break;
        }
        const int connectionsBefore = w.sim.connectionCount();

        const TransferOutcome outcome = c.write ? SendFile(w.ctx, c.name, content.size()) : KillFile(w.ctx, c.name);

        EXPECT_EQ(outcome.failedAt, c.step) << TransferErrorText(outcome).toStdString();
        EXPECT_EQ(outcome.refusedStatus, c.target == Target::SimRefusing ? 21 : -1);
        EXPECT_TRUE(TransferErrorText(outcome).contains(c.name)) << TransferErrorText(outcome).toStdString();
        EXPECT_FALSE(outcome.reason.isEmpty());
        EXPECT_EQ(w.t.screen.main.statusBar2[0], c.status);
        EXPECT_EQ(w.t.clock.pauses.size(), c.pauses);
        if (c.target == Target::SimRefusing) {
            EXPECT_EQ(w.sim.connectionCount(), connectionsBefore + 1) << "nothing after the failed step";
        } else if (c.target != Target::ResettingPeer) {
            EXPECT_EQ(w.sim.connectionCount(), connectionsBefore) << "nothing sent";
        } else {
            EXPECT_EQ(resetting.connections(), 2);
        }
        EXPECT_TRUE(w.t.dialogs.boxes.isEmpty()) << "the caller shows the one box";

        // The guard is released (unless the test itself holds it) and the next poll works.
        if (c.target == Target::Busy) {
            EXPECT_TRUE(w.ctx.session.exchangeBusy);
            w.ctx.session.exchangeBusy = false;
        }
        EXPECT_FALSE(w.ctx.session.exchangeBusy);
        w.sim.setFault(FaultMode::None);
        w.ctx.session.tcpPort = w.sim.port();
        EXPECT_EQ(SendPoll(w.ctx).result, ExchangeResult::Replied);
    }
}

TEST(FileTransfer, ShowsOneErrorBoxNamingTheFile) {
    World w;
    w.ctx.session.tcpPort = closedLoopbackPort();
    const TransferOutcome outcome = KillFile(w.ctx, QStringLiteral("/local/ap_key.cfg"));
    EXPECT_TRUE(w.t.dialogs.boxes.isEmpty()) << "the caller shows the one box";
    const QString text = TransferErrorText(outcome);
    EXPECT_TRUE(text.startsWith("Del File: /local/ap_key.cfg\n    . Delete not sent: ")) << text.toStdString();
}

// Polls due while a file travels (in the header's wait, the 1.5 s pause, the stream's repaint)
// are refused; the module sees the header, then the whole content, then the next poll.
TEST(FileTransfer, RequestsDueDuringTheTransferWaitUntilTheStreamHasClosed) {
    World w;
    QList<ExchangeResult> inside;
    const auto tick = [&] { inside.append(SendPoll(w.ctx).result); };
    w.t.clock.onPump = tick;
    w.t.clock.onPause = [&](int) { tick(); };
    const QByteArray content = counting(200 * 1024);
    w.place(content);

    ASSERT_TRUE(SendFile(w.ctx, QStringLiteral("/local/big.cfg"), content.size()).done());
    w.t.clock.onPump = nullptr;
    EXPECT_EQ(SendPoll(w.ctx).result, ExchangeResult::Replied);

    ASSERT_GE(inside.size(), 2);
    EXPECT_EQ(inside, QList<ExchangeResult>(inside.size(), ExchangeResult::Busy));
    const QList<Arrival> arrivals = w.arrivalsOnceSettled(3);
    ASSERT_EQ(arrivals.size(), 3);
    EXPECT_EQ(arrivals[0].frame.mid(4, 1).toHex(), "5f");
    EXPECT_EQ(arrivals[1].kind, Arrival::Content);
    EXPECT_EQ(arrivals[1].length, content.size());
    EXPECT_EQ(arrivals[2].frame.toHex(' '), "5a 35 77 a5 d8");
}

}  // namespace
}  // namespace rzl::test
