// rzlctl scan: the modules on a range of addresses, or on this PC's own networks.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

#include "cli/controller.h"
#include "cli/output_lines.h"
#include "cli/stop_signals.h"
#include "platform/terminal.h"
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

// One line on standard error, rewritten in place, at most ten times a second; where standard
// error is no terminal (a log), or one that would show the escape sequence as text, a line
// every five seconds of a long sweep.
class ProgressLine {
public:
    ProgressLine() : escapes_(platform::StandardStream::Error), shown_(escapes_.active()) { clock_.start(); }
    void update(int done, int total, int found) {
        if (!shown_) {
            if (done < total && clock_.elapsed() >= 5000) {
                clock_.restart();
                std::fprintf(stderr, "scanning: %d of %d addresses, %d found\n", done, total, found);
                std::fflush(stderr);
            }
            return;
        }
        if (done < total && clock_.elapsed() < 100) return;
        clock_.restart();
        std::fprintf(stderr, "\rscanning: %d of %d addresses, %d found\033[K", done, total, found);
        std::fflush(stderr);
        dirty_ = true;
    }
    ~ProgressLine() {
        if (dirty_) std::fputs("\r\033[K", stderr);
    }

private:
    platform::EscapeSequences escapes_;
    bool shown_;
    bool dirty_ = false;
    QElapsedTimer clock_;
};

// The JSON name of what a host did.
QString HostOutcomeKey(HostOutcome outcome) {
    switch (outcome) {
    case HostOutcome::Module: return QStringLiteral("module");
    case HostOutcome::NoHost: return QStringLiteral("no-answer");
    case HostOutcome::ConnectionRefused: return QStringLiteral("connection-refused");
    case HostOutcome::Rejected: return QStringLiteral("refused");
    case HostOutcome::Closed: return QStringLiteral("closed");
    case HostOutcome::ClosedMidReply: return QStringLiteral("closed-mid-reply");
    case HostOutcome::NoReplyInTime: return QStringLiteral("silent");
    case HostOutcome::TooSlow: return QStringLiteral("too-slow");
    case HostOutcome::Garbage: return QStringLiteral("garbage");
    case HostOutcome::Untried: return QStringLiteral("untried");
    }
    return {};
}

}  // namespace

// The closing summary on standard error, as sweep tools print it: what was tried, found, and
// every host that answered but not as a module.
void Controller::printSummary(const ScanSummary& summary, int timeoutMs) {
    QString line = QStringLiteral("scan: %1 addresses tried in %2 s, %3 %4 found")
                       .arg(summary.tried)
                       .arg(QString::number(summary.elapsedMs / 1000.0, 'f', 1))
                       .arg(summary.found)
                       .arg(summary.found == 1 ? QStringLiteral("module") : QStringLiteral("modules"));
    if (summary.untried > 0) line += QStringLiteral(", %1 not tried").arg(summary.untried);
    if (summary.connectionsRefused > 0) line += QStringLiteral(", %1 refused the connection").arg(summary.connectionsRefused);
    if (!summary.oddHosts.isEmpty())
        line += QStringLiteral(", %1 other %2:").arg(summary.oddHosts.size()).arg(summary.oddHosts.size() == 1 ? "host" : "hosts");
    printMessage(line);
    for (const HostResult& host : summary.oddHosts)
        printMessage(QStringLiteral("  %1  %2").arg(AddressText(host.address), -15).arg(HostOutcomeText(host.outcome, timeoutMs)));
}

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
                                 .arg(QString::fromUtf8(a.adapter))
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
    // Ctrl+C or SIGTERM end the sweep; what was found so far and the summary are still printed.
    StopSignals stop([&scanner](int) { scanner.stop(); });
    QList<ScanAnswer> answers;
    {
        ProgressLine progress;
        scanner.onProgress = [&progress](int done, int total, int found) { progress.update(done, total, found); };
        if (options_.trace) {
            scanner.tap = [](std::uint32_t address, bool outgoing, const QByteArray& bytes) {
                PrintLine(stderr, QStringLiteral("%1 %2 %3").arg(AddressText(address), outgoing ? ">>" : "<<",
                                                                 QString::fromLatin1(bytes.toHex(' ').toUpper())));
            };
        }
        answers = scanner.run(addresses);
    }
    const ScanSummary& summary = scanner.summary();
    if (scanner.untried() > 0)
        printMessage(QStringLiteral("rzlctl: %1 addresses could not be tried: %2").arg(scanner.untried()).arg(scanner.untriedReason()));
    printSummary(summary, scanOptions.timeoutMs);

    QJsonArray modules;
    QStringList lines;
    int modelWidth = 0;
    for (const ScanAnswer& a : answers) modelWidth = std::max(modelWidth, static_cast<int>(a.modelName.size()));
    for (const ScanAnswer& a : answers) {
        modules.append(moduleJson(a));
        lines.append(moduleLine(a, modelWidth));
    }
    QJsonArray odd;
    for (const HostResult& host : summary.oddHosts)
        odd.append(QJsonObject{{"address", AddressText(host.address)},
                               {"outcome", HostOutcomeKey(host.outcome)},
                               {"replyBytes", host.replyBytes}});
    report_.details = {{"ranges", QJsonArray::fromStringList(rangeTexts)},
                       {"port", scanOptions.port},
                       {"rangeSize", static_cast<int>(addresses.size())},
                       {"tried", summary.tried},
                       {"untried", summary.untried},
                       {"connectionsRefused", summary.connectionsRefused},
                       {"elapsedMs", summary.elapsedMs},
                       {"modules", modules},
                       {"otherHosts", odd}};
    if (stop.received() != 0)
        return finish(OutcomeOfStop(stop.received()), lines,
                      QStringLiteral("stopped after %1 of %2 addresses").arg(summary.tried).arg(addresses.size()));
    // A partial sweep is no clean result, whatever it found.
    if (summary.untried > 0)
        return finish(Outcome::NoReply, lines, QStringLiteral("%1 of %2 addresses could not be tried")
                                                   .arg(summary.untried)
                                                   .arg(addresses.size()));
    if (!answers.isEmpty()) return finish(Outcome::Done, lines);
    return finish(Outcome::NoReply, lines,
                  QStringLiteral("no module answered on port %1 of %2 addresses").arg(scanOptions.port).arg(addresses.size()));
}

}  // namespace rzl::cli
