// Clicks and ticks handled while an exchange waits, for its connect or for its reply. The reply is
// still read as the answer to the request that exchange wrote; the click's own request stays for a
// later tick; windows open, and the target changes, only once the exchange has ended.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <functional>
#include <memory>

#include "link/link_supervisor.h"
#include "protocol/model_catalogue.h"
#include "protocol/request_builders.h"
#include "tests/support/loopback_listeners.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/reply_frames.h"
#include "tests/support/test_program.h"

namespace rzl::test {
namespace {

const QByteArray kPollReply = reply(kCmdPoll, kStatusAccepted, {0x05, 0x03, 0xFF, 0xC4});

// Where the exchange stands when the click comes.
enum class Moment {
    ReplyWait,  // the request went out; the module answers after 60 ms
    Connect,    // the module accepts late (its backlog is full), so the connect waits about a second
};

// A module that makes the exchange wait, so that it pumps events; `click` runs at the first of
// those pumps, as a click or timer would.
struct Interleaved {
    explicit Interleaved(const QByteArray& answer, Moment moment = Moment::ReplyWait) : moment(moment) {
        if (moment == Moment::Connect) {
            EXPECT_TRUE(late.start());
            late.acceptAfter(100, answer.toStdString());
            t.target(late.port());
        } else {
            peer = std::make_unique<LoopbackPeer>(PeerMode::Delayed, answer);
            peer->delayMs = 60;
            EXPECT_TRUE(peer->start());
            t.target(peer->port());
        }
        ApplyModel(t.ctx, 176);  // a linked module: every image and DO button usable
        t.ctx.frameTap = [this](bool outgoing, const QByteArray&) { written = written || outgoing; };
    }

    void runWithClick(const std::function<void(TestProgram&)>& send, const std::function<void(TestProgram&)>& click) {
        bool done = false;
        t.clock.onPump = [&] {
            if (done || !t.ctx.session.exchangeBusy) return;
            done = true;
            EXPECT_EQ(written, moment == Moment::ReplyWait) << "the click came while the exchange waited for "
                                                            << (moment == Moment::Connect ? "its connect" : "its reply");
            click(t);
        };
        send(t);
        t.clock.onPump = nullptr;
        EXPECT_TRUE(done) << "the exchange waited";
    }

    Moment moment;
    std::unique_ptr<LoopbackPeer> peer;
    FullBacklogListener late;
    bool written = false;  // the exchange's frame has gone out
    TestProgram t;
};

TEST(ClicksDuringAnExchange, ReplyIsReadAsTheAnswerToTheRequestSent) {
    IdentifyFields module;
    module.location = "bench";
    const auto poll = [](TestProgram& t) { SendPoll(t.ctx); };
    const struct Case {
        const char* name;
        QByteArray answer;
        std::function<void(TestProgram&)> send;
        std::function<void(TestProgram&)> click;
        std::uint8_t clicked;  // the click's request, pending and queued afterwards
    } cases[] = {
        {"counter refresh during a poll", kPollReply, poll, [](TestProgram& t) { t.program.form3.Image2Click(); },
         kCmdCounterRead},
        {"Find me during identify", identifyReply(module), [](TestProgram& t) { SendIdentify(t.ctx); },
         [](TestProgram& t) { t.program.form1.Image3Click(); }, kCmdLocate},
        {"DO click during a poll", kPollReply, poll, [](TestProgram& t) { t.program.form1.DoButtonClick(0); },
         kCmdSetOutput},
        {"Refresh during a poll", kPollReply, poll, [](TestProgram& t) { t.program.form1.Image2Click(); },
         kCmdIdentify},
    };
    const std::pair<Moment, const char*> moments[] = {{Moment::ReplyWait, ""},
                                                      {Moment::Connect, ", while the connect waits"}};
    for (const auto& [moment, when] : moments)
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + when);
        Interleaved w(c.answer, moment);
        TestProgram& t = w.t;
        const QString model = t.screen.main.label4.caption;

        w.runWithClick(c.send, c.click);

        // Nothing of the click's request is reported as done.
        EXPECT_EQ(t.screen.main.statusBar2[0], QString());
        EXPECT_EQ(t.ctx.session.diCounters[0], 0u);
        EXPECT_EQ(t.screen.counter.values[0], QString(kNotRead));  // never read
        EXPECT_FALSE(t.screen.main.memo1.contains("Get DI Counter done!!"));
        EXPECT_NE(t.screen.main.label4.caption, "Unknow Device??");
        // The click's request waits for its own exchange.
        EXPECT_EQ(t.ctx.session.pendingCommand, c.clicked);
        EXPECT_EQ(t.ctx.session.queuedCommand, c.clicked);
        EXPECT_FALSE(t.ctx.session.exchangeBusy);
        // The reply was taken as the answer to what was sent.
        if (c.answer == kPollReply) {
            EXPECT_EQ(t.ctx.session.diState, 0x03);
            EXPECT_EQ(t.screen.main.label12.caption, "RSSI: -60dBm");
            EXPECT_EQ(t.screen.main.label4.caption, model);
        } else {
            EXPECT_TRUE(t.ctx.session.deviceIdentified);
            EXPECT_EQ(t.screen.main.label5.caption, "Locate: bench");
        }
    }
}

TEST(ClicksDuringAnExchange, WindowsAndTheAddressChangeWaitForTheExchangesToEnd) {
    const struct Case {
        const char* name;
        std::function<void(TestProgram&)> click;
        std::function<bool(TestProgram&)> happened;
    } cases[] = {
        {"setup window", [](TestProgram& t) { t.program.form1.Image1Click(); },
         [](TestProgram& t) { return t.dialogs.setupShown == 1 && !t.ctx.session.pollingEnabled; }},
        {"counter window", [](TestProgram& t) { t.program.form1.Image4Click(); },
         [](TestProgram& t) {
             return t.dialogs.counterShown == 1 && t.ctx.session.queuedCommand == kCmdCounterRead;
         }},
        {"address change", [](TestProgram& t) {
             t.screen.main.edit2 = QStringLiteral("127.0.0.2");
             t.program.form1.SpeedButton5Click();
         },
         [](TestProgram& t) {
             return t.ctx.session.deviceIp == "127.0.0.2" && t.ctx.session.queuedCommand == kCmdIdentify &&
                    t.screen.main.label12.caption == "RSSI:";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Interleaved w(kPollReply);
        TestProgram& t = w.t;
        bool busyWhenShown = false;
        t.dialogs.onSetupShown = t.dialogs.onCounterShown = [&] { busyWhenShown = t.ctx.session.exchangeBusy; };

        w.runWithClick([](TestProgram& t) { SendPoll(t.ctx); }, c.click);

        EXPECT_FALSE(c.happened(t)) << "not inside the exchange, nor in the handler that ran it";
        EXPECT_EQ(t.ctx.session.deviceIp, "127.0.0.1");
        EXPECT_EQ(t.screen.main.label12.caption, "RSSI: -60dBm") << "the poll reply was handled";

        // A second exchange that starts before the event loop comes round holds them as well,
        // though its waits run the event loop (as the program's do) and so the posted actions.
        bool ranInside = false;
        t.clock.onPump = [&] {
            QCoreApplication::processEvents();
            ranInside = ranInside || t.ctx.session.deviceIp != "127.0.0.1" || t.dialogs.setupShown > 0 ||
                        t.dialogs.counterShown > 0;
        };
        SendPoll(t.ctx);
        t.clock.onPump = nullptr;
        EXPECT_FALSE(ranInside) << "not inside the next exchange";
        EXPECT_FALSE(c.happened(t));

        QCoreApplication::processEvents();
        EXPECT_TRUE(c.happened(t)) << "once the event loop comes round";
        EXPECT_FALSE(busyWhenShown);
    }
}

TEST(ClicksDuringAnExchange, QueuedRequestMeetingABusyExchangeStaysQueued) {
    Interleaved w(kPollReply);
    TestProgram& t = w.t;
    t.program.form1.DoButtonClick(2);  // queued: 208 3 1

    // A supervision tick handled during the poll's wait finds the exchange busy.
    w.runWithClick([](TestProgram& t) { SendPoll(t.ctx); }, [](TestProgram& t) { LinkSupervisorTick(t.ctx); });

    EXPECT_EQ(t.ctx.session.queuedCommand, kCmdSetOutput);
    LinkSupervisorTick(t.ctx);
    EXPECT_EQ(t.ctx.session.queuedCommand, 0);
    ASSERT_TRUE(w.peer->waitForClosed(2));
    EXPECT_EQ(w.peer->received(),
              (QList<QByteArray>{QByteArray::fromHex("5A3577A5D8"), QByteArray::fromHex("5A3577A5D00301")}));
}

}  // namespace
}  // namespace rzl::test
