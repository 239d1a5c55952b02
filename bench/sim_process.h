#pragma once
// rzl-sim as a process of its own for the benchmarks.

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QtGlobal>
#include <cstdint>

namespace rzl::bench {

// Starts rzl-sim on 127.0.0.1, port 0; the port it found is on its first line (0: it did not start).
inline std::uint16_t StartSimulator(QProcess& sim, const QStringList& extra = {}) {
    sim.setProgram(QStringLiteral(RZL_BINARY_DIR "/rzl-sim"));
    sim.setArguments(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")} + extra);
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start();
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) return 0;
    const auto match = QRegularExpression(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"))
                           .match(QString::fromLocal8Bit(sim.readLine()));
    return match.hasMatch() ? static_cast<std::uint16_t>(match.captured(1).toUInt()) : 0;
}

}  // namespace rzl::bench
