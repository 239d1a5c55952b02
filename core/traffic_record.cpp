#include "core/traffic_record.h"

#include <algorithm>

#include "core/frame.h"
#include "core/time_text.h"

namespace rzl {

QString CommandName(std::uint8_t code) {
    switch (code) {
    case kCmdLocate: return QStringLiteral("Locate");
    case kCmdIdentify: return QStringLiteral("Identify");
    case kCmdChecksumQuery: return QStringLiteral("Checksum query");
    case kCmdImageActivate: return QStringLiteral("Image activate");
    case kCmdReboot: return QStringLiteral("Reboot");
    case kCmdWifiMode: return QStringLiteral("Wi-Fi mode");
    case kCmdWebKey: return QStringLiteral("Web key");
    case kCmdFirmwareHeader: return QStringLiteral("Firmware header");
    case kCmdDeleteFile: return QStringLiteral("Delete file");
    case kCmdResetDefaults: return QStringLiteral("Reset defaults");
    case kCmdFileHeader: return QStringLiteral("File header");
    case kCmdCounterRead: return QStringLiteral("Counter read");
    case kCmdCounterClear: return QStringLiteral("Counter clear");
    case kCmdSetOutput: return QStringLiteral("Set output");
    case kCmdPoll: return QStringLiteral("Poll");
    case kCmdModbusNotice: return QStringLiteral("Modbus notice");
    }
    return QStringLiteral("Command %1").arg(code);
}

QString TrafficLine(const TrafficEntry& entry) {
    const QString time = IsoTimeWithOffset(entry.time);
    if (entry.kind == TrafficEntry::Kind::Log) return QStringLiteral("%1 log: %2").arg(time, entry.text);
    return QStringLiteral("%1 %2 %3 %4")
        .arg(time)
        .arg(CommandName(entry.command), -15)
        .arg(entry.kind == TrafficEntry::Kind::Sent ? QStringLiteral(">>") : QStringLiteral("<<"))
        .arg(QString::fromLatin1(entry.bytes.toHex(' ').toUpper()));
}

void TrafficRecord::frame(bool outgoing, const QByteArray& bytes) {
    TrafficEntry entry;
    entry.kind = outgoing ? TrafficEntry::Kind::Sent : TrafficEntry::Kind::Received;
    if (outgoing) lastSent_ = static_cast<std::uint8_t>(bytes.size() > kCommandByte ? bytes[kCommandByte] : 0);
    entry.command = lastSent_;
    entry.bytes = bytes;
    add(std::move(entry));
}

void TrafficRecord::log(const QString& line) {
    TrafficEntry entry;
    entry.text = line;
    add(std::move(entry));
}

void TrafficRecord::keepAtMost(int entries) {
    kept_ = std::clamp(entries, 0, kMaxEntries);
    if (entries_.size() > kept_) entries_.remove(0, entries_.size() - kept_);
}

void TrafficRecord::add(TrafficEntry entry) {
    entry.time = now();
    if (kept_ == 0) return emit added(entry);
    // Polling every few seconds for days: only the newest entries are kept.
    if (entries_.size() >= kept_) entries_.remove(0, entries_.size() - kept_ + 1);
    entries_.append(std::move(entry));
    emit added(entries_.last());
}

}  // namespace rzl
