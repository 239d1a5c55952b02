// Writers in fleet scripts: two programs on this PC writing to one module take turns instead of
// crossing their file transfers (the module has one slot for them), one that waits too long ends
// "busy" with nothing sent, and a signal in the middle of a write stops it at the next step with
// the result saying what the module got: only whole files.

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include "core/module_lock.h"
#include "platform/file_lock.h"
#include "sim/simulator.h"
#include "tests/support/result_shape.h"
#include "tests/support/rzlctl_run.h"

namespace rzl::test {
namespace {

using sim::SimulatorThread;

class RzlctlWriters : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start());
        ASSERT_TRUE(runtime.isValid());
        // The lock files in a folder of this test's own, for the programs and this process alike.
        previousRuntime_ = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", previousRuntime_); }

    std::unique_ptr<RunningRzlctl> start(const QStringList& args, const QByteArray& standardInput = {}) {
        return std::make_unique<RunningRzlctl>(
            QStringList{"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(sim.port()), "--json", "--yes"} +
                args,
            QString(), CliInput{standardInput, {QStringLiteral("XDG_RUNTIME_DIR=") + runtime.path()}});
    }

    // The module's file `name` once it holds `content` (a content stream is stored when it ends),
    // or what it holds after a while.
    QByteArray stored(const QString& name, const QByteArray& content = {}) const {
        const QDeadlineTimer deadline(5000);
        while (sim.state().files.value(name) != content && !deadline.hasExpired()) QThread::msleep(20);
        return sim.state().files.value(name);
    }

    SimulatorThread sim;
    QTemporaryDir runtime;

private:
    QByteArray previousRuntime_;
};

QByteArray Modbus(int port, int timeout) {
    QByteArray bytes(10, '\0');
    bytes[0] = char(port >> 8), bytes[1] = char(port), bytes[2] = char(timeout >> 8), bytes[3] = char(timeout);
    return bytes;
}

// Started together, neither crosses the other's transfer: the module stores both files. Once
// more with the second started while the first is sending, so that it surely waits, and says for
// whom.
TEST_F(RzlctlWriters, TwoWritersStartedTogetherBothLand) {
    {
        auto location = start({"set-location", "North wall"});
        auto modbus = start({"set-modbus", "1502", "30"});
        EXPECT_EQ(location->finished(), 0) << location->err().toStdString();
        EXPECT_EQ(modbus->finished(), 0) << modbus->err().toStdString();
        EXPECT_EQ(stored("/local/locate.cfg", "North wall"), "North wall");
        EXPECT_EQ(stored("/local/mbport.cfg", Modbus(1502, 30)), Modbus(1502, 30));
    }
    auto first = start({"set-location", "South wall"});
    ASSERT_TRUE(first->untilError("Send FileName: /local/locate.cfg")) << first->err().toStdString();
    auto second = start({"set-location", "East wall"});
    const qint64 firstPid = first->pid();
    EXPECT_EQ(first->finished(), 0) << first->err().toStdString();
    EXPECT_EQ(second->finished(), 0) << second->err().toStdString();
    EXPECT_TRUE(second->err().contains(QStringLiteral("Waiting for PID %1 writing to 127.0.0.1").arg(firstPid)))
        << second->err().toStdString();
    EXPECT_EQ(stored("/local/locate.cfg", "East wall"), "East wall") << "the second, after the first";
    // Crossed transfers show as streams of another file's length ("6 bytes instead of 15").
    QList<qint64> lengths;
    for (const sim::Arrival& a : sim.arrivals())
        if (a.kind == sim::Arrival::Content) lengths.append(a.length);
    std::sort(lengths.begin(), lengths.end());
    EXPECT_EQ(lengths, (QList<qint64>{9, 10, 10, 10})) << "East wall, North wall, the Modbus file, South wall";
}

// Another program holds the module: a write waits for it at most --lock-wait, then ends busy
// (exit 7) with nothing sent and the holder named; one that sees it released goes on at once; a
// signal ends the wait.
TEST_F(RzlctlWriters, AWriterThatWaitsTooLongEndsBusyWithNothingSent) {
    QString problem;
    platform::FileLock held(ModuleLockPath(QStringLiteral("127.0.0.1"), sim.port(), &problem).toStdString());
    std::string error;
    ASSERT_EQ(held.tryTake(error), platform::FileLock::Attempt::Taken) << problem.toStdString() << error;
    const QString pid = QString::number(platform::CurrentProcessId());
    const int connections = sim.connectionCount();

    for (const char* wait : {"0", "1"}) {
        SCOPED_TRACE(wait);
        auto busy = start({"--lock-wait", wait, "set-location", "Roof"});
        EXPECT_EQ(busy->finished(), 7) << busy->err().toStdString();
        ASSERT_EQ(busy->lines().size(), 1);
        EXPECT_EQ(ShapeProblem(busy->lines()[0], "set-location", 7), QString()) << busy->lines()[0].toStdString();
        const QJsonObject result = busy->last();
        EXPECT_EQ(result["outcome"].toString(), "busy");
        EXPECT_EQ(result["details"].toObject()["writer"].toInteger(), pid.toLongLong());
        EXPECT_TRUE(result["error"].toString().contains("PID " + pid + " on this PC was writing to 127.0.0.1"))
            << result["error"].toString().toStdString();
        EXPECT_EQ(busy->err().contains("Waiting for PID " + pid + " writing to 127.0.0.1"), QString(wait) != "0")
            << busy->err().toStdString();
    }
    auto interrupted = start({"reboot"});
    ASSERT_TRUE(interrupted->untilError("Waiting for PID " + pid));
    interrupted->signal(SIGINT);
    EXPECT_EQ(interrupted->finished(), 130) << interrupted->err().toStdString();
    EXPECT_EQ(interrupted->last()["outcome"].toString(), "interrupted");
    EXPECT_EQ(sim.connectionCount(), connections) << "nothing reached the module";

    auto patient = start({"set-location", "Roof"});
    ASSERT_TRUE(patient->untilError("Waiting for PID " + pid));
    held.release();
    EXPECT_EQ(patient->finished(), 0) << patient->err().toStdString();
    EXPECT_EQ(stored("/local/locate.cfg", "Roof"), "Roof");
}

// SIGINT or SIGTERM while the first of three files is under way: that file is finished, the
// other two are not sent, and the one result says so with the signal's exit code.
TEST_F(RzlctlWriters, ASignalStopsAWriteAfterTheFileUnderWay) {
    const struct {
        int signal;
        int exitCode;
        const char* outcome;
    } rows[] = {{SIGTERM, 143, "terminated"}, {SIGINT, 130, "interrupted"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.outcome);
        sim.setState(sim::ModuleState{});
        auto write = start({"set-station", "office", "-"}, "station-key1\n");
        ASSERT_TRUE(write->untilError("Send FileName: /local/sta_key.cfg")) << write->err().toStdString();
        write->signal(row.signal);
        EXPECT_EQ(write->finished(), row.exitCode) << write->err().toStdString();
        ASSERT_EQ(write->lines().size(), 1) << write->out().toStdString();
        EXPECT_EQ(ShapeProblem(write->lines()[0], "set-station", row.exitCode), QString()) << write->out().toStdString();
        const QJsonObject details = write->last()["details"].toObject();
        EXPECT_EQ(write->last()["outcome"].toString(), row.outcome);
        EXPECT_EQ(details["changed"].toArray(), QJsonArray{"write /local/sta_key.cfg"});
        EXPECT_EQ(details["notSent"].toArray(), (QJsonArray{"write /local/sta_keyT.cfg", "write /local/sta_ssid.cfg"}));
        EXPECT_EQ(stored("/local/sta_key.cfg", "station-key1"), "station-key1") << "the file under way, whole";
        EXPECT_FALSE(sim.state().files.contains("/local/sta_keyT.cfg"));
        EXPECT_FALSE(sim.state().files.contains("/local/sta_ssid.cfg"));
        EXPECT_FALSE(write->err().contains("station-key1")) << "the key is not shown";
    }
}

// A second signal does not wait for the file under way: rzlctl ends at once, without a result,
// and the module keeps no part of the file.
TEST_F(RzlctlWriters, ASecondSignalEndsItAtOnce) {
    auto write = start({"set-station", "office", "-"}, "station-key1\n");
    ASSERT_TRUE(write->untilError("Send FileName: /local/sta_key.cfg")) << write->err().toStdString();
    write->signal(SIGTERM);
    // Two signals sent at once may reach it as one: the second follows the first's notice.
    ASSERT_TRUE(write->untilError("a second signal ends rzlctl at once")) << write->err().toStdString();
    write->signal(SIGTERM);
    EXPECT_EQ(write->finished(), 143) << write->err().toStdString();
    EXPECT_EQ(write->out(), QString()) << "ended before any result";
    // Whatever the module stores of a program that has ended is all it ever gets of it.
    const QByteArray key = sim.state().files.value("/local/sta_key.cfg");
    EXPECT_TRUE(key.isEmpty() || key == "station-key1") << key.toStdString();
    EXPECT_FALSE(sim.state().files.contains("/local/sta_keyT.cfg"));
}

}  // namespace
}  // namespace rzl::test
