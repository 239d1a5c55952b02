// rzlctl's maintenance commands and firmware update as a user runs them: the real program
// against the simulator on loopback.

#include <QFile>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "sim/simulator.h"
#include "tests/support/loopback_listeners.h"
#include "tests/support/rzlctl_run.h"
#include "tests/support/wait.h"

namespace {

using rzl::sim::FaultMode;
using rzl::sim::SimOptions;
using rzl::sim::SimulatorThread;

using rzl::test::CliRun;
using rzl::test::WaitFor;

QByteArray image(int length, std::uint8_t major, std::uint8_t minor) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<char>((i * 13 + 5) & 0xFF);
    bytes[16] = static_cast<char>(major);
    bytes[17] = static_cast<char>(minor);
    return bytes;
}

class RzlctlMaintenanceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(workDir.isValid()); }

    void startSim(SimOptions options = {}) {
        sim = std::make_unique<SimulatorThread>(options);
        ASSERT_TRUE(sim->start());
    }

    QString imageFile(const QByteArray& bytes, const QString& name = QStringLiteral("mcuimg.bin")) {
        const QString path = workDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // Runs rzlctl against the simulator; `whileRunning` is called every 20 ms until it ends.
    CliRun rzlctl(QStringList args, const std::function<void()>& whileRunning = {}, std::uint16_t port = 0) {
        args.prepend(QStringLiteral("--no-link-check"));
        args.prepend(QStringLiteral("--device=127.0.0.1:%1").arg(port ? port : sim->port()));
        return rzl::test::RunRzlctl(args, workDir.path(), 60000, whileRunning);
    }

    QStringList framesHex() const {
        QStringList frames;
        for (const QByteArray& f : sim->receivedFrames()) frames.append(QString::fromLatin1(f.left(17).toHex().toUpper()));
        return frames;
    }

    bool received(const char* hexPrefix) const {
        for (const QString& f : framesHex())
            if (f.startsWith(QLatin1String(hexPrefix))) return true;
        return false;
    }

    std::unique_ptr<SimulatorThread> sim;
    QTemporaryDir workDir;
};

TEST_F(RzlctlMaintenanceTest, MaintenanceCommandsSendTheirFrame) {
    startSim();
    const struct {
        QStringList args;
        QString frame;
        QString out;
    } cases[] = {
        {{"wifi-mode", "ap"}, "5A3577A53002", "wifi-mode: sent"},
        {{"wifi-mode", "station"}, "5A3577A53000", "wifi-mode: sent"},
        {{"reset-defaults"}, "5A3577A55E01", "reset-defaults: sent"},
        {{"reboot"}, "5A3577A52D", "reboot: sent"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        sim->clearReceived();
        const CliRun run = rzlctl(QStringList{"--yes"} + c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.trimmed(), c.out);
        WaitFor([&] { return !sim->receivedFrames().isEmpty(); }, 2000);
        EXPECT_EQ(framesHex(), QStringList{c.frame});

        // Without --yes and without a terminal nothing is sent.
        sim->clearReceived();
        EXPECT_EQ(rzlctl(c.args).exitCode, 1);
        EXPECT_TRUE(sim->receivedFrames().isEmpty());
    }
    EXPECT_EQ(rzlctl({"wifi-mode", "mesh"}).exitCode, 1);
}

TEST_F(RzlctlMaintenanceTest, UnreachableModuleGetsAnErrorAndNoInformation) {
    startSim();
    const std::uint16_t closed = rzl::test::closedLoopbackPort();
    const CliRun run = rzlctl({"--yes", "reboot"}, {}, closed);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("Error found!: Reboot device fail,\n    . Connect Timeout.")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("Reboot complete."));
}

// The update verified end to end: the module stores the image, answers the checksum from what
// it stored, restarts into the new image and reports the version the image carries.
TEST_F(RzlctlMaintenanceTest, FirmwareWithRebootReportsTheNewVersion) {
    startSim();
    const QByteArray bytes = image(300000, 0x02, 0x1C);
    const CliRun run = rzlctl({"--yes", "firmware", imageFile(bytes), "--reboot", "--reboot-wait", "10"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Firmware:     V02.1C (after the reboot)")) << run.out.toStdString();
    for (int tenth = 0; tenth <= 10; ++tenth)
        EXPECT_TRUE(run.err.contains(QStringLiteral("firmware: %1 %\n").arg(tenth * 10))) << tenth;
    EXPECT_EQ(sim->state().files.value("/sys/mcuimg.bin"), bytes);
    const QStringList frames = framesHex();
    ASSERT_EQ(frames.size(), 5) << frames.join(' ').toStdString();
    EXPECT_EQ(frames[0], "5A3577A5210000");
    EXPECT_TRUE(frames[1].startsWith("5A3577A55F000493E0"));  // 300000 bytes
    EXPECT_TRUE(frames[2].startsWith("5A3577A525"));
    EXPECT_EQ(frames[3], "5A3577A52D");
    EXPECT_EQ(frames[4], "5A3577A5210000");
}

// A module that activates the image may still be writing it: the reboot waits 2 s and an
// answer to identify, and the output says the image was activated before anything else.
TEST_F(RzlctlMaintenanceTest, ActivationIsNotFollowedAtOnceByTheReboot) {
    SimOptions options;
    options.model = 100;    // ends with the activation command
    options.bootMs = 2000;  // and is away for a while after the reboot
    startSim(options);
    QElapsedTimer clock;
    clock.start();
    qint64 activatedAt = -1, rebootedAt = -1;
    const CliRun run = rzlctl({"--yes", "firmware", imageFile(image(5000, 1, 2)), "--reboot", "--reboot-wait", "10"}, [&] {
        if (activatedAt < 0 && received("5A3577A526")) activatedAt = clock.elapsed();
        if (rebootedAt < 0 && received("5A3577A52D")) rebootedAt = clock.elapsed();
    });
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Image sent and activated")) << run.err.toStdString();
    ASSERT_GE(activatedAt, 0);
    ASSERT_GE(rebootedAt, 0);
    EXPECT_GE(rebootedAt - activatedAt, 1900) << "the reboot came with the activation";
    QStringList order;
    for (const QString& f : framesHex()) order.append(f.mid(8, 2));
    EXPECT_EQ(order, (QStringList{"21", "5A", "26", "21", "2D", "21"})) << "an identify answered between them";
}

TEST_F(RzlctlMaintenanceTest, FirmwareJsonAndTheOtherVariant) {
    SimOptions options;
    options.model = 100;  // outside the controller family: header 90, activation 38, no checksum
    startSim(options);
    const CliRun run = rzlctl({"--yes", "--json", "firmware", imageFile(image(5000, 1, 2))});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    // Standard output holds the one result; the progress goes to standard error, a line a tenth.
    const QStringList lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 1) << run.out.toStdString();
    QList<int> progress;
    for (const QString& line : run.err.split('\n').filter(QRegularExpression("^firmware: \\d+ %$")))
        progress.append(line.section(' ', 1, 1).toInt());
    ASSERT_FALSE(progress.isEmpty()) << run.err.toStdString();
    EXPECT_EQ(progress.last(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    const QJsonObject result = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    EXPECT_EQ(result["outcome"].toString(), "done");
    EXPECT_EQ(result["details"].toObject()["verified"].toBool(true), false);
    EXPECT_EQ(result["details"].toObject()["file"].toString(), "mcuimg.bin");
    WaitFor([&] { return sim->receivedFrames().size() >= 3; }, 2000);
    const QStringList frames = framesHex();
    ASSERT_EQ(frames.size(), 3);
    EXPECT_TRUE(frames[1].startsWith("5A3577A55A00001388"));
    EXPECT_TRUE(frames[2].startsWith("5A3577A526"));
}

// What can be checked on this PC is checked before the module is contacted: nothing reaches it,
// and the user reads the file's problem, not a connection's.
TEST_F(RzlctlMaintenanceTest, FirmwareFileProblemsAreFoundBeforeTheModuleIsContacted) {
    startSim();
    const QString unreadable = imageFile(image(100, 1, 1), "unreadable.bin");
    QFile::setPermissions(unreadable, QFileDevice::WriteOwner);
    const bool root = QFileInfo(unreadable).isReadable();  // root reads it all the same
    const struct {
        QString file;
        QString problem;
    } cases[] = {
        {imageFile(QByteArray(2097153, '\1'), "large.bin"), "2097153 bytes, more than the 2097152 the module takes"},
        {imageFile(QByteArray(), "empty.bin"), "the file is empty"},
        {workDir.filePath("none.bin"), "none.bin: no such file"},
        {workDir.path(), "not a file"},
        {unreadable, root ? QString() : QStringLiteral("Permission denied")},
    };
    for (const auto& c : cases) {
        if (c.problem.isEmpty()) continue;
        SCOPED_TRACE(c.problem.toStdString());
        const CliRun run = rzlctl({"--yes", "firmware", c.file});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(c.problem)) << run.err.toStdString();
    }
    EXPECT_TRUE(framesHex().isEmpty()) << "nothing sent: " << framesHex().join(' ').toStdString();

    // Nor does an absent module hide the file's problem behind "Connect Timeout".
    const std::uint16_t closed = rzl::test::closedLoopbackPort();
    const CliRun away = rzlctl({"--yes", "firmware", workDir.filePath("empty.bin")}, {}, closed);
    EXPECT_TRUE(away.err.contains("the file is empty")) << away.err.toStdString();
}

// The module goes silent once the image is stored: the query is sent again three times, then
// given up (rzlctl runs no link supervision that would reset the count).
TEST_F(RzlctlMaintenanceTest, FirmwareSilentChecksumEndsInTheAbort) {
    startSim();
    const CliRun run = rzlctl({"--yes", "firmware", imageFile(image(4000, 1, 1))}, [&] {
        if (received("5A3577A55F")) sim->setFault(FaultMode::Silent);
    });
    EXPECT_EQ(run.exitCode, 3);
    const QStringList retries = run.err.split('\n').filter(QRegularExpression("^Retry "));
    EXPECT_EQ(retries, (QStringList{"Retry transfer 1", "Retry transfer 2", "Retry transfer 3",
                                    "Retry timeout, abort transfer!"}))
        << run.err.toStdString();
    EXPECT_EQ(framesHex().filter(QRegularExpression("^5A3577A525")).size(), 4) << "the query and three re-sends";
}

// A real module is away for seconds after a reboot, refusing connections while it starts; one
// that never comes back still leaves the user knowing the image was verified.
TEST_F(RzlctlMaintenanceTest, RebootWaitsForAModuleAwayForSecondsAndReportsOneThatStaysAway) {
    struct Case {
        const char* what;
        int bootMs;
        int exitCode;
        const char* ending;
    };
    const Case cases[] = {
        {"away 3 s", 3000, 0, "Firmware:     V01.01 (after the reboot)"},
        {"never back", 3600000, 2, "rzlctl: the module did not answer identify within 5 s after the reboot"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimOptions options;
        options.bootMs = c.bootMs;
        startSim(options);
        QElapsedTimer clock;
        qint64 rebootedAt = -1;
        clock.start();
        const CliRun run = rzlctl({"--yes", "firmware", imageFile(image(2000, 1, 1)), "--reboot", "--reboot-wait", "5"}, [&] {
            if (rebootedAt < 0 && received("5A3577A52D")) rebootedAt = clock.elapsed();
        });
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        ASSERT_GE(rebootedAt, 0);
        const QString all = run.err + run.out;
        EXPECT_TRUE(all.contains(c.ending)) << all.toStdString();
        const qsizetype verified = run.err.indexOf("Image sent; the module's checksum matches");
        const qsizetype waiting = run.err.indexOf("Reboot sent; waiting up to 5 s for the module to answer again");
        EXPECT_TRUE(verified >= 0 && verified < waiting) << "the achievement first: " << run.err.toStdString();
        // The reboot is seen by polling the simulator's record, a little after it arrived.
        if (c.exitCode == 0) {
            EXPECT_GE(clock.elapsed() - rebootedAt, c.bootMs - 200) << "answered while it was away";
        }
        sim.reset();
    }
}

}  // namespace
