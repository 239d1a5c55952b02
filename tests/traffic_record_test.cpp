// The traffic record: fed by the exchange and the hidden log, each reply named after the
// request it answers, bounded to its newest entries, and read as one line per entry.

#include <gtest/gtest.h>

#include "core/context.h"
#include "ui/screen_display.h"
#include "core/time_text.h"
#include "protocol/request_builders.h"
#include "tests/support/fakes.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/reply_frames.h"

namespace rzl::test {
namespace {

const QDateTime kNoon(QDate(2026, 3, 1), QTime(12, 0, 0, 125));

TEST(TrafficRecordTest, ExchangesAndLogLinesArriveInOrderWithTheRequestsName) {
    // A reply whose own byte 4 says "poll" is still the answer to the identify request.
    QByteArray reply = identifyReply({});
    reply[kCommandByte] = static_cast<char>(kCmdPoll);
    LoopbackPeer peer(PeerMode::Answer, reply);
    ASSERT_TRUE(peer.start());
    Screen screen;
    RecordingDialogs dialogs;
    ManualClock clock;
    ScreenDisplay display{screen, dialogs};
    Context ctx(display, clock);
    ctx.session.deviceIp = QStringLiteral("127.0.0.1");
    ctx.session.tcpPort = peer.port();
    ctx.traffic.now = [] { return kNoon; };

    SendIdentify(ctx);
    ctx.log(QStringLiteral("Wait RX Timeout!"));

    QStringList lines;
    for (const TrafficEntry& entry : ctx.traffic.entries()) lines.append(TrafficLine(entry));
    ASSERT_EQ(lines.size(), 3);
    // Local time with its offset, which depends on the zone the test runs in ("Z" in UTC).
    const QString noon = IsoTimeWithOffset(kNoon);
    ASSERT_TRUE(noon.startsWith(QStringLiteral("2026-03-01T12:00:00.125"))) << noon.toStdString();
    EXPECT_EQ(lines[0], noon + QStringLiteral(" Identify        >> 5A 35 77 A5 21 00 00"));
    EXPECT_TRUE(lines[1].startsWith(noon + QStringLiteral(" Identify        << 5A 35 77 A5 D8 06 B0")))
        << lines[1].toStdString();
    EXPECT_EQ(lines[1].size(), noon.size() + 1 + 16 + 3 + identify::kReplyLength * 3 - 1);  // the whole reply
    EXPECT_EQ(lines[2], noon + QStringLiteral(" log: Wait RX Timeout!"));
}

TEST(TrafficRecordTest, KeepsTheNewestEntriesAndNamesEveryCommand) {
    TrafficRecord record;
    for (int i = 0; i < TrafficRecord::kMaxEntries + 3; ++i) record.log(QString::number(i));
    ASSERT_EQ(record.entries().size(), TrafficRecord::kMaxEntries);
    EXPECT_EQ(record.entries().first().text, QStringLiteral("3"));
    EXPECT_EQ(record.entries().last().text, QString::number(TrafficRecord::kMaxEntries + 2));

    const struct {
        std::uint8_t code;
        const char* name;
    } names[] = {{29, "Locate"},          {33, "Identify"},      {37, "Checksum query"}, {38, "Image activate"},
                 {45, "Reboot"},          {48, "Wi-Fi mode"},    {50, "Web key"},        {90, "Firmware header"},
                 {93, "Delete file"},     {94, "Reset defaults"}, {95, "File header"},   {96, "Counter read"},
                 {97, "Counter clear"},   {208, "Set output"},   {216, "Poll"},          {220, "Modbus notice"},
                 {7, "Command 7"}};
    for (const auto& n : names) EXPECT_EQ(CommandName(n.code), QLatin1String(n.name));

    // A frame too short to hold a command byte still takes its place in the record.
    record.frame(true, QByteArray("\x5A\x35", 2));
    EXPECT_EQ(record.entries().last().command, 0);

    // rzlctl's record keeps nothing, yet passes every entry on (--trace), replies still named
    // after their request.
    record.keepAtMost(0);
    EXPECT_TRUE(record.entries().isEmpty());
    QList<TrafficEntry> passed;
    QObject::connect(&record, &TrafficRecord::added, [&](const TrafficEntry& e) { passed.append(e); });
    record.frame(true, QByteArray::fromHex("5A3577A521"));
    record.frame(false, QByteArray::fromHex("5A3577A5D806"));
    record.log(QStringLiteral("Wait RX Timeout!"));
    EXPECT_TRUE(record.entries().isEmpty());
    ASSERT_EQ(passed.size(), 3);
    EXPECT_EQ(passed[1].command, kCmdIdentify);
    EXPECT_EQ(passed[2].text, QStringLiteral("Wait RX Timeout!"));
}

}  // namespace
}  // namespace rzl::test
