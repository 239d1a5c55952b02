// Keys off the command line: every key rzlctl takes also comes from standard input, a file or
// the environment, or is asked for without echo on a terminal; it reaches the module as given
// and is printed only with --verbose. No key in these tests is ever a process argument.

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sim/simulator.h"
#include "tests/support/rzlctl_run.h"
#include "tests/support/wait.h"

namespace rzl::test {
namespace {

using sim::ModuleState;
using sim::SimulatorThread;

const QString kKeyFile = QStringLiteral("@keyfile");  // in the arguments: the row's key file

class RzlctlKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start());
        ASSERT_TRUE(dir.isValid());
    }

    QString write(const QString& name, const QByteArray& bytes) const {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    CliRun rzlctl(QStringList args, const CliInput& input = {}) {
        for (QString& arg : args)
            if (arg == kKeyFile) arg = dir.filePath("key.txt");
        return RunRzlctl(QStringList{"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(sim.port())} + args,
                         dir.path(), 30000, {}, input);
    }

    // A backup of a module whose access point and station are secured, for the restores.
    QString securedBackup() {
        ModuleState state;
        state.apKeyType = 2;
        state.staKeyType = 1;
        state.staSsid = "plant";
        sim.setState(state);
        const QString path = dir.filePath("secured.json");
        EXPECT_EQ(rzlctl({"backup", path}).exitCode, 0);
        sim.setState(ModuleState{});
        return path;
    }

    // Everything stored in the module's files (a key file's content is the key) and its web key.
    QByteArray stored(const char* file) const {
        return file ? sim.state().files.value(QString::fromLatin1(file)) : sim.state().webKey;
    }

    SimulatorThread sim;
    QTemporaryDir dir;
};

TEST_F(RzlctlKeys, EachKeyComesFromStandardInputAFileOrTheEnvironment) {
    const QString backup = securedBackup();
    struct Row {
        QStringList args;
        CliInput input;
        QByteArray key;  // in the key file, when the row uses it
        const char* file;  // where the module keeps the key; null: the web key
        QByteArray expected;
    };
    const Row rows[] = {
        {{"set-ap", "my-ap", "-"}, {"stdin-ap1\n", {}}, {}, "/local/ap_key.cfg", "stdin-ap1"},
        {{"set-ap", "my-ap", "--key-file", kKeyFile}, {}, "file-ap02\r\n", "/local/ap_key.cfg", "file-ap02"},
        {{"set-ap", "my-ap"}, {{}, {"RZL_AP_KEY=envir-ap3"}}, {}, "/local/ap_key.cfg", "envir-ap3"},
        {{"set-station", "office", "-"}, {"stdin-st1\n", {}}, {}, "/local/sta_key.cfg", "stdin-st1"},
        {{"set-station", "office", "--type", "wep", "--key-file", kKeyFile}, {}, "file-st02\nsecond line",
         "/local/sta_key.cfg", "file-st02"},
        {{"set-station", "office"}, {{}, {"RZL_STATION_KEY=envir-st3"}}, {}, "/local/sta_key.cfg", "envir-st3"},
        {{"set-web-key", "-"}, {"wk1\n", {}}, {}, nullptr, "wk1"},
        {{"set-web-key", "--key-file", kKeyFile}, {}, "wk2", nullptr, "wk2"},
        {{"set-web-key"}, {{}, {"RZL_WEB_KEY=wk3"}}, {}, nullptr, "wk3"},
        {{"restore", backup, "--ap-key", "-", "--station-key-file", kKeyFile}, {"restore-ap\n", {}}, "restore-st",
         "/local/ap_key.cfg", "restore-ap"},
        {{"restore", backup, "--ap-key-file", kKeyFile}, {{}, {"RZL_STATION_KEY=restore-st2"}}, "restore-ap2",
         "/local/sta_key.cfg", "restore-st2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        sim.setState(ModuleState{});
        write("key.txt", row.key);
        const CliRun run = rzlctl(QStringList{"--yes"} + row.args, row.input);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        // A file's content is complete only once the module has it all.
        WaitFor([&] { return stored(row.file) == row.expected; });
        EXPECT_EQ(stored(row.file), row.expected);
        // Printed nowhere: the module's log line and the confirmation show it only with --verbose.
        EXPECT_FALSE(run.err.contains(QString::fromLatin1(row.expected)) || run.out.contains(QString::fromLatin1(row.expected)))
            << run.err.toStdString();
    }

    const CliRun verbose = rzlctl({"--yes", "--verbose", "set-ap", "my-ap"}, {{}, {"RZL_AP_KEY=shown-key"}});
    EXPECT_EQ(verbose.exitCode, 0);
    EXPECT_TRUE(verbose.err.contains("AP_KEY =shown-key")) << verbose.err.toStdString();
}

// A source that cannot be read, or a key wanted and not given, is a usage error before anything
// reaches the module.
TEST_F(RzlctlKeys, AKeyThatCannotBeReadSendsNothing) {
    const QString backup = securedBackup();
    write("key.txt", "");
    const struct {
        QStringList args;
        CliInput input;
        QString problem;
    } rows[] = {
        {{"set-web-key"}, {}, "the web key is missing"},
        {{"set-station", "office", "--type", "wpa"}, {}, "the station key is missing"},
        {{"set-ap", "my-ap", "-", "--key-file", "/nonexistent"}, {}, "the AP key is given twice"},
        {{"set-ap", "my-ap", "--key-file", dir.filePath("none.txt")}, {}, "none.txt"},
        {{"set-ap", "my-ap", "--key-file", kKeyFile}, {}, "holds no key on its first line"},
        {{"set-web-key", "-"}, {}, "nothing on standard input"},
        {{"restore", backup, "--ap-key", "-", "--station-key", "-"}, {"a\nb\n", {}},
         "the station key cannot come from standard input"},
        {{"restore", "-", "--ap-key", "-"}, {"{}", {}}, "the AP key cannot come from standard input: restore - reads it"},
    };
    const int connections = sim.connectionCount();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        const CliRun run = rzlctl(QStringList{"--yes"} + row.args, row.input);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(row.problem)) << run.err.toStdString();
    }
    EXPECT_EQ(sim.connectionCount(), connections) << "the module was contacted";
}

// An exported RZL_AP_KEY is a default, not a statement about a file: a file whose access point
// is open restores without complaint, where a key given for it is refused.
TEST_F(RzlctlKeys, TheEnvironmentDoesNotMakeARestoreOfAnOpenGroupFail) {
    ModuleState state;
    state.location = "Roof";
    sim.setState(state);
    const QString path = dir.filePath("open.json");
    ASSERT_EQ(rzlctl({"backup", path}).exitCode, 0);
    sim.setState(ModuleState{});
    const CliRun run = rzlctl({"--yes", "restore", path}, {{}, {"RZL_AP_KEY=exported1", "RZL_STATION_KEY=exported2"}});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    write("key.txt", "given-key1");
    EXPECT_EQ(rzlctl({"--yes", "restore", path, "--ap-key-file", kKeyFile}).exitCode, 1);
}

// Output of a process on a terminal of its own, read until `until` shows or the process ends.
struct Terminal {
    int master = -1;
    pid_t child = -1;
    QByteArray seen;

    bool readUntil(const QByteArray& until, int timeoutMs) {
        bool closed = false;
        WaitFor([&] { return closed || seen.contains(until); }, timeoutMs, [&] {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) return;
            char buffer[512];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) seen.append(buffer, n);
            closed = n <= 0;
        });
        return seen.contains(until);
    }
    int wait() {
        readUntil("\x04never", 3000);  // the rest of the output, until the terminal closes
        int status = 0;
        waitpid(child, &status, 0);
        close(master);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// On a terminal a missing key is asked for, and neither its typing nor the confirmation that
// follows shows it.
TEST_F(RzlctlKeys, OnATerminalAMissingKeyIsAskedForWithoutEcho) {
    const QByteArray program = RZL_BINARY_DIR "/rzlctl";
    const QByteArray device = QStringLiteral("--device=127.0.0.1:%1").arg(sim.port()).toLatin1();
    const QByteArray workDir = dir.path().toLocal8Bit();  // the child may only make system calls
    Terminal terminal;
    terminal.child = forkpty(&terminal.master, nullptr, nullptr, nullptr);
    ASSERT_GE(terminal.child, 0);
    if (terminal.child == 0) {
        if (chdir(workDir.constData()) != 0) _exit(126);
        execl(program.constData(), program.constData(), "--no-link-check", device.constData(), "set-web-key",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_TRUE(terminal.readUntil("The web key: ", 10000)) << terminal.seen.constData();
    ASSERT_EQ(::write(terminal.master, "zq7\n", 4), 4);
    ASSERT_TRUE(terminal.readUntil("Proceed? [y/N] ", 10000)) << terminal.seen.constData();
    ASSERT_EQ(::write(terminal.master, "y\n", 2), 2);
    EXPECT_EQ(terminal.wait(), 0) << terminal.seen.constData();
    EXPECT_EQ(sim.state().webKey, "zq7");
    EXPECT_FALSE(terminal.seen.contains("zq7")) << terminal.seen.constData();
    EXPECT_TRUE(terminal.seen.contains("WEB Key write complete")) << terminal.seen.constData();
}

}  // namespace
}  // namespace rzl::test
