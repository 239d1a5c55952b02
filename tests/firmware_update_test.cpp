// The firmware update against the simulated module and against stand-ins that misbehave:
// frames byte for byte, the image limit, the checksum reply and its re-send, and the faults.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "filestore/firmware_update.h"
#include "sim/simulator.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/test_program.h"
#include "tests/support/wait.h"
#include "ui/setup/maintenance.h"

namespace rzl::test {
namespace {

using sim::FaultMode;
using sim::SimulatorThread;

const QString kMatch = QStringLiteral("F/W update Complete! Reboot to take effect");
const QString kMismatch = QStringLiteral("Update F/W fail with Error! Please retry again.");

QByteArray pattern(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return bytes;
}

std::uint32_t byteSum(const QByteArray& bytes) {
    std::uint32_t sum = 0;
    for (char c : bytes) sum += static_cast<unsigned char>(c);
    return sum;
}

QByteArray u32(std::uint32_t v) {
    return QByteArray::fromHex(QByteArray::number(v, 16).rightJustified(8, '0'));
}

// The 40-byte header as the module must receive it.
QByteArray expectedHeader(std::uint8_t command, const QByteArray& image, const QByteArray& name) {
    QByteArray h = QByteArray::fromHex("5A3577A5");
    h.append(char(command)).append(u32(std::uint32_t(image.size()))).append(u32(byteSum(image)));
    h.append(3, '\0').append(char(name.size())).append(name);
    return h.leftJustified(40, '\0');
}

// What the module has taken, once `count` frames have arrived.
QList<QByteArray> framesAt(const SimulatorThread& sim, int count) {
    WaitFor([&] { return sim.receivedFrames().size() >= count; }, 3000);
    return sim.receivedFrames();
}

bool storedAs(const SimulatorThread& sim, const QString& name, const QByteArray& image) {
    return WaitFor([&] { return sim.state().files.value(name) == image; }, 3000);
}

class FirmwareUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // The pauses are recorded, not waited; the module still gets a moment to take the header
        // before the image connection opens.
        t.clock.onPause = [](int) { QThread::msleep(100); };
        QObject::connect(&t.screen, &Screen::statusShown, [this](int bar, int panel, const QString& text) {
            if (bar == 2 && panel == 0) statuses.append(text);
        });
    }

    QString imageFile(const QByteArray& bytes, const QString& name = QStringLiteral("mcuimg.bin")) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QList<ShownBox> boxesWith(const QString& caption) const {
        QList<ShownBox> found;
        for (const ShownBox& b : t.dialogs.boxes)
            if (b.caption == caption) found.append(b);
        return found;
    }

    // The supervision can poll again: the guard is free, and closing the setup window makes the
    // next supervision tick identify the module.
    void expectPollingBack(SimulatorThread& sim) {
        EXPECT_FALSE(t.ctx.session.exchangeBusy);
        t.target(sim.port());
        t.ctx.session.settingsKnown = true;
        sim.clearReceived();
        t.ctx.session.superviseTicks = 0;
        t.program.form2.FormClose();
        t.program.form1.Timer3Timer();
        EXPECT_EQ(sim.receivedFrames(), QList<QByteArray>{QByteArray::fromHex("5A3577A5210000")});
    }

    QTemporaryDir dir;
    TestProgram t;
    QStringList statuses;
};

TEST_F(FirmwareUpdateTest, BothVariantsByteForByte) {
    const QByteArray image = pattern(3000);
    const QByteArray sum = u32(byteSum(image));
    const struct {
        bool family;
        QByteArray header;
        QString storedName;
        QList<int> pauses;
        QByteArray closing;
        FirmwareOutcome outcome;
    } cases[] = {
        {true, expectedHeader(0x5F, image, "/sys/mcuimg.bin"), "/sys/mcuimg.bin", {2500, 2000},
         QByteArray::fromHex("5A3577A525") + sum, FirmwareOutcome::Queried},
        {false, expectedHeader(0x5A, image, "mcuimg.bin"), "mcuimg.bin", {1000, 2000},
         QByteArray::fromHex("5A3577A526") + sum, FirmwareOutcome::Activated},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family ? "controller family" : "other models");
        SimulatorThread sim;
        ASSERT_TRUE(sim.start());
        TestProgram& p = t;
        p.target(sim.port());
        p.ctx.session.controllerFamily = c.family;
        p.clock.pauses.clear();
        p.dialogs.boxes.clear();
        QList<qint64> progress;

        const FirmwareOutcome outcome =
            UpdateFirmwareFrom(p.program, imageFile(image), [&](qint64 written, qint64 length) {
                EXPECT_EQ(length, 3000);
                progress.append(written);
            });

        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(framesAt(sim, 2), (QList<QByteArray>{c.header, c.closing}));
        EXPECT_TRUE(storedAs(sim, c.storedName, image));
        EXPECT_EQ(p.clock.pauses, c.pauses);
        EXPECT_EQ(progress, (QList<qint64>{3000})) << "under 16 KiB: one report, at the end";
        EXPECT_EQ(p.screen.setup.gauge.maximum, 3000);
        EXPECT_EQ(p.screen.setup.gauge.position, 3000);
        EXPECT_EQ(p.screen.setup.gauge.bar, colours::kRed);
        EXPECT_TRUE(statuses.contains("MCUImg FileLength => 3000"));
        EXPECT_FALSE(p.ctx.session.exchangeBusy);
        if (c.family) {
            // The module's sum matches: completion box, no icon, and no reboot of our own.
            ASSERT_EQ(p.dialogs.boxes.size(), 1);
            EXPECT_EQ(p.dialogs.boxes[0].text, kMatch);
            EXPECT_EQ(p.dialogs.boxes[0].caption, kMatch);
            EXPECT_EQ(p.dialogs.boxes[0].icon, BoxIcon::None);
            EXPECT_EQ(p.screen.main.statusBar2[0], kMatch);
            EXPECT_EQ(p.ctx.session.pendingCommand, 0);
        } else {
            EXPECT_TRUE(p.dialogs.boxes.isEmpty());
        }
        QThread::msleep(50);
        EXPECT_EQ(sim.receivedFrames().size(), 2) << "nothing follows the closing step";
    }
}

TEST_F(FirmwareUpdateTest, SumTextAndTheImageLimit) {
    const struct {
        const char* name;
        QByteArray image;
        bool sent;
        QString lastStatus;
        int gaugeMaximum;
    } cases[] = {
        {"1024 bytes of 0xFF", QByteArray(1024, '\xFF'), true, "Send MCUImg CheckSum => 0003FC00", 1024},
        {"short image: the bar maximum is its length", pattern(100), true, "", 100},
        {"exactly the limit", pattern(2097152), true, "", 2097152},
        {"one byte over", pattern(2097153), false, "File Lengths > Buffer Size, Abort!", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorThread sim;
        ASSERT_TRUE(sim.start());
        t.target(sim.port());
        t.ctx.session.controllerFamily = true;
        t.screen.setup.gauge = GaugeView{};
        t.screen.setup.gauge.maximum = 0;
        statuses.clear();

        const FirmwareOutcome outcome = UpdateFirmwareFrom(t.program, imageFile(c.image));

        EXPECT_EQ(statuses.value(0), QStringLiteral("MCUImg FileLength => %1").arg(c.image.size()));
        if (!c.lastStatus.isEmpty()) {
            EXPECT_TRUE(statuses.contains(c.lastStatus)) << statuses.join('|').toStdString();
        }
        EXPECT_EQ(t.screen.setup.gauge.maximum, c.gaugeMaximum);
        if (!c.sent) {
            EXPECT_EQ(outcome, FirmwareOutcome::Refused);
            EXPECT_EQ(statuses.size(), 2) << "nothing after the refusal";
            EXPECT_EQ(sim.connectionCount(), 0);
            continue;
        }
        EXPECT_EQ(outcome, FirmwareOutcome::Queried);
        const QList<QByteArray> frames = framesAt(sim, 2);
        ASSERT_EQ(frames.size(), 2);
        EXPECT_EQ(frames[0].mid(5, 8), u32(c.image.size()) + u32(byteSum(c.image)));
        EXPECT_EQ(frames[1], QByteArray::fromHex("5A3577A525") + u32(byteSum(c.image)));
        EXPECT_TRUE(storedAs(sim, "/sys/mcuimg.bin", c.image));
        EXPECT_EQ(t.screen.setup.gauge.position, c.image.size());
        EXPECT_EQ(t.screen.main.statusBar2[0], kMatch);
    }
}

TEST_F(FirmwareUpdateTest, ChecksumReplies) {
    const QByteArray image("abc");  // sum 294 = 0x126
    const struct {
        const char* name;
        QByteArray reply;
        std::optional<QString> box;
        BoxIcon icon;
    } cases[] = {
        {"match", QByteArray::fromHex("5A3577A5250600000126"), kMatch, BoxIcon::None},
        {"one bit off", QByteArray::fromHex("5A3577A5250600000127"), kMismatch, BoxIcon::Error},
        {"status 1", QByteArray::fromHex("5A3577A5250100000126"), std::nullopt, BoxIcon::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer module(PeerMode::Answer, c.reply);
        ASSERT_TRUE(module.start());
        TestProgram p;
        p.clock.onPause = t.clock.onPause;
        p.target(module.port());
        p.ctx.session.controllerFamily = true;

        EXPECT_EQ(UpdateFirmwareFrom(p.program, imageFile(image)), FirmwareOutcome::Queried);

        EXPECT_EQ(p.ctx.session.pendingCommand, 0);
        EXPECT_FALSE(p.ctx.session.retryPending);
        ASSERT_TRUE(module.waitForClosed(3));
        EXPECT_EQ(module.received().value(2), QByteArray::fromHex("5A3577A52500000126"));
        if (!c.box) {
            EXPECT_TRUE(p.dialogs.boxes.isEmpty());
            continue;
        }
        ASSERT_EQ(p.dialogs.boxes.size(), 1);
        EXPECT_EQ(p.dialogs.boxes[0].text, *c.box);
        EXPECT_EQ(p.dialogs.boxes[0].icon, c.icon);
        EXPECT_EQ(p.screen.main.statusBar2[0], *c.box);
        QThread::msleep(50);
        EXPECT_EQ(module.connections(), 3) << "header, image, query: no reboot follows";
    }
}

// A module silent on the query: the re-send every 40 ticks of Timer1. While the supervision
// runs (resetting the count) it is "Retry transfer 1" every time; without it the fourth expiry
// gives up.
TEST_F(FirmwareUpdateTest, UnansweredQueryIsResentThenAbandoned) {
    LoopbackPeer module(PeerMode::Silent);
    ASSERT_TRUE(module.start());
    t.target(module.port());
    t.ctx.session.controllerFamily = true;
    t.ctx.session.deviceIdentified = true;  // the supervision's cycles then only check the link
    t.ctx.session.pollingEnabled = false;   // as while the setup window is open

    EXPECT_EQ(UpdateFirmwareFrom(t.program, imageFile(pattern(2000))), FirmwareOutcome::Queried);
    EXPECT_TRUE(t.screen.main.memo1.contains("Wait RX Timeout!"));
    EXPECT_TRUE(t.ctx.session.retryPending);
    EXPECT_FALSE(t.ctx.session.exchangeBusy);
    const QByteArray query = QByteArray::fromHex("5A3577A525") + u32(byteSum(pattern(2000)));

    const auto expiry = [&](bool supervised) {
        statuses.clear();
        for (int tick = 0; tick < 40; ++tick) {
            t.program.form1.Timer1Timer();
            if (supervised) t.program.form1.Timer3Timer();
        }
        return statuses.join('|');
    };
    EXPECT_EQ(expiry(true), "Retry transfer 1");
    EXPECT_EQ(expiry(true), "Retry transfer 1");
    EXPECT_EQ(expiry(false), "Retry transfer 1");
    EXPECT_EQ(expiry(false), "Retry transfer 2");
    EXPECT_EQ(expiry(false), "Retry transfer 3");
    EXPECT_EQ(expiry(false), "Retry timeout, abort transfer!");
    EXPECT_EQ(expiry(false), "") << "given up";
    EXPECT_EQ(t.ctx.session.pendingCommand, 0);
    ASSERT_TRUE(module.waitForClosed(2 + 1 + 5));
    EXPECT_EQ(module.received().mid(2), QList<QByteArray>(6, query)) << "the query and five re-sends";

    SimulatorThread sim;
    ASSERT_TRUE(sim.start());
    expectPollingBack(sim);
}

// Ticks of Timer1 keep coming while its own re-send waits for the reply; they must not count
// that wait as another expiry ("Retry transfer 2" during a single re-send).
TEST_F(FirmwareUpdateTest, TicksDuringTheResendDoNotResendAgain) {
    LoopbackPeer module(PeerMode::Silent);
    ASSERT_TRUE(module.start());
    t.target(module.port());
    t.ctx.session.controllerFamily = true;
    ASSERT_EQ(UpdateFirmwareFrom(t.program, imageFile(pattern(10))), FirmwareOutcome::Queried);
    ASSERT_TRUE(t.ctx.session.retryPending);

    t.clock.onPump = [&] { t.program.form1.Timer1Timer(); };  // 100 ms ticks during the wait
    statuses.clear();
    for (int tick = 0; tick < 40; ++tick) t.program.form1.Timer1Timer();
    t.clock.onPump = nullptr;

    EXPECT_EQ(statuses, QStringList{"Retry transfer 1"});
    EXPECT_EQ(t.ctx.session.retryCount, 1);
    ASSERT_TRUE(module.waitForClosed(4));
    EXPECT_EQ(module.connections(), 4) << "header, image, query, one re-send";
}

TEST_F(FirmwareUpdateTest, NoConnectionForTheHeaderStreamsNothing) {
    t.target(closedLoopbackPort());
    t.ctx.session.controllerFamily = true;

    EXPECT_EQ(UpdateFirmwareFrom(t.program, imageFile(pattern(3000))), FirmwareOutcome::HeaderFailed);

    EXPECT_TRUE(statuses.contains("Connect Timeout"));
    const QList<ShownBox> errors = boxesWith("Error found!");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].text, "F/W update stopped, header not sent,\n    . Connect Timeout.");
    EXPECT_EQ(errors[0].icon, BoxIcon::Error);
    EXPECT_TRUE(t.clock.pauses.isEmpty()) << "no pause, no stream, no query";
    EXPECT_FALSE(t.ctx.session.retryPending);

    SimulatorThread sim;
    ASSERT_TRUE(sim.start());
    expectPollingBack(sim);
}

TEST_F(FirmwareUpdateTest, UnreadableImageSendsNothing) {
    SimulatorThread sim;
    ASSERT_TRUE(sim.start());
    t.target(sim.port());
    QDir(dir.path()).mkdir("folder.bin");
    const QString cases[] = {dir.filePath("missing.bin"), dir.filePath("folder.bin")};
    for (const QString& path : cases) {
        SCOPED_TRACE(path.toStdString());
        t.dialogs.boxes.clear();
        EXPECT_EQ(UpdateFirmwareFrom(t.program, path), FirmwareOutcome::Refused);
        ASSERT_EQ(t.dialogs.boxes.size(), 1);
        EXPECT_EQ(t.dialogs.boxes[0].caption, "Error found!");
        EXPECT_TRUE(t.dialogs.boxes[0].text.contains(path));
        EXPECT_GT(t.dialogs.boxes[0].text.size(), QStringLiteral("Cannot read F/W image file,\n    . \n    . ").size() + path.size())
            << "with the reason";
    }
    EXPECT_EQ(sim.connectionCount(), 0);
}

TEST_F(FirmwareUpdateTest, ButtonAsksConfirmsAndChecksTheLink) {
    SimulatorThread sim;
    ASSERT_TRUE(sim.start());
    t.target(sim.port());
    const QString path = imageFile(pattern(10));
    t.dialogs.fileToOpen = path;

    t.dialogs.answers = {false};  // No
    t.program.form2.Image1Click();
    bool linked = false;
    t.ctx.linkCheck = [&] { return linked; };
    t.program.form2.Image1Click();  // Yes, but not linked
    EXPECT_TRUE(t.dialogs.fileDialogs.isEmpty());
    EXPECT_EQ(t.dialogs.boxes.size(), 2);
    EXPECT_EQ(t.dialogs.boxes[0].text, "F/W Update, execute?");
    EXPECT_EQ(t.dialogs.boxes[0].caption, "Confirm");

    linked = true;
    t.dialogs.fileToOpen.reset();
    t.program.form2.Image1Click();  // dialog cancelled
    EXPECT_EQ(t.dialogs.fileDialogs, (QList<QPair<QString, QString>>{{"bin|*.bin", "*.bin"}}));
    EXPECT_EQ(sim.connectionCount(), 0);

    t.dialogs.fileToOpen = path;
    t.program.form2.Image1Click();
    EXPECT_EQ(framesAt(sim, 2).size(), 2);
    EXPECT_TRUE(storedAs(sim, "mcuimg.bin", pattern(10)));
}

}  // namespace
}  // namespace rzl::test
