// Every rzlctl command against a simulated module in each fault mode, and what a script reads of
// it: the outcome, the exit code and the message. One table, a row per command, a column per
// fault mode. The rules the cells follow:
//   - a reply refusing the request (status 21 here) is "refused", exit 3, never done;
//   - a reply that is not valid (another signature, command or length) is "no-reply", exit 3,
//     with "the module's reply was not valid";
//   - silence, or a close without a reply, where a reply only confirms a step: the Wi-Fi mode
//     and the reset are done (the module restarts); every other step is done with
//     "confirmed": false and a warning "sent; the module did not confirm ..." naming the step;
//     where a reply carries what was asked for (identify, status, counters, a switched output)
//     it is "no-reply";
//   - send-only steps (content streams, reboot, the firmware header and activation) are done
//     once the module's TCP stack has acknowledged every byte.
// A module that resets each connection right after its stack acknowledged the bytes may or may
// not have a file's content: those cells allow both.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "sim/simulator.h"

namespace rzl::test {
namespace {

using sim::FaultMode;
using sim::SimulatorThread;

const FaultMode kModes[] = {FaultMode::None,  FaultMode::Silent, FaultMode::Garbage, FaultMode::Reject,
                            FaultMode::Close, FaultMode::Split,  FaultMode::Slow,    FaultMode::Stuck};

const char* ModeName(FaultMode mode) {
    switch (mode) {
    case FaultMode::None: return "normal";
    case FaultMode::Silent: return "silent";
    case FaultMode::Garbage: return "garbage";
    case FaultMode::Reject: return "reject";
    case FaultMode::Close: return "close";
    case FaultMode::Split: return "split";
    case FaultMode::Slow: return "slow";
    case FaultMode::Stuck: return "stuck";
    default: return "other";
    }
}

// A cell: done; done? (done, unconfirmed, with the warning); done~ (done, unconfirmed, no
// warning needed); refused; garbled; no-reply; mismatch; not-sent. "a|b": either.
struct Row {
    QStringList args;          // after --json (and --device, --no-link-check unless scan)
    const char* cells[8];      // in the order of kModes
    QStringList environment = {};
};

// @image and @restore stand for files the test makes; @port for the module's port.
const Row kRows[] = {
    {{"identify"}, {"done", "no-reply", "garbled", "refused", "no-reply", "done", "no-reply", "done"}},
    {{"status"}, {"done", "no-reply", "garbled", "refused", "no-reply", "done", "no-reply", "done"}},
    {{"--yes", "set-do", "2", "on"}, {"done", "no-reply", "garbled", "refused", "no-reply", "done", "no-reply", "mismatch"}},
    {{"locate"}, {"done", "done?", "garbled", "refused", "done?", "done", "done?", "done"}},
    {{"counters"}, {"done", "no-reply", "garbled", "refused", "no-reply", "done", "no-reply", "done"}},
    {{"--yes", "clear-counter", "3"}, {"done", "no-reply", "garbled", "refused", "no-reply", "done", "no-reply", "done"}},
    {{"--interval-ms", "200", "--count", "1", "--max-failures", "1", "watch"},
     {"done", "no-reply", "garbled", "refused", "no-reply", "done", "no-reply", "done"}},
    // A sweep says "no-reply" when no module answered, whatever the hosts did instead.
    {{"scan", "127.0.0.1/32", "--port=@port"},
     {"done", "no-reply", "no-reply", "no-reply", "no-reply", "done", "no-reply", "done"}},
    {{"--yes", "set-ap", "my-ap"}, {"done", "done?", "garbled", "refused", "done?|not-sent", "done", "done?", "done"}},
    {{"--yes", "set-station", "office", "--type", "open"},
     {"done", "done?", "garbled", "refused", "done?|not-sent", "done", "done?", "done"}},
    {{"--yes", "set-static-ip", "10.0.0.5", "255.255.255.0", "10.0.0.1"},
     {"done", "done?", "garbled", "refused", "done?|not-sent", "done", "done?", "done"}},
    // A refused delete goes on: a module without the file says no as well.
    {{"--yes", "clear-static-ip"}, {"done", "done?", "garbled", "done", "done?", "done", "done?", "done"}},
    {{"--yes", "set-web-key"}, {"done", "done?", "garbled", "refused", "done?", "done", "done?", "done"}, {"RZL_WEB_KEY=abc"}},
    {{"--yes", "set-location", "Roof"}, {"done", "done?", "garbled", "refused", "done?|not-sent", "done", "done?", "done"}},
    {{"--yes", "set-modbus", "1502", "30"},
     {"done", "done?", "garbled", "refused", "done?|not-sent", "done", "done?", "done"}},
    {{"--yes", "wifi-mode", "station"}, {"done", "done~", "garbled", "refused", "done~", "done", "done~", "done"}},
    {{"--yes", "reset-defaults"}, {"done", "done~", "garbled", "refused", "done~", "done", "done~", "done"}},
    {{"--yes", "reboot"}, {"done", "done", "done", "done", "done|not-sent", "done", "done", "done"}},
    {{"--yes", "firmware", "@image"}, {"done", "no-reply", "garbled", "refused", "no-reply", "done", "no-reply", "done"}},
    {{"backup", "@backup"}, {"done", "no-reply", "garbled", "refused", "no-reply", "done", "no-reply", "done"}},
    {{"--yes", "restore", "@restore"}, {"done", "no-reply", "garbled", "refused", "no-reply", "done", "no-reply", "done"}},
};

struct CommandRun {
    int exitCode = -1;
    QJsonObject result;  // the last line of standard output
    QString out, err;
};

// Why `run` does not fit `cell`; empty when it does.
QString Mismatch(const QString& cell, const CommandRun& run) {
    const QJsonObject details = run.result["details"].toObject();
    const QString outcome = run.result["outcome"].toString();
    const QString error = run.result["error"].toString();
    const auto expect = [&](bool ok, const QString& what) { return ok ? QString() : what; };
    if (cell.startsWith(QLatin1String("done"))) {
        if (run.exitCode != 0 || outcome != QLatin1String("done")) return QStringLiteral("not done");
        const bool unconfirmed = details.contains("confirmed") && !details["confirmed"].toBool();
        const bool warned = run.err.contains("sent; the module did not confirm") &&
                            QJsonDocument(details["warnings"].toArray()).toJson().contains("sent; the module did not confirm");
        if (cell == QLatin1String("done")) return expect(!unconfirmed && !warned, QStringLiteral("not confirmed"));
        if (cell == QLatin1String("done?")) return expect(unconfirmed && warned, QStringLiteral("no confirmed: false and warning"));
        return expect(unconfirmed, QStringLiteral("no confirmed: false"));
    }
    if (cell == QLatin1String("refused"))
        return expect(run.exitCode == 3 && outcome == cell && error.contains("status 21"), QStringLiteral("not refused"));
    if (cell == QLatin1String("garbled"))
        return expect(run.exitCode == 3 && outcome == QLatin1String("no-reply") &&
                          error.contains("the module's reply was not valid"),
                      QStringLiteral("not a reply that is not valid"));
    if (cell == QLatin1String("no-reply"))
        return expect(run.exitCode == 3 && outcome == cell && !error.contains("not valid"), QStringLiteral("not no-reply"));
    if (cell == QLatin1String("mismatch")) return expect(run.exitCode == 3 && outcome == cell, QStringLiteral("not mismatch"));
    if (cell == QLatin1String("not-sent")) return expect(run.exitCode == 2 && outcome == cell, QStringLiteral("not not-sent"));
    return QStringLiteral("unknown cell");
}

class RzlctlCommandFaults : public ::testing::TestWithParam<FaultMode> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile image(dir.filePath("image.bin"));
        ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        image.write(QByteArray(4096, '\x5A'));
        // A settings file that differs from the simulator's in its location.
        SimulatorThread healthy;
        ASSERT_TRUE(healthy.start());
        CommandRun backup = start(QStringList{"backup", dir.filePath("restore.json")}, healthy.port(), {});
        ASSERT_TRUE(finish(backup));
        ASSERT_EQ(backup.exitCode, 0) << backup.err.toStdString();
        QFile file(dir.filePath("restore.json"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QJsonObject settings = QJsonDocument::fromJson(file.readAll()).object();
        settings["location"] = "Elsewhere";
        file.resize(0);
        file.write(QJsonDocument(settings).toJson());
    }

    CommandRun start(QStringList args, std::uint16_t port, const QStringList& environment) {
        for (QString& arg : args) {
            arg.replace("@port", QString::number(port));
            if (arg == QLatin1String("@image")) arg = dir.filePath("image.bin");
            if (arg == QLatin1String("@restore")) arg = dir.filePath("restore.json");
            if (arg == QLatin1String("@backup")) arg = dir.filePath(QStringLiteral("backup%1.json").arg(port));
        }
        QStringList full{"--json"};
        if (!args.contains("scan")) full << "--no-link-check" << QStringLiteral("--device=127.0.0.1:%1").arg(port);
        auto process = std::make_unique<QProcess>();
        process->setWorkingDirectory(dir.path());
        process->setStandardInputFile(QProcess::nullDevice());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* key : {"RZL_AP_KEY", "RZL_STATION_KEY", "RZL_WEB_KEY"}) env.remove(QString::fromLatin1(key));
        for (const QString& variable : environment) env.insert(variable.section('=', 0, 0), variable.section('=', 1));
        process->setProcessEnvironment(env);
        process->start(QStringLiteral(RZL_BINARY_DIR "/rzlctl"), full + args);
        processes.push_back(std::move(process));
        CommandRun run;
        run.exitCode = static_cast<int>(processes.size()) - 1;  // the process's index until it ends
        return run;
    }

    bool finish(CommandRun& run) {
        QProcess& process = *processes[static_cast<std::size_t>(run.exitCode)];
        if (!process.waitForFinished(60000)) return false;
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        if (!lines.isEmpty()) run.result = QJsonDocument::fromJson(lines.last().toUtf8()).object();
        return true;
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_P(RzlctlCommandFaults, EachCommandTellsWhatTheModuleDid) {
    const FaultMode mode = GetParam();
    const int column = static_cast<int>(std::find(std::begin(kModes), std::end(kModes), mode) - std::begin(kModes));
    // Every command against a module of its own, all at once.
    std::vector<std::unique_ptr<SimulatorThread>> modules;
    std::vector<CommandRun> runs;
    for (const Row& row : kRows) {
        sim::SimOptions options;
        options.fault = mode;
        modules.push_back(std::make_unique<SimulatorThread>(options));
        ASSERT_TRUE(modules.back()->start());
        runs.push_back(start(row.args, modules.back()->port(), row.environment));
    }
    int failing = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Row& row = kRows[i];
        SCOPED_TRACE(row.args.join(' ').toStdString() + " (" + ModeName(mode) + ")");
        ASSERT_TRUE(finish(runs[i]));
        const QStringList cells = QString::fromLatin1(row.cells[column]).split('|');
        QStringList why;
        for (const QString& cell : cells) why.append(Mismatch(cell, runs[i]));
        const bool fits = why.contains(QString());
        failing += fits ? 0 : 1;
        EXPECT_TRUE(fits) << "expected " << row.cells[column] << ": " << why.join("; ").toStdString() << "\nexit "
                          << runs[i].exitCode << "\n"
                          << runs[i].out.toStdString() << runs[i].err.toStdString();
    }
    std::printf("%s: %d of %zu rows do not fit\n", ModeName(mode), failing, runs.size());
}

INSTANTIATE_TEST_SUITE_P(Modes, RzlctlCommandFaults, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<FaultMode>& info) { return std::string(ModeName(info.param)); });

}  // namespace
}  // namespace rzl::test
