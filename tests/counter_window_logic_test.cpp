// The counter window without widgets: which rows are usable, closing, refresh and clear.

#include <gtest/gtest.h>

#include <QTcpServer>

#include "tests/support/reply_frames.h"
#include "tests/support/test_program.h"

namespace rzl::test {
namespace {

TEST(CounterWindowLogicTest, UpperRowsOnlyWithAllEightInputs) {
    // A loopback listener that never answers: a clear that is sent really goes out.
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    const struct {
        std::uint8_t diMask;
        bool upperRows;
        int input;  // the Clear button clicked
    } cases[] = {{0xFF, true, 4}, {0x0F, false, 4}, {0x0F, false, 5}, {0x00, false, 4}, {0x00, false, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("diMask %1, DI%2").arg(c.diMask).arg(c.input).toStdString());
        TestProgram t;
        t.target(peer.serverPort());
        t.ctx.session.diMask = c.diMask;
        t.program.form3.FormActivate();
        EXPECT_EQ(t.screen.counter.upperRowsEnabled, c.upperRows);
        int sent = 0;
        t.ctx.frameTap = [&](bool outgoing, const QByteArray&) { sent += outgoing ? 1 : 0; };

        // A greyed Clear button does nothing: the model lacks that input.
        t.program.form3.ClearClick(c.input);
        EXPECT_EQ(sent, c.upperRows ? 1 : 0);
        EXPECT_EQ(t.ctx.session.queuedCommand, c.upperRows ? kCmdCounterRead : 0);
    }
}

TEST(CounterWindowLogicTest, ClosingResumesPollingAndValuesSurviveReopening) {
    TestProgram t;
    t.target(1);
    t.ctx.session.pendingCommand = kCmdCounterRead;
    dispatch(t.ctx, reply(0x60, 6, {0, 0, 0, 42}));
    t.ctx.session.pollingEnabled = false;

    t.program.form3.FormClose();
    t.program.form3.FormActivate();

    EXPECT_TRUE(t.ctx.session.pollingEnabled);
    EXPECT_EQ(t.screen.counter.values[0], "42");
}

TEST(CounterWindowLogicTest, RefreshQueuesACounterRead) {
    TestProgram t;
    t.program.form3.Image2Click();
    EXPECT_EQ(t.ctx.session.queuedCommand, kCmdCounterRead);
    EXPECT_EQ(t.ctx.session.pendingCommand, kCmdCounterRead);
}

TEST(CounterWindowLogicTest, ClearSendsItsIndexThenQueuesARead) {
    // A loopback listener that never answers: the connection completes in its backlog.
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    TestProgram t;
    t.target(peer.serverPort());
    t.ctx.session.diMask = 0xFF;
    t.program.form3.FormActivate();
    QList<QByteArray> sent;
    t.ctx.frameTap = [&](bool outgoing, const QByteArray& bytes) { if (outgoing) sent.append(bytes); };

    t.program.form3.ClearClick(5);

    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0], replyBytes({0x5A, 0x35, 0x77, 0xA5, 0x61, 0x05}));
    EXPECT_EQ(t.ctx.session.queuedCommand, kCmdCounterRead);
    EXPECT_EQ(t.ctx.session.pendingCommand, kCmdCounterRead);
}

}  // namespace
}  // namespace rzl::test
