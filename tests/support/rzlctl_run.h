#pragma once
// rzlctl run as a user runs it: the built program, no terminal on standard input.

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <functional>

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
    QDeadlineTimer deadline(timeoutMs);
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(20) && !deadline.hasExpired())
        if (whileRunning) whileRunning();
    EXPECT_EQ(process.state(), QProcess::NotRunning);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

}  // namespace rzl::test
