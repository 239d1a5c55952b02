// rzlctl watch through what a module in the field does: it restarts (its port closed for a few
// seconds), it goes away for good, it is not there at all; and the user ends the watch with
// Ctrl+C or a service manager with SIGTERM.

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include "sim/simulator.h"
#include "tests/support/file_frames.h"
#include "tests/support/result_shape.h"
#include "tests/support/rzlctl_run.h"
#include "tests/support/wait.h"

namespace rzl::test {
namespace {

using sim::ModuleState;
using sim::SimOptions;
using sim::SimulatorThread;

// A running watch and the rows it has printed so far.
class Watch : public RunningRzlctl {
public:
    Watch(std::uint16_t port, const QStringList& options)
        : RunningRzlctl(QStringList{"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(port)} + options +
                        QStringList{"watch"}) {}

    using RunningRzlctl::until;
    // Reads until `lines` lines of standard output have come.
    bool until(int lines, int timeoutMs = 20000) {
        return until([&] { return this->lines().size() >= lines; }, timeoutMs);
    }
    QStringList lines() const { return out().split('\n', Qt::SkipEmptyParts); }
    QJsonObject json(int line) const { return QJsonDocument::fromJson(lines().value(line).toUtf8()).object(); }
    QJsonObject details(int line) const { return json(line)["details"].toObject(); }
};

// The module on a port of its own, which can go away and come back on the same port.
struct RestartingModule {
    std::unique_ptr<SimulatorThread> sim = std::make_unique<SimulatorThread>();
    std::uint16_t port = 0;

    bool start() {
        if (!sim->start()) return false;
        port = sim->port();
        return true;
    }
    void stop() { sim->stop(); }
    // Back on the same port, its outputs as `doBits` (a restart sets them anew).
    bool comeBack(std::uint8_t doBits) {
        ModuleState state;
        state.doBits = doBits;
        SimOptions options;
        options.port = port;
        options.initialState = state;
        sim = std::make_unique<SimulatorThread>(options);
        for (int attempt = 0; attempt < 50; ++attempt) {  // the port may linger a moment
            if (sim->start()) return true;
            QThread::msleep(100);
        }
        return false;
    }
};

// A module away for 4 s, longer than five polls with their pauses, is ridden through: the outage
// is one row with its start and end, the state it comes back with another, and the watch goes on.
TEST(RzlctlWatch, ARestartIsOneRowAndTheWatchGoesOn) {
    RestartingModule module;
    ASSERT_TRUE(module.start());
    Watch watch(module.port, {"--json", "--interval-ms", "50"});
    ASSERT_TRUE(watch.until(1)) << watch.err().toStdString();
    EXPECT_EQ(watch.details(0)["event"].toString(), "change");
    module.stop();
    const QDateTime away = QDateTime::currentDateTime();
    QThread::msleep(4000);
    ASSERT_TRUE(module.comeBack(0x05));
    ASSERT_TRUE(watch.until(3)) << watch.err().toStdString();

    const QJsonObject outage = watch.details(1);
    EXPECT_EQ(outage["event"].toString(), "outage") << watch.lines().value(1).toStdString();
    EXPECT_EQ(watch.json(1)["outcome"].toString(), "unreachable");
    EXPECT_TRUE(outage["recovered"].toBool());
    const QDateTime start = QDateTime::fromString(outage["start"].toString(), Qt::ISODateWithMs);
    const QDateTime end = QDateTime::fromString(outage["end"].toString(), Qt::ISODateWithMs);
    EXPECT_LE(qAbs(start.msecsTo(away)), 1000) << outage["start"].toString().toStdString();
    EXPECT_GE(start.msecsTo(end), 3900) << "the outage ends when the module answers again";
    EXPECT_GT(outage["failedPolls"].toInt(), 5);
    EXPECT_EQ(watch.details(2)["event"].toString(), "change");
    EXPECT_EQ(watch.details(2)["do"].toInt(), 0x05);
    for (int line = 0; line < 3; ++line)
        EXPECT_EQ(ShapeProblem(watch.lines()[line], "watch", kAnyExit), QString()) << watch.lines()[line].toStdString();

    watch.signal(SIGINT);
    EXPECT_EQ(watch.finished(), 130);
}

// A restart that changes nothing still has its state written after the outage's row: a script
// tells from it what the module came back with. The outage ends there: the good polls after it
// write nothing, and the next outage counts its failures afresh, in a row.
TEST(RzlctlWatch, AnOutageEndsWhenTheModuleAnswersAndTheSameStateFollowsIt) {
    RestartingModule module;
    ASSERT_TRUE(module.start());
    Watch watch(module.port, {"--json", "--interval-ms", "200", "--max-failures", "4"});
    ASSERT_TRUE(watch.until(1)) << watch.err().toStdString();
    module.stop();
    ASSERT_TRUE(watch.untilError("poll failed")) << watch.err().toStdString();
    ASSERT_TRUE(module.comeBack(0x00));  // as it was before
    ASSERT_TRUE(WaitFor([&] { return module.sim->receivedFrames().size() >= 4; }, 10000)) << "several good polls";
    module.stop();
    EXPECT_EQ(watch.finished(), 2) << watch.err().toStdString();

    QStringList events;
    for (int line = 0; line < watch.lines().size(); ++line) events.append(watch.details(line)["event"].toString());
    EXPECT_EQ(events, (QStringList{"change", "outage", "change", "outage"})) << watch.lines().join('\n').toStdString();
    EXPECT_TRUE(watch.details(1)["recovered"].toBool());
    for (const char* io : {"do", "di"}) EXPECT_EQ(watch.details(2)[io], watch.details(0)[io]) << io;
    EXPECT_FALSE(watch.details(3)["recovered"].toBool());
    EXPECT_EQ(watch.details(3)["failedPolls"].toInt(), 4);
    EXPECT_EQ(watch.err().count("poll failed"), watch.details(1)["failedPolls"].toInt() + 4) << watch.err().toStdString();
}

// The log as CSV: the outage's row holds its start and end as an ISO 8601 interval, and no values.
TEST(RzlctlWatch, InTheCsvAnOutageIsAnIntervalWithoutValues) {
    RestartingModule module;
    ASSERT_TRUE(module.start());
    Watch watch(module.port, {"--csv", "--interval-ms", "50"});
    ASSERT_TRUE(watch.until(2)) << watch.err().toStdString();  // the header and the first state
    module.stop();
    ASSERT_TRUE(watch.untilError("poll failed")) << watch.err().toStdString();
    ASSERT_TRUE(module.comeBack(0x01));
    ASSERT_TRUE(watch.until(4)) << watch.err().toStdString();
    const QStringList row = watch.lines()[2].split(',');
    ASSERT_EQ(row.size(), 3) << watch.lines()[2].toStdString();
    const QStringList interval = row[0].split('/');
    ASSERT_EQ(interval.size(), 2) << row[0].toStdString();
    const QDateTime start = QDateTime::fromString(interval[0], Qt::ISODateWithMs);
    const QDateTime end = QDateTime::fromString(interval[1], Qt::ISODateWithMs);
    EXPECT_TRUE(start.isValid() && end.isValid() && start < end) << row[0].toStdString();
    EXPECT_EQ(row.mid(1), QStringList({"", ""}));
    EXPECT_TRUE(watch.lines()[3].endsWith(",1,0")) << watch.lines()[3].toStdString();
    watch.signal(SIGTERM);
    EXPECT_EQ(watch.finished(), 143);
}

// A module that does not come back ends the watch after --max-failures polls in a row; the
// outage's row is its result.
TEST(RzlctlWatch, AModuleThatStaysAwayEndsItAfterTheFailuresAllowed) {
    RestartingModule module;
    ASSERT_TRUE(module.start());
    Watch watch(module.port, {"--json", "--interval-ms", "20", "--max-failures", "4"});
    ASSERT_TRUE(watch.until(1)) << watch.err().toStdString();
    module.stop();
    EXPECT_EQ(watch.finished(), 2) << watch.err().toStdString();
    ASSERT_EQ(watch.lines().size(), 2) << watch.lines().join('\n').toStdString();
    EXPECT_EQ(ShapeProblem(watch.lines()[1], "watch", 2), QString()) << watch.lines()[1].toStdString();
    EXPECT_EQ(watch.details(1)["failedPolls"].toInt(), 4);
    EXPECT_FALSE(watch.details(1)["recovered"].toBool());
    EXPECT_EQ(watch.err().count("rzlctl: poll failed: Connect Timeout"), 4) << watch.err().toStdString();
    EXPECT_TRUE(watch.err().contains("4 polls in a row failed")) << watch.err().toStdString();

    // Not there at the start: nothing to ride through.
    Watch absent(module.port, {"--json"});
    EXPECT_EQ(absent.finished(), 2);
    ASSERT_EQ(absent.lines().size(), 1);
    EXPECT_EQ(ShapeProblem(absent.lines()[0], "watch", 2), QString()) << absent.lines()[0].toStdString();
}

// Ctrl+C and SIGTERM end the watch with 130 and 143 after its last row: an outage under way is
// written as it stands, then the stop's own result.
TEST(RzlctlWatch, SignalsEndItWithTheirCodesAfterTheLastRow) {
    const struct {
        int signal;
        int exitCode;
        const char* outcome;
        bool duringOutage;
    } rows[] = {
        {SIGINT, 130, "interrupted", false},
        {SIGTERM, 143, "terminated", false},
        {SIGINT, 130, "interrupted", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.outcome + std::string(row.duringOutage ? " during an outage" : ""));
        RestartingModule module;
        ASSERT_TRUE(module.start());
        Watch watch(module.port, {"--json", "--interval-ms", "20"});
        ASSERT_TRUE(watch.until(1)) << watch.err().toStdString();
        if (row.duringOutage) {
            module.stop();
            watch.untilError("poll failed");
        }
        watch.signal(row.signal);
        EXPECT_EQ(watch.finished(), row.exitCode) << watch.err().toStdString();
        const QStringList lines = watch.lines();
        ASSERT_EQ(lines.size(), row.duringOutage ? 3 : 2) << lines.join('\n').toStdString();
        EXPECT_EQ(ShapeProblem(lines.last(), "watch", row.exitCode), QString()) << lines.last().toStdString();
        EXPECT_EQ(watch.json(lines.size() - 1)["outcome"].toString(), row.outcome);
        if (row.duringOutage) {
            EXPECT_EQ(watch.details(1)["event"].toString(), "outage");
            EXPECT_FALSE(watch.details(1)["recovered"].toBool());
        }
    }
}

}  // namespace
}  // namespace rzl::test
