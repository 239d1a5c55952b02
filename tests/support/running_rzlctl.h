#pragma once
// rzlctl started and left running, for tests that act while it works (a signal in the middle of
// a write, a second writer): what it has printed so far, waits for a line or a message (never a
// fixed sleep), its end and exit code.

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <csignal>

namespace rzl::test {

class RunningRzlctl {
public:
    // `environment` as "NAME=value", added to this process's own (less the keys' variables);
    // `standardInput` written and closed at once (empty: /dev/null).
    explicit RunningRzlctl(const QStringList& args, const QStringList& environment = {},
                           const QByteArray& standardInput = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* key : {"RZL_AP_KEY", "RZL_STATION_KEY", "RZL_WEB_KEY"}) env.remove(QString::fromLatin1(key));
        for (const QString& variable : environment)
            env.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
        process_.setProcessEnvironment(env);
        if (standardInput.isEmpty()) process_.setStandardInputFile(QProcess::nullDevice());
        process_.start(QStringLiteral(RZL_BINARY_DIR "/rzlctl"), args);
        if (!standardInput.isEmpty()) {
            process_.write(standardInput);
            process_.closeWriteChannel();
        }
    }
    ~RunningRzlctl() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(5000);
    }
    RunningRzlctl(const RunningRzlctl&) = delete;
    RunningRzlctl& operator=(const RunningRzlctl&) = delete;

    // Reads until `count` lines of standard output have come (or it ends, or time is up).
    bool until(int count, int timeoutMs = 20000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (lines().size() < count && !deadline.hasExpired()) {
            if (process_.state() == QProcess::NotRunning && !process_.bytesAvailable()) break;
            process_.waitForReadyRead(20);
            read();
        }
        return lines().size() >= count;
    }
    // Reads until standard error holds `text` `count` times (or it ends, or time is up).
    bool untilError(const QString& text, int count = 1, int timeoutMs = 20000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (err_.count(text) < count && process_.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            process_.waitForReadyRead(20);
            read();
        }
        read();
        return err_.count(text) >= count;
    }
    void signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }
    qint64 pid() const { return process_.processId(); }
    // The exit code; -1 when it ended by a signal, or did not end in time.
    int finished(int timeoutMs = 30000) {
        EXPECT_TRUE(process_.waitForFinished(timeoutMs));
        read();
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    bool running() const { return process_.state() != QProcess::NotRunning; }

    QStringList lines() const { return out_.split('\n', Qt::SkipEmptyParts); }
    QJsonObject json(int line) const { return QJsonDocument::fromJson(lines().value(line).toUtf8()).object(); }
    QJsonObject last() const { return json(static_cast<int>(lines().size()) - 1); }
    const QString& out() const { return out_; }
    const QString& err() const { return err_; }

private:
    void read() {
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        err_ += QString::fromUtf8(process_.readAllStandardError());
    }
    QProcess process_;
    QString out_, err_;
};

}  // namespace rzl::test
