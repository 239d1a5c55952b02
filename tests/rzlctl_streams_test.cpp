// Settings files as users name them: "-" for standard output and input, /dev/stdout, and a
// FIFO given to restore by mistake, which must not leave rzlctl waiting for a writer.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "sim/simulator.h"
#include "tests/support/rzlctl_run.h"
#include "tests/support/wait.h"
#include "ui/setup/settings_backup.h"

namespace rzl::test {
namespace {

using sim::ModuleState;
using sim::SimulatorThread;

class RzlctlStreams : public ::testing::Test {
protected:
    void SetUp() override {
        ModuleState state;
        state.location = "Pump house";
        ASSERT_TRUE(sim.start());
        sim.setState(state);
        ASSERT_TRUE(dir.isValid());
    }
    QStringList device() const {
        return {"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(sim.port())};
    }
    CliRun rzlctl(const QStringList& args, const CliInput& input = {}) {
        return RunRzlctl(device() + args, dir.path(), 30000, {}, input);
    }
    // rzlctl with its standard output redirected by the shell (`redirect`, such as ">file").
    int rzlctlInShell(const QStringList& args, const QString& redirect) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral("/bin/sh"),
                      QStringList{"-c", "exec \"$0\" \"$@\" " + redirect, QStringLiteral(RZL_BINARY_DIR "/rzlctl")} +
                          device() + args);
        EXPECT_TRUE(process.waitForFinished(30000));
        return process.exitCode();
    }

    SimulatorThread sim;
    QTemporaryDir dir;
};

std::optional<SavedSettings> Settings(const QByteArray& text) {
    QString why;
    std::optional<SavedSettings> settings = ReadSettingsFile(text, &why);
    EXPECT_TRUE(settings) << why.toStdString() << ": " << text.constData();
    return settings;
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

TEST_F(RzlctlStreams, BackupToStandardOutputHoldsTheFileAlone) {
    for (const QString& name : {QStringLiteral("-"), QStringLiteral("/dev/stdout")}) {
        SCOPED_TRACE(name.toStdString());
        const CliRun run = rzlctl({"backup", name});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        const auto settings = Settings(run.out.toUtf8());
        EXPECT_EQ(settings.value_or(SavedSettings{}).location, "Pump house");
        EXPECT_TRUE(run.err.contains("to standard output")) << run.err.toStdString();
    }
    // Standard output redirected to a file: /dev/stdout is that file, written where it stands.
    ASSERT_EQ(rzlctlInShell({"backup", "/dev/stdout"}, ">out.json"), 0);
    EXPECT_EQ(Settings(Contents(dir.filePath("out.json"))).value_or(SavedSettings{}).location, "Pump house");

    // With --json there would be two things on standard output: refused before anything is sent.
    const int connections = sim.connectionCount();
    const CliRun json = rzlctl({"--json", "backup", "-"});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8()).object()["outcome"].toString(), "invalid") << json.out.toStdString();
    EXPECT_EQ(sim.connectionCount(), connections);
}

TEST_F(RzlctlStreams, RestoreReadsTheFileFromStandardInput) {
    const CliRun backup = rzlctl({"backup", "-"});
    ASSERT_EQ(backup.exitCode, 0);
    sim.setState(ModuleState{});  // "Lab bench"
    const CliRun restore = rzlctl({"--yes", "restore", "-"}, {backup.out.toUtf8(), {}});
    EXPECT_EQ(restore.exitCode, 0) << restore.err.toStdString();
    EXPECT_TRUE(restore.out.contains("Restore standard input onto the module")) << restore.out.toStdString();
    WaitFor([&] { return sim.state().files.value("/local/locate.cfg") == "Pump house"; });
    EXPECT_EQ(sim.state().files.value("/local/locate.cfg"), "Pump house");
}

// A FIFO nobody writes to, a directory, a device: refused at once, nothing sent.
TEST_F(RzlctlStreams, RestoreRefusesWhatIsNotARegularFileWithoutWaiting) {
    const QString fifo = dir.filePath("settings.fifo");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const int connections = sim.connectionCount();
    for (const QString& path : {fifo, dir.path(), QStringLiteral("/dev/null")}) {
        SCOPED_TRACE(path.toStdString());
        const CliRun run = RunRzlctl(device() + QStringList{"--yes", "restore", path}, dir.path(), 10000);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("not a regular file")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("nothing was sent")) << run.err.toStdString();
    }
    EXPECT_EQ(sim.connectionCount(), connections);
}

}  // namespace
}  // namespace rzl::test
