#pragma once
// What passed between the program and the module: every frame sent and received and every
// line of the hidden log, with the time, oldest first and bounded to the newest entries.
// The exchange and the hidden log feed it; the protocol view and rzlctl --trace read it.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

namespace rzl {

struct TrafficEntry {
    enum class Kind { Sent, Received, Log };
    QDateTime time;
    Kind kind = Kind::Log;
    // Sent: the frame's command byte. Received: the command of the request it answers,
    // since a reply is read as the answer to what was sent, whatever its own byte 4 says.
    std::uint8_t command = 0;
    QByteArray bytes;  // the frame
    QString text;      // the log line
};

// "Identify", "Set output"; "Command 123" for a code the program never sends.
QString CommandName(std::uint8_t code);

// One entry as one line: time, command, direction and the frame in hex, or the log line.
// 2026-03-01T09:15:02.125 Identify        >> 5A 35 77 A5 21 00 00
QString TrafficLine(const TrafficEntry& entry);

class TrafficRecord : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxEntries = 5000;

    // How many of the newest entries stay (at most kMaxEntries). rzlctl keeps none: it prints
    // each entry as it is added (--trace) and has no window to show them later.
    void keepAtMost(int entries);

    void frame(bool outgoing, const QByteArray& bytes);
    void log(const QString& line);
    const QList<TrafficEntry>& entries() const { return entries_; }

    // In UTC: the local time zone (a look at the zone file per call) is applied when a line is shown.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };

signals:
    void added(const rzl::TrafficEntry& entry);

private:
    void add(TrafficEntry entry);

    QList<TrafficEntry> entries_;
    int kept_ = kMaxEntries;
    std::uint8_t lastSent_ = 0;
};

}  // namespace rzl
