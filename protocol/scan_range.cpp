#include "protocol/scan_range.h"

#include <QStringList>
#include <algorithm>

namespace rzl {

namespace {

constexpr std::uint8_t kSoftwareLoopback = 24;  // interface type of a loopback adapter

std::uint32_t maskOf(int prefix) { return prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix); }

bool isDecimal(const QString& text, int maxDigits) {
    if (text.isEmpty() || text.size() > maxDigits) return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

// Four decimal groups 0-255 joined by dots, nothing else.
std::optional<std::uint32_t> parseAddress(const QString& text) {
    const QStringList groups = text.split(QLatin1Char('.'));
    if (groups.size() != 4) return std::nullopt;
    std::uint32_t address = 0;
    for (const QString& group : groups) {
        if (!isDecimal(group, 3) || group.toUInt() > 255) return std::nullopt;
        address = address << 8 | group.toUInt();
    }
    return address;
}

}  // namespace

std::optional<ScanRange> ParseScanRange(const QString& text, QString* reason) {
    const auto refuse = [&](const QString& why) -> std::optional<ScanRange> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const QString addressText = slash < 0 ? text : text.left(slash);
    const auto address = parseAddress(addressText);
    if (!address) return refuse(QStringLiteral("'%1' is not an IPv4 range such as 10.0.0.0/24").arg(text));
    int prefix = 32;
    if (slash >= 0) {
        const QString prefixText = text.mid(slash + 1);
        if (!isDecimal(prefixText, 2) || prefixText.toInt() > 32)
            return refuse(QStringLiteral("'%1' is not an IPv4 range such as 10.0.0.0/24").arg(text));
        prefix = prefixText.toInt();
    }
    if (prefix < kWidestScanPrefix)
        return refuse(QStringLiteral("%1 holds %2 addresses; a scan takes at most a /%3 (65536 addresses)")
                          .arg(text)
                          .arg(quint64{1} << (32 - prefix))
                          .arg(kWidestScanPrefix));
    return ScanRange{*address & maskOf(prefix), prefix};
}

QList<std::uint32_t> HostAddresses(const ScanRange& range) {
    const std::uint64_t size = std::uint64_t{1} << (32 - range.prefix);
    const bool everyAddress = range.prefix >= 31;
    QList<std::uint32_t> hosts;
    hosts.reserve(static_cast<qsizetype>(size));
    for (std::uint64_t i = everyAddress ? 0 : 1; i < (everyAddress ? size : size - 1); ++i)
        hosts.append(range.network + static_cast<std::uint32_t>(i));
    return hosts;
}

QString AddressText(std::uint32_t a) {
    return QStringLiteral("%1.%2.%3.%4").arg(a >> 24).arg(a >> 16 & 0xFF).arg(a >> 8 & 0xFF).arg(a & 0xFF);
}

QStringList AddressRuns(const QList<std::uint32_t>& sorted) {
    QStringList runs;
    for (qsizetype i = 0; i < sorted.size();) {
        qsizetype last = i;
        while (last + 1 < sorted.size() && sorted[last + 1] == sorted[last] + 1) ++last;
        runs.append(last == i ? AddressText(sorted[i]) : AddressText(sorted[i]) + u'-' + AddressText(sorted[last]));
        i = last + 1;
    }
    return runs;
}

QString RangeText(const ScanRange& range) {
    return AddressText(range.network) + QLatin1Char('/') + QString::number(range.prefix);
}

QList<AdapterRange> AdapterScanRanges(const NetworkSnapshot& probe) {
    QList<AdapterRange> ranges;
    for (int i = 0; i < probe.adapterCount; ++i) {
        const AdapterRow& row = probe.adapters[i];
        const auto address = parseAddress(QString::fromLatin1(row.address));
        if (!address || row.interfaceType == kSoftwareLoopback || *address >> 24 == 127) continue;
        const int prefix = std::max<int>(row.prefixLength, kWidestAdapterPrefix);
        const ScanRange range{*address & maskOf(prefix), prefix};
        const bool listed = std::any_of(ranges.begin(), ranges.end(), [&](const AdapterRange& r) { return r.range == range; });
        if (!listed) ranges.append({row.name, range, row.prefixLength});
    }
    return ranges;
}

}  // namespace rzl
