#pragma once
// rzlctl run as a user runs it: the built program, no terminal on standard input.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace rzl::test {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// In `workDir` when given (an empty one holds no marker file).
inline CliRun RunRzlctl(const QStringList& args, const QString& workDir = {}) {
    QProcess process;
    if (!workDir.isEmpty()) process.setWorkingDirectory(workDir);
    process.setProgram(QStringLiteral(RZL_BINARY_DIR "/rzlctl"));
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

}  // namespace rzl::test
