// rzlctl scan: the modules on a range of addresses, or on this PC's own networks.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "cli/controller.h"
#include "protocol/scan_range.h"

namespace rzl::cli {

namespace {

QJsonObject moduleJson(const ScanAnswer& a) {
    QJsonObject json{{"address", AddressText(a.address)},
                     {"reportedAddress", a.reportedAddress},
                     {"model", a.modelName},
                     {"modelCode", a.model},
                     {"mac", a.mac},
                     {"firmware", a.firmware},
                     {"location", a.location},
                     {"wifiMode", a.wifiModeAp ? "AP" : "Station"}};
    if (a.rssiDbm) json.insert("rssi", *a.rssiDbm);
    return json;
}

QString moduleLine(const ScanAnswer& a, int modelWidth) {
    QString line = QStringLiteral("%1  %2  %3  V%4  \"%5\"  %6  %7")
                       .arg(AddressText(a.address), -15)
                       .arg(a.modelName, -modelWidth)
                       .arg(a.mac, a.firmware, a.location,
                            a.rssiDbm ? QStringLiteral("%1 dBm").arg(*a.rssiDbm) : QStringLiteral("no RSSI"),
                            a.wifiModeAp ? QStringLiteral("AP") : QStringLiteral("Station"));
    // Such a module answers here but is not identified at this address by the other commands.
    if (a.reportedAddress != AddressText(a.address)) line += QStringLiteral("  (reports %1)").arg(a.reportedAddress);
    return line;
}

// One line on standard error, rewritten in place, at most ten times a second.
class ProgressLine {
public:
    ProgressLine() : shown_(isatty(STDERR_FILENO) == 1) { clock_.start(); }
    void update(int done, int total, int found) {
        if (!shown_ || (done < total && clock_.elapsed() < 100)) return;
        clock_.restart();
        std::fprintf(stderr, "\rscanning: %d of %d addresses, %d found\033[K", done, total, found);
        std::fflush(stderr);
        dirty_ = true;
    }
    ~ProgressLine() {
        if (dirty_) std::fputs("\r\033[K", stderr);
    }

private:
    bool shown_;
    bool dirty_ = false;
    QElapsedTimer clock_;
};

}  // namespace

ExitCode Controller::scan(const QString& rangeText) {
    const ScanOptions& scanOptions = options_.scan;
    QList<ScanRange> ranges;
    QString why;
    if (!rangeText.isEmpty()) {
        const auto range = ParseScanRange(rangeText, &why);
        if (!range) return fail(kExitUsage, why);
        ranges.append(*range);
    } else {
        Context& c = ctx();
        if (!c.hostNetwork || !c.hostNetwork->readAdapters(c.probe, &why))
            return fail(kExitNoReply, QStringLiteral("cannot read this PC's network adapters: ") + why);
        for (const AdapterRange& a : AdapterScanRanges(c.probe)) {
            if (a.range.prefix > a.adapterPrefix)
                printMessage(QStringLiteral("%1: its network /%2 is wider than /%3; scanning %4, the part around this PC's address")
                                 .arg(QString::fromLocal8Bit(a.adapter))
                                 .arg(a.adapterPrefix)
                                 .arg(kWidestAdapterPrefix)
                                 .arg(RangeText(a.range)));
            ranges.append(a.range);
        }
        if (ranges.isEmpty())
            return fail(kExitNoReply, QStringLiteral("no IPv4 network to scan on this PC's adapters (loopback is left "
                                                         "out); give a range such as 10.0.0.0/24"));
    }

    QStringList rangeTexts;
    QList<std::uint32_t> addresses;
    for (const ScanRange& range : ranges) {
        rangeTexts.append(RangeText(range));
        addresses += HostAddresses(range);
    }
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    if (rangeText.isEmpty()) printMessage(QStringLiteral("scanning ") + rangeTexts.join(QStringLiteral(", ")));

    NetworkScanner scanner(scanOptions);
    QList<ScanAnswer> answers;
    {
        ProgressLine progress;
        scanner.onProgress = [&progress](int done, int total, int found) { progress.update(done, total, found); };
        if (options_.trace) {
            scanner.tap = [](std::uint32_t address, bool outgoing, const QByteArray& bytes) {
                std::fprintf(stderr, "%s %s %s\n", qPrintable(AddressText(address)), outgoing ? ">>" : "<<",
                             bytes.toHex(' ').toUpper().constData());
            };
        }
        answers = scanner.run(addresses);
    }
    if (scanner.untried() > 0)
        printMessage(QStringLiteral("rzlctl: %1 addresses could not be tried: %2").arg(scanner.untried()).arg(scanner.untriedReason()));

    QJsonArray modules;
    QStringList lines;
    int modelWidth = 0;
    for (const ScanAnswer& a : answers) modelWidth = std::max(modelWidth, static_cast<int>(a.modelName.size()));
    for (const ScanAnswer& a : answers) {
        modules.append(moduleJson(a));
        lines.append(moduleLine(a, modelWidth));
    }
    report_.details = {{"ranges", QJsonArray::fromStringList(rangeTexts)},
                       {"port", scanOptions.port},
                       {"scanned", static_cast<int>(addresses.size())},
                       {"modules", modules}};
    if (!answers.isEmpty()) return finish(Outcome::Done, lines);
    return finish(Outcome::NoReply, lines,
                  QStringLiteral("no module answered on port %1 of %2 addresses").arg(scanOptions.port).arg(addresses.size()));
}

}  // namespace rzl::cli
