// rzlctl scan: the modules on a range of addresses, or on this PC's own networks.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

#include "cli/commands.h"
#include "cli/output_lines.h"
#include "cli/session.h"
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

// A module as the line streamed when it is found: the facts under the names of every result's
// "module", the rest in "details".
void streamModule(Session& session, const ScanAnswer& a) {
    QJsonObject module{{"address", AddressText(a.address)},
                       {"port", session.options().scan.port},
                       {"model", a.modelName},
                       {"modelCode", a.model},
                       {"mac", a.mac},
                       {"firmware", a.firmware}};
    if (a.reportedAddress != AddressText(a.address)) module.insert("reportedAddress", a.reportedAddress);
    QJsonObject details{{"event", "module"}, {"location", a.location}, {"wifiMode", a.wifiModeAp ? "AP" : "Station"}};
    if (a.rssiDbm) details.insert("rssi", *a.rssiDbm);
    session.out().found(module, details);
}

// At most this many runs of addresses are listed on standard error; JSON has them all.
constexpr int kRunsShown = 8;

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
    explicit ProgressLine(bool quiet) : escapes_(platform::StandardStream::Error), shown_(escapes_.active()), quiet_(quiet) {
        clock_.start();
    }
    void update(int done, int total, int found) {
        if (quiet_) return;
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
    bool quiet_;
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
static void printSummary(Session& session, const ScanSummary& summary, int timeoutMs) {
    QString line = QStringLiteral("scan: %1 addresses tried in %2 s, %3 %4 found")
                       .arg(summary.tried)
                       .arg(QString::number(summary.elapsedMs / 1000.0, 'f', 1))
                       .arg(summary.found)
                       .arg(summary.found == 1 ? QStringLiteral("module") : QStringLiteral("modules"));
    if (summary.untried > 0) line += QStringLiteral(", %1 not tried").arg(summary.untried);
    if (summary.connectionsRefused > 0) line += QStringLiteral(", %1 refused the connection").arg(summary.connectionsRefused);
    if (!summary.oddHosts.isEmpty())
        line += QStringLiteral(", %1 other %2:").arg(summary.oddHosts.size()).arg(summary.oddHosts.size() == 1 ? "host" : "hosts");
    session.message(line);
    for (const HostResult& host : summary.oddHosts)
        session.message(QStringLiteral("  %1  %2").arg(AddressText(host.address), -15).arg(HostOutcomeText(host.outcome, timeoutMs)));
}

ExitCode RunScan(Session& session, const QString& rangeText) {
    const ScanOptions& scanOptions = session.options().scan;
    QList<ScanRange> ranges;
    QString why;
    if (!rangeText.isEmpty()) {
        const auto range = ParseScanRange(rangeText, &why);
        if (!range) return session.fail(Outcome::Invalid, why);
        ranges.append(*range);
    } else {
        Context& c = session.ctx();
        if (!c.hostNetwork || !c.hostNetwork->readAdapters(c.probe, &why))
            return session.fail(Outcome::NoReply, QStringLiteral("cannot read this PC's network adapters: ") + why);
        for (const AdapterRange& a : AdapterScanRanges(c.probe)) {
            if (a.range.prefix > a.adapterPrefix)
                session.message(QStringLiteral("%1: its network /%2 is wider than /%3; scanning %4, the part around this PC's address")
                                 .arg(QString::fromUtf8(a.adapter))
                                 .arg(a.adapterPrefix)
                                 .arg(kWidestAdapterPrefix)
                                 .arg(RangeText(a.range)));
            ranges.append(a.range);
        }
        if (ranges.isEmpty())
            return session.fail(Outcome::NoReply, QStringLiteral("no IPv4 network to scan on this PC's adapters (loopback is left "
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
    if (rangeText.isEmpty()) session.message(QStringLiteral("scanning ") + rangeTexts.join(QStringLiteral(", ")));

    NetworkScanner scanner(scanOptions);
    // Ctrl+C or SIGTERM end the sweep; what was found so far and the summary are still printed.
    StopSignals stop([&scanner](int) { scanner.stop(); });
    QList<ScanAnswer> answers;
    {
        ProgressLine progress(session.options().quiet);
        scanner.onProgress = [&progress](int done, int total, int found) { progress.update(done, total, found); };
        // A script acts on each module while a long sweep goes on.
        scanner.onAnswer = [&session](const ScanAnswer& a) { streamModule(session, a); };
        scanner.onLimit = [&session](int parallel, const QString& reason) {
            session.message(QStringLiteral("rzlctl: no socket for more connections (%1): going on with %2 at once "
                                           "(--parallel %2 avoids this)")
                                .arg(reason)
                                .arg(parallel));
        };
        if (session.options().trace) {
            scanner.tap = [](std::uint32_t address, bool outgoing, const QByteArray& bytes) {
                PrintLine(stderr, QStringLiteral("%1 %2 %3").arg(AddressText(address), outgoing ? ">>" : "<<",
                                                                 QString::fromLatin1(bytes.toHex(' ').toUpper())));
            };
        }
        answers = scanner.run(addresses);
    }
    const ScanSummary& summary = scanner.summary();
    const QStringList untried = AddressRuns(summary.untriedAddresses);
    if (scanner.untried() > 0 && stop.received() == 0)
        session.message(QStringLiteral("rzlctl: %1 addresses could not be tried (%2): %3%4")
                            .arg(scanner.untried())
                            .arg(scanner.untriedReason(), untried.mid(0, kRunsShown).join(QStringLiteral(", ")),
                                 untried.size() > kRunsShown ? QStringLiteral(", ...") : QString()));
    printSummary(session, summary, scanOptions.timeoutMs);

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
    session.details() = {{"ranges", QJsonArray::fromStringList(rangeTexts)},
                       {"port", scanOptions.port},
                       {"rangeSize", static_cast<int>(addresses.size())},
                       {"tried", summary.tried},
                       {"untried", summary.untried},
                       {"untriedAddresses", QJsonArray::fromStringList(untried)},
                       {"parallel", summary.parallel},
                       {"connectionsRefused", summary.connectionsRefused},
                       {"elapsedMs", summary.elapsedMs},
                       {"modules", modules},
                       {"otherHosts", odd}};
    if (stop.received() != 0)
        return session.finish(OutcomeOfStop(stop.received()), lines,
                              QStringLiteral("stopped after %1 of %2 addresses; %3 not tried")
                                  .arg(summary.tried)
                                  .arg(addresses.size())
                                  .arg(summary.untried));
    // A partial sweep is no clean result, whatever it found.
    if (summary.untried > 0)
        return session.finish(Outcome::NoReply, lines, QStringLiteral("%1 of %2 addresses could not be tried")
                                                   .arg(summary.untried)
                                                   .arg(addresses.size()));
    if (!answers.isEmpty()) return session.finish(Outcome::Done, lines);
    return session.finish(Outcome::NoReply, lines,
                  QStringLiteral("no module answered on port %1 of %2 addresses").arg(scanOptions.port).arg(addresses.size()));
}

}  // namespace rzl::cli
