#pragma once
// rzlctl run as a user runs it: the built program, no terminal on standard input. Run to its
// end, or running beside the test (a watch, a long scan) with what it has written so far.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include "tests/support/wait.h"

namespace rzl::test {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// What rzlctl reads besides its arguments: keys are given so, never as arguments a test would
// put where `ps` shows them.
struct CliInput {
    QByteArray standardInput;  // empty: /dev/null
    QStringList environment;   // "NAME=value", added to this process's environment
};

// In `workDir` when given (an empty one holds no marker file). `whileRunning`, when given, is
// called about every 20 ms until the program ends.
inline CliRun RunRzlctl(const QStringList& args, const QString& workDir = {}, int timeoutMs = 30000,
                        const std::function<void()>& whileRunning = {}, const CliInput& input = {}) {
    QProcess process;
    if (!workDir.isEmpty()) process.setWorkingDirectory(workDir);
    process.setProgram(QStringLiteral(RZL_BINARY_DIR "/rzlctl"));
    process.setArguments(args);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* key : {"RZL_AP_KEY", "RZL_STATION_KEY", "RZL_WEB_KEY"}) environment.remove(QString::fromLatin1(key));
    for (const QString& variable : input.environment)
        environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(environment);
    if (input.standardInput.isEmpty()) process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!input.standardInput.isEmpty()) {
        process.write(input.standardInput);
        process.closeWriteChannel();
    }
    EXPECT_TRUE(WaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs, [&] {
        if (!process.waitForFinished(20) && whileRunning) whileRunning();
    })) << "still running after " << timeoutMs << " ms";
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// rzlctl started with `args` and left running; killed at the end of its scope if still running.
class RunningRzlctl {
public:
    explicit RunningRzlctl(const QStringList& args, const QString& workDir = {}) {
        if (!workDir.isEmpty()) process_.setWorkingDirectory(workDir);
        process_.setStandardInputFile(QProcess::nullDevice());
        process_.start(QStringLiteral(RZL_BINARY_DIR "/rzlctl"), args);
    }
    ~RunningRzlctl() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(5000);
    }
    RunningRzlctl(const RunningRzlctl&) = delete;
    RunningRzlctl& operator=(const RunningRzlctl&) = delete;

    // Reads what it writes until `done` holds; false when it ended or `timeoutMs` passed first.
    bool until(const std::function<bool()>& done, int timeoutMs = 20000) {
        WaitFor([&] { return read(), done() || process_.state() == QProcess::NotRunning; }, timeoutMs,
                [this] { process_.waitForReadyRead(20); });
        read();
        return done();
    }
    // Reads until standard error holds `text` `count` times.
    bool untilError(const QString& text, int count = 1, int timeoutMs = 20000) {
        return until([&] { return err_.count(text) >= count; }, timeoutMs);
    }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    void signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }
    // Its exit code once it has ended (-1 when it crashed).
    int finished(int timeoutMs = 10000) {
        EXPECT_TRUE(process_.waitForFinished(timeoutMs));
        read();
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    const QString& out() const { return out_; }
    const QString& err() const { return err_; }

private:
    void read() {
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        err_ += QString::fromLocal8Bit(process_.readAllStandardError());
    }
    QProcess process_;
    QString out_, err_;
};

}  // namespace rzl::test
