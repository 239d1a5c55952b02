// rzlctl as a user runs it: the real program against the simulator on loopback.

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/version.h"
#include "sim/module_state.h"
#include "sim/simulator.h"
#include "tests/support/rzlctl_run.h"

namespace {

using rzl::sim::FaultMode;
using rzl::sim::SimulatorThread;

using rzl::test::CliRun;
using rzl::test::RunningRzlctl;
using rzl::test::WaitFor;

class RzlctlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start());
        ASSERT_TRUE(workDir.isValid());
    }

    // Runs rzlctl in an empty directory (no marker file) against the simulator.
    CliRun rzlctl(QStringList args, bool withDevice = true) {
        if (withDevice) args.prepend(QStringLiteral("--device=127.0.0.1:%1").arg(sim.port()));
        return rzl::test::RunRzlctl(args, workDir.path());
    }

    QStringList framesHex() const {
        QStringList frames;
        for (const QByteArray& f : sim.receivedFrames()) frames.append(QString::fromLatin1(f.toHex(' ').toUpper()));
        return frames;
    }

    SimulatorThread sim;
    QTemporaryDir workDir;
};

struct CommandCase {
    QStringList args;
    QStringList frames;  // after the signature 5A 35 77 A5
    QString output;      // a line the user sees on standard output
};

TEST_F(RzlctlTest, CommandsSendTheDesktopProgramsFramesAndPrintTheResult) {
    const QString sig = QStringLiteral("5A 35 77 A5 ");
    const QList<CommandCase> cases = {
        {{"identify"}, {"21 00 00"}, "Model:        rZL-K110 Tiny I/O Controller (code 176)"},
        {{"status"}, {"21 00 00", "D8"}, "DO: 00  DI: 00  RSSI: -60 dBm"},
        {{"--yes", "set-do", "2", "on"}, {"21 00 00", "D0 03 01"}, "DO2 On  DO: 04  DI: 00"},
        {{"locate"}, {"1D 00 00"}, "Set Locator done!"},
        {{"counters"}, {"60 00 00"}, "DI7: 0"},
        {{"--yes", "clear-counter", "3"}, {"61 03", "60 00 00"}, "DI3: 0"},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        sim.clearReceived();
        const CliRun run = rzlctl(QStringList{QStringLiteral("--no-link-check")} + c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QStringList expected;
        for (const QString& f : c.frames) expected.append(sig + f);
        EXPECT_EQ(framesHex(), expected);
        EXPECT_TRUE(run.out.split('\n').contains(c.output)) << run.out.toStdString();
    }
}

TEST_F(RzlctlTest, ClearCounterZeroesOnlyThatInput) {
    auto state = sim.state();
    state.counters = {10, 11, 12, 13, 14, 15, 16, 17};
    sim.setState(state);
    const CliRun run = rzlctl({"--no-link-check", "--yes", "clear-counter", "2"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("DI1: 11\nDI2: 0\nDI3: 13")) << run.out.toStdString();
}

TEST_F(RzlctlTest, JsonResultsParseBack) {
    const CliRun run = rzlctl({"--no-link-check", "--json", "identify"});
    ASSERT_EQ(run.exitCode, 0);
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
    const QJsonObject module = json["module"].toObject(), details = json["details"].toObject();
    EXPECT_EQ(module["model"].toString(), "rZL-K110 Tiny I/O Controller");
    EXPECT_EQ(module["modelCode"].toInt(), 176);
    EXPECT_EQ(module["address"].toString(), "127.0.0.1");
    EXPECT_EQ(details["rssi"].toInt(), -60);
    EXPECT_EQ(details["settings"].toObject()["modbus"].toObject()["port"].toInt(), 502);
}

std::string Compact(const QJsonObject& json) { return QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString(); }

// What identify prints in JSON, field by field, as the module's state says it; status prints
// the same module and the I/O part of the details.
QJsonObject ExpectedIdentify(const rzl::sim::ModuleState& m, const QString& model, std::uint16_t port) {
    const auto dotted = [](const std::array<std::uint8_t, 4>& a) {
        return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
    };
    const rzl::sim::IoMasks masks = rzl::sim::MasksForModel(m.model);
    QStringList mac;
    for (std::uint8_t b : m.mac) mac.append(QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper());
    const char* keyTypes[] = {"open", "wep", "wpa"};
    const QJsonObject settings{
        {"ap", QJsonObject{{"ssid", QString::fromLatin1(m.apSsid)}, {"keyType", m.apKeyType != 0 ? "wpa" : "open"}}},
        {"station", QJsonObject{{"ssid", QString::fromLatin1(m.staSsid)}, {"keyType", keyTypes[m.staKeyType]}}},
        {"wifiMode", m.wifiModeAp ? "AP" : "Station"},
        {"location", QString::fromLatin1(m.location)},
        {"modbus", QJsonObject{{"port", m.modbusPort}, {"idleTimeout", m.idleTimeout}}},
        {"staticIp", QJsonObject{{"enabled", m.staticIp},
                                 {"ip", dotted(m.staIp)},
                                 {"mask", dotted(m.staNetmask)},
                                 {"gateway", dotted(m.staGateway)}}},
    };
    const QJsonObject module{
        {"address", dotted(m.address)},
        {"port", port},
        {"model", model},
        {"modelCode", m.model},
        {"mac", mac.join(':')},
        {"firmware", QStringLiteral("%1.%2").arg(m.fwMajor, 2, 16, QLatin1Char('0')).arg(m.fwMinor, 2, 16, QLatin1Char('0')).toUpper()},
    };
    return {{"command", "identify"},
            {"outcome", "done"},
            {"exit", 0},
            {"module", module},
            {"details", QJsonObject{{"settings", settings},
                                    {"rssi", int(m.rssi) - 65536},
                                    {"do", m.doBits & masks.outputs},
                                    {"di", m.diBits & masks.inputs},
                                    {"doMask", masks.outputs},
                                    {"diMask", masks.inputs}}}};
}

TEST_F(RzlctlTest, JsonOfIdentifyAndStatusIsTheModulesState) {
    const struct {
        std::uint8_t model;
        QString name;
    } models[] = {{176, "rZL-K110 Tiny I/O Controller"}, {177, "rZL-K130 Tiny I/O Controller"}};
    for (const auto& m : models) {
        SCOPED_TRACE(int(m.model));
        rzl::sim::ModuleState state;
        state.model = m.model;
        state.mac = {0x02, 0xAB, 0x00, 0x7F, 0x10, 0xC3};
        state.fwMajor = 2;
        state.fwMinor = 0x1B;
        state.location = "Bench 7";
        state.apSsid = "ap-7";
        state.apKeyType = 2;
        state.staSsid = "office-7";
        state.staKeyType = 1;
        state.wifiModeAp = false;
        state.modbusPort = 1502;
        state.idleTimeout = 45;
        state.staticIp = true;
        state.staIp = {10, 1, 2, 3};
        state.staNetmask = {255, 255, 0, 0};
        state.staGateway = {10, 1, 0, 1};
        state.rssi = 0xFFB0;
        state.doBits = 0x05;
        state.diBits = 0xA6;
        sim.setState(state);

        const QJsonObject identify = ExpectedIdentify(state, m.name, sim.port());
        const CliRun id = rzlctl({"--no-link-check", "--json", "identify"});
        ASSERT_EQ(id.exitCode, 0) << id.err.toStdString();
        EXPECT_EQ(Compact(QJsonDocument::fromJson(id.out.toUtf8()).object()), Compact(identify));

        QJsonObject status = identify;
        status["command"] = "status";
        QJsonObject io;
        for (const char* key : {"do", "di", "doMask", "diMask", "rssi"}) io.insert(key, identify["details"][key]);
        status["details"] = io;
        const CliRun st = rzlctl({"--no-link-check", "--json", "status"});
        ASSERT_EQ(st.exitCode, 0) << st.err.toStdString();
        EXPECT_EQ(Compact(QJsonDocument::fromJson(st.out.toUtf8()).object()), Compact(status));
    }
}

TEST_F(RzlctlTest, TraceShowsEveryFrameInHex) {
    const CliRun run = rzlctl({"--no-link-check", "--trace", "locate"});
    EXPECT_TRUE(run.err.contains(">> 5A 35 77 A5 1D 00 00")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("<< 5A 35 77 A5 1D 06")) << run.err.toStdString();
}

TEST_F(RzlctlTest, ExitCodes) {
    EXPECT_EQ(rzlctl({"--no-link-check", "frobnicate"}).exitCode, 1);
    EXPECT_EQ(rzlctl({"--no-link-check", "set-do", "6", "on"}).exitCode, 1);

    // A change without --yes and without a terminal is refused, and nothing is sent.
    sim.clearReceived();
    const CliRun refused = rzlctl({"--no-link-check", "set-do", "0", "on"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_FALSE(framesHex().contains("5A 35 77 A5 D0 01 01"));

    // No Wi-Fi on this machine is connected to 127.0.0.x: the link check fails.
    const CliRun notLinked = rzlctl({"identify"});
    EXPECT_EQ(notLinked.exitCode, 4);
    EXPECT_TRUE(notLinked.err.contains("Device not found!!"));

    // The marker file in the current directory turns the check off, as in the desktop program.
    QFile marker(QDir(workDir.path()).filePath("rzl_dacr.cfg"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    EXPECT_EQ(rzlctl({"identify"}).exitCode, 0);
    marker.remove();

    auto state = sim.state();
    state.address = {127, 0, 0, 2};
    sim.setState(state);
    const CliRun foreign = rzlctl({"--no-link-check", "identify"});
    EXPECT_EQ(foreign.exitCode, 5);
    EXPECT_TRUE(foreign.err.contains("127.0.0.2"));

    // The module accepts the switch but the output stays off: a script must not believe it is on.
    sim.setState(rzl::sim::ModuleState{});
    sim.setFault(FaultMode::Stuck);
    const CliRun stuck = rzlctl({"--no-link-check", "--yes", "set-do", "2", "on"});
    EXPECT_EQ(stuck.exitCode, 3);
    EXPECT_TRUE(stuck.err.contains("the module did not switch DO2")) << stuck.err.toStdString();
    sim.setFault(FaultMode::None);

    const std::uint16_t port = sim.port();
    sim.stop();
    const CliRun unreachable = rzlctl({"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(port), "status"}, false);
    EXPECT_EQ(unreachable.exitCode, 2);
    EXPECT_TRUE(unreachable.err.contains("Connect Timeout"));
}

// A usage error is the problem and a hint on standard error, nothing sent; --help and --version
// answer on standard output and send nothing either.
TEST_F(RzlctlTest, UsageErrorsAreOneLineAndAHint) {
    const struct {
        QStringList args;
        QString problem;
    } cases[] = {
        {{"frobnicate"}, "rzlctl: unknown command: frobnicate"},
        {{}, "rzlctl: no command given"},
        {{"set-do", "6", "on"}, "rzlctl: set-do takes an output number 0-5 and on or off"},
        {{"set-do", "1", "maybe"}, "rzlctl: set-do takes an output number 0-5 and on or off"},
        {{"clear-counter"}, "rzlctl: clear-counter takes an input number 0-7"},
        {{"identify", "now"}, "rzlctl: identify takes no arguments"},
        {{"--count", "x", "watch"}, "rzlctl: --count takes a number"},
        {{"--interval-ms", "-5", "watch"}, "rzlctl: --interval-ms takes a number of milliseconds"},
        {{"reboot", "--reboot"}, "rzlctl: --reboot goes with firmware or restore only"},
        {{"--port=502", "identify"}, "rzlctl: --port goes with scan only"},
        {{"--type", "wep", "set-ap", "x"}, "rzlctl: --type goes with set-station only"},
        {{"--bogus", "identify"}, "rzlctl: Unknown option 'bogus'."},
        {{"--demo", "identify"}, "rzlctl: --demo runs its own module; it cannot be combined with --device"},
    };
    sim.clearReceived();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun run = rzlctl(QStringList{QStringLiteral("--no-link-check")} + c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, c.problem + "\nTry 'rzlctl --help' for more information.\n");
        EXPECT_TRUE(run.out.isEmpty());
    }
    const CliRun version = rzlctl({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("rzlctl " RZL_VERSION "\n"));
    const CliRun help = rzlctl({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("clear-counter N")) << help.out.toStdString();
    EXPECT_TRUE(framesHex().isEmpty());
}

TEST_F(RzlctlTest, FaultModesThroughStatus) {
    // A split reply is whole once its pieces are joined; a slow one misses the reply window.
    const struct {
        FaultMode mode;
        int exitCode;
    } cases[] = {
        {FaultMode::None, 0},    {FaultMode::Silent, 3}, {FaultMode::Garbage, 3}, {FaultMode::Reject, 3},
        {FaultMode::Split, 0},   {FaultMode::Close, 3},  {FaultMode::Slow, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        sim.setFault(c.mode);
        EXPECT_EQ(rzlctl({"--no-link-check", "status"}).exitCode, c.exitCode);
    }
}

TEST_F(RzlctlTest, WatchPrintsEachChangeOfTheInputs) {
    rzl::sim::SimOptions options;
    options.inputsPattern = QStringLiteral("DI1:150");
    SimulatorThread pulsing(options);
    ASSERT_TRUE(pulsing.start());
    const CliRun run = rzlctl({"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(pulsing.port()), "--json",
                            "--interval-ms", "40", "--count", "3", "watch"},
                           false);
    EXPECT_EQ(run.exitCode, 0);
    const QStringList lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << run.out.toStdString();
    QList<int> inputs;
    for (const QString& line : lines)
        inputs.append(QJsonDocument::fromJson(line.toUtf8()).object()["details"].toObject()["di"].toInt());
    EXPECT_NE(inputs[0], inputs[1]);
    EXPECT_NE(inputs[1], inputs[2]);
}

// A module that stops answering polls ends the watch after --max-failures failed polls in a row,
// with a line per failed poll and the exit code of the last failure.
TEST_F(RzlctlTest, WatchEndsWhenPollsKeepFailing) {
    const struct {
        FaultMode mode;
        QStringList options;
        int failedPolls;
        QString reason;
    } cases[] = {
        {FaultMode::Reject, {"--max-failures", "5"}, 5, "reply not accepted (status 21)"},
        {FaultMode::Garbage, {"--max-failures", "5"}, 5, "the module's reply was not valid (another signature)"},
        {FaultMode::Reject, {"--max-failures", "2", "--count", "9"}, 2, "reply not accepted (status 21)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason.toStdString() + " " + c.options.join(' ').toStdString());
        sim.setFault(FaultMode::None);
        QProcess process;
        process.setWorkingDirectory(workDir.path());
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral(RZL_BINARY_DIR "/rzlctl"),
                      QStringList{"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(sim.port()),
                                  "--interval-ms", "20"} + c.options + QStringList{"watch"});
        ASSERT_TRUE(process.waitForReadyRead(10000));  // the first state: polls work
        sim.setFault(c.mode);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 3);
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        EXPECT_EQ(err.count(QStringLiteral("rzlctl: poll failed: ") + c.reason), c.failedPolls) << err.toStdString();
    }
}

// Only failures in a row end the watch: a flaky link that answers between its failures keeps it
// running (4 failed polls, a good one, 4 failed again).
TEST_F(RzlctlTest, WatchRidesThroughFailuresBetweenGoodPolls) {
    RunningRzlctl watch({"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(sim.port()), "--interval-ms",
                         "300", "watch"},
                        workDir.path());
    ASSERT_TRUE(watch.until([&] { return !watch.out().isEmpty(); }, 10000));  // the first state: polls work
    const auto failuresReach = [&](int count) {
        watch.untilError(QStringLiteral("poll failed"), count, 15000);
        return watch.err().count(QStringLiteral("poll failed")) == count;
    };
    const auto aGoodPoll = [&] {
        const qsizetype before = sim.receivedFrames().size();
        WaitFor([&] { return sim.receivedFrames().size() >= before + 2; });
    };
    sim.setFault(FaultMode::Reject);
    ASSERT_TRUE(failuresReach(4)) << watch.err().toStdString();
    sim.setFault(FaultMode::None);
    aGoodPoll();
    sim.setFault(FaultMode::Reject);
    ASSERT_TRUE(failuresReach(8)) << watch.err().toStdString();
    sim.setFault(FaultMode::None);
    aGoodPoll();
    EXPECT_TRUE(watch.running()) << watch.err().toStdString();
}

// The counter log: a header, then a line per change with its ISO 8601 time; with --counters the
// counters are read on every poll and belong to the change.
TEST_F(RzlctlTest, WatchCsvIsAHeaderAndALinePerChange) {
    rzl::sim::SimOptions options;
    options.inputsPattern = QStringLiteral("DI1:150");
    SimulatorThread pulsing(options);
    ASSERT_TRUE(pulsing.start());
    const struct {
        QStringList options;
        QString header;
    } cases[] = {
        {{"--csv"}, "time,do,di"},
        {{"--csv", "--counters"},
         "time,do,di,counter0,counter1,counter2,counter3,counter4,counter5,counter6,counter7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        pulsing.clearReceived();
        const CliRun run = rzlctl(QStringList{"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(pulsing.port()),
                                              "--interval-ms", "40", "--count", "3"} + c.options + QStringList{"watch"},
                                  false);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QStringList lines = run.out.trimmed().split('\n');
        ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
        EXPECT_EQ(lines[0], c.header);
        const int columns = static_cast<int>(c.header.count(u',')) + 1;
        QStringList previous;
        for (const QString& line : lines.mid(1)) {
            const QStringList fields = line.split(u',');
            ASSERT_EQ(fields.size(), columns) << line.toStdString();
            // The time carries its offset from UTC.
            const QDateTime time = QDateTime::fromString(fields[0], Qt::ISODateWithMs);
            EXPECT_TRUE(time.isValid() && time.timeSpec() != Qt::LocalTime) << line.toStdString();
            EXPECT_EQ(fields[1], QStringLiteral("0"));
            EXPECT_NE(fields.mid(1), previous.mid(1)) << "a line without a change";
            if (columns > 3 && !previous.isEmpty()) {
                EXPECT_GE(fields[4].toUInt(), previous[4].toUInt()) << "DI1's count";
            }
            previous = fields;
        }
        QStringList frames;
        for (const QByteArray& f : pulsing.receivedFrames()) frames.append(QString::fromLatin1(f.mid(4, 1).toHex().toUpper()));
        const qsizetype polls = frames.count(QStringLiteral("D8")), counterReads = frames.count(QStringLiteral("60"));
        EXPECT_GE(polls, 3);
        EXPECT_EQ(counterReads, columns > 3 ? polls : 0);
    }
    // Pulses on DI1 count up between the lines.
    EXPECT_GT(pulsing.state().counters[1], 0u);

    // A count that changes while the inputs stay as they were is a change of its own.
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(RZL_BINARY_DIR "/rzlctl"),
                  {"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(sim.port()), "--interval-ms", "20",
                   "--count", "2", "--csv", "--counters", "watch"});
    QByteArray out;
    while (out.count('\n') < 2 && process.waitForReadyRead(10000)) out += process.readAllStandardOutput();
    ASSERT_EQ(out.count('\n'), 2) << out.constData();  // the header and the first state
    auto state = sim.state();
    state.counters[5] = 7;
    sim.setState(state);
    ASSERT_TRUE(process.waitForFinished(10000));
    out += process.readAllStandardOutput();
    const QStringList lines = QString::fromLatin1(out).trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 3) << out.constData();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(",0,0,0,0,0,0,0,7,0,0"))) << lines[2].toStdString();
}

}  // namespace

// A script reads rzlctl's results from standard output: when they cannot be written there, the
// exit code says so, however well the exchange with the module went.
TEST_F(RzlctlTest, ResultsThatCannotBeWrittenAreAnError) {
    const QString device = QStringLiteral("--device=127.0.0.1:%1").arg(sim.port());
    const QString range = QStringLiteral("--port=%1").arg(sim.port());
    const struct {
        QStringList args;
        QString redirect;  // applied by the shell to rzlctl's standard output
        bool sends;        // a closed standard output is found before anything is sent
    } cases[] = {
        {{device, "--no-link-check", "identify"}, ">/dev/full", true},
        {{"--json", range, "--timeout-ms", "2000", "scan", "127.0.0.1/32"}, ">/dev/full", true},
        {{"--help"}, ">/dev/full", false},
        {{device, "--no-link-check", "identify"}, ">&-", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.args.join(' ') + ' ' + c.redirect).toStdString());
        sim.clearReceived();
        QProcess process;
        process.setWorkingDirectory(workDir.path());
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral("/bin/sh"), QStringList{"-c", "exec \"$0\" \"$@\" " + c.redirect,
                                                             QStringLiteral(RZL_BINARY_DIR "/rzlctl")} + c.args);
        ASSERT_TRUE(process.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), 6) << err.toStdString();
        EXPECT_TRUE(err.contains("standard output")) << err.toStdString();
        EXPECT_EQ(!framesHex().isEmpty(), c.sends);
    }
}

// Every time rzlctl prints says its offset from UTC, in the JSON as in the CSV and the trace.
TEST_F(RzlctlTest, PrintedTimesCarryTheirOffset) {
    QProcess process;
    process.setWorkingDirectory(workDir.path());
    process.setStandardInputFile(QProcess::nullDevice());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("Asia/Kolkata"));  // +05:30 all year
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(RZL_BINARY_DIR "/rzlctl"),
                  {QStringLiteral("--device=127.0.0.1:%1").arg(sim.port()), "--no-link-check", "--json", "--trace",
                   "--count", "1", "watch"});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QJsonObject json = QJsonDocument::fromJson(process.readAllStandardOutput()).object()["details"].toObject();
    EXPECT_TRUE(json["time"].toString().endsWith("+05:30")) << json["time"].toString().toStdString();
    const QString trace = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(trace.section('\n', 0, 0).section(' ', 0, 0).endsWith("+05:30")) << trace.toStdString();
}
