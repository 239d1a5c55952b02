#pragma once
// rzlctl run as a user runs it: the built program, no terminal on standard input.

#include <QDeadlineTimer>
#include <QProcess>
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

// In `workDir` when given (an empty one holds no marker file). `whileRunning`, when given, is
// called about every 20 ms until the program ends.
inline CliRun RunRzlctl(const QStringList& args, const QString& workDir = {}, int timeoutMs = 30000,
                        const std::function<void()>& whileRunning = {}) {
    QProcess process;
    if (!workDir.isEmpty()) process.setWorkingDirectory(workDir);
    process.setProgram(QStringLiteral(RZL_BINARY_DIR "/rzlctl"));
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    QDeadlineTimer deadline(timeoutMs);
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(20) && !deadline.hasExpired())
        if (whileRunning) whileRunning();
    EXPECT_EQ(process.state(), QProcess::NotRunning);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

}  // namespace rzl::test
