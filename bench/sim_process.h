#pragma once
// rzl-sim as a process of its own for the benchmarks.

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QtGlobal>
#include <cstdint>

namespace rzl::bench {

// Starts a server that says "listening on 127.0.0.1:PORT" on its first line; the port (0: it
// did not start).
inline std::uint16_t StartListener(QProcess& server, const QString& program, const QStringList& arguments) {
    server.setProgram(program);
    server.setArguments(arguments);
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    if (!server.waitForStarted(5000) || !server.waitForReadyRead(5000)) return 0;
    const auto match = QRegularExpression(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"))
                           .match(QString::fromLocal8Bit(server.readLine()));
    return match.hasMatch() ? static_cast<std::uint16_t>(match.captured(1).toUInt()) : 0;
}

// Starts rzl-sim on 127.0.0.1, port 0.
inline std::uint16_t StartSimulator(QProcess& sim, const QStringList& extra = {}) {
    return StartListener(sim, QStringLiteral(RZL_BINARY_DIR "/rzl-sim"),
                         QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")} + extra);
}

}  // namespace rzl::bench
