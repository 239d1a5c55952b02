// rzlctl watch: polls the module and prints a row for each change of its outputs, inputs (and,
// with --counters, its counters). A module that stops answering (a restart takes a few seconds)
// is polled on with a growing pause, at most max(2 s, the interval); the outage becomes one row
// with its start and end, and the watch ends only after --max-failures failed polls in a row.
// SIGINT and SIGTERM end it after the row under way is written, with 130 and 143.

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QTimer>
#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <optional>

#include "cli/commands.h"
#include "cli/output_lines.h"
#include "cli/session.h"
#include "cli/stop_signals.h"
#include "core/time_text.h"
#include "protocol/module_commands.h"
#include "protocol/request_builders.h"

namespace rzl::cli {

namespace {

constexpr qint64 kDefaultPatienceMs = 60000;  // a module's restart fits well within it
constexpr int kLongestPauseMs = 2000;
constexpr int kFewestFailures = 3;

// The pause before the next poll after `failures` failed polls in a row: the interval, doubled
// for each failure, never longer than the interval or 2 s, whichever is longer.
int PauseAfter(int failures, int intervalMs) {
    const qint64 cap = std::max(intervalMs, kLongestPauseMs);
    qint64 pause = intervalMs;
    for (int i = 0; i < failures && pause < cap; ++i) pause *= 2;
    return static_cast<int>(std::min(pause, cap));
}

// The failed polls in a row that the pauses spread over about a minute.
int DefaultMaxFailures(int intervalMs) {
    int failures = 0;
    for (qint64 waited = 0; waited < kDefaultPatienceMs; waited += PauseAfter(failures, intervalMs)) ++failures;
    return std::max(failures, kFewestFailures);
}

QString clockText(const QDateTime& time) { return time.toString(QStringLiteral("HH:mm:ss.zzz")); }

// Failed polls in a row.
struct Outage {
    QDateTime start;
    QDateTime last;  // the last failed poll
    int polls = 0;
    Outcome outcome = Outcome::NoReply;
    QString reason;
};

}  // namespace

ExitCode RunWatch(Session& session) {
    ExitCode identified = kExitDone;
    if (!session.identify(&identified)) return identified;
    Context& c = session.ctx();
    const ControllerOptions& options = session.options();
    const int maxFailures = options.watchMaxFailures > 0 ? options.watchMaxFailures
                                                         : DefaultMaxFailures(options.watchIntervalMs);
    session.details() = {};

    // A row in the one result shape (JSON), as a line of text, or comma-separated.
    const auto writeRow = [&session](Outcome outcome, const QJsonObject& details, const QString& text,
                                     const QString& csv, const QString& error = {}) {
        session.out().row(outcome, details, text, csv, error);
    };
    const int csvValues = options.watchCounters ? 10 : 2;
    const auto writeOutage = [&](const Outage& o, bool recovered, const QDateTime& end, const QString& error) {
        writeRow(o.outcome,
                 {{"event", "outage"}, {"start", IsoTimeWithOffset(o.start)}, {"end", IsoTimeWithOffset(end)},
                  {"failedPolls", o.polls}, {"recovered", recovered}, {"reason", o.reason}},
                 QStringLiteral("%1  no answer until %2: %3 failed polls, the last with: %4")
                     .arg(clockText(o.start), clockText(end))
                     .arg(o.polls)
                     .arg(o.reason),
                 // An ISO 8601 interval in the time column, the values empty.
                 IsoTimeWithOffset(o.start) + u'/' + IsoTimeWithOffset(end) + QString(csvValues, u','),
                 error.isEmpty() ? o.reason : error);
    };

    // A request judged as the outcome table reads a reply that carries what was asked for.
    const auto judged = [](const ExchangeOutcome& sent, QString* why) {
        const Judgement judgement = Judge(sent, Role::Read);
        *why = judgement.error;
        return judgement.outcome;
    };
    // The counters travel through the queue, as the counter window reads them.
    const auto readCounters = [&](QString* why) {
        session.setQuietLog(true);
        const ExchangeOutcome read = ReadCounters(c);
        session.setQuietLog(false);
        return judged(read, why);
    };
    if (options.csv) {
        QString header = QStringLiteral("time,do,di");
        if (options.watchCounters)
            for (int i = 0; i < 8; ++i) header += QStringLiteral(",counter%1").arg(i);
        session.out().header(header);
    }

    int changes = 0;
    int lastDo = -1, lastDi = -1;
    std::optional<std::array<std::uint32_t, 8>> lastCounters;
    std::optional<Outage> outage;
    std::optional<Outcome> ended;  // why the loop ended, when not by --count
    QString endError;
    QTimer next;
    next.setSingleShot(true);
    StopSignals stop([](int) { QCoreApplication::exit(); });

    const auto poll = [&] {
        QString why;
        Outcome result = judged(SendPoll(c), &why);
        if (result == Outcome::Done && options.watchCounters) result = readCounters(&why);
        const QDateTime now = QDateTime::currentDateTime();
        if (result != Outcome::Done) {
            session.message(QStringLiteral("rzlctl: poll failed: ") + why);
            if (!outage) outage = Outage{now, now, 0, result, why};
            outage->last = now;
            outage->outcome = result;
            outage->reason = why;
            if (++outage->polls >= maxFailures) {
                ended = result;
                endError = QStringLiteral("%1 polls in a row failed, the last with: %2").arg(outage->polls).arg(why);
                writeOutage(*outage, false, now, endError);
                outage.reset();
                return QCoreApplication::exit();
            }
            return next.start(PauseAfter(outage->polls, options.watchIntervalMs));
        }
        if (outage) {
            // The module is back: the outage has its row, and the state it came back with its own.
            writeOutage(*outage, true, now, {});
            outage.reset();
            lastDo = -1;
        }
        next.start(options.watchIntervalMs);
        const auto counters = options.watchCounters ? std::optional(c.session.diCounters) : std::nullopt;
        if (c.session.doState == lastDo && c.session.diState == lastDi && counters == lastCounters) return;
        lastDo = c.session.doState;
        lastDi = c.session.diState;
        lastCounters = counters;
        QJsonObject details = IoJson(c.session);
        details.insert("event", "change");
        details.insert("time", IsoTimeWithOffset(now));
        QString text = QStringLiteral("%1  DO: %2  DI: %3").arg(clockText(now), Hex2(lastDo), Hex2(lastDi));
        QString csv = QStringLiteral("%1,%2,%3").arg(IsoTimeWithOffset(now)).arg(lastDo).arg(lastDi);
        if (counters) {
            QJsonArray counted;
            for (std::uint32_t value : *counters) counted.append(static_cast<qint64>(value));
            details.insert("counters", counted);
            QStringList values;
            for (std::uint32_t value : *counters) values.append(QString::number(value));
            text += QStringLiteral("  counters: ") + values.join(u' ');
            csv += u',' + values.join(u',');
        }
        writeRow(Outcome::Done, details, text, csv);
        if (options.watchMaxChanges > 0 && ++changes >= options.watchMaxChanges) QCoreApplication::exit();
    };
    QObject::connect(&next, &QTimer::timeout, poll);
    next.start(0);
    QCoreApplication::exec();

    if (stop.received() != 0) {
        // An outage under way is written as it stands, so the log shows it.
        if (outage) writeOutage(*outage, false, outage->last, {});
        session.details() = {{"event", "stop"}, {"signal", stop.received() == SIGTERM ? "SIGTERM" : "SIGINT"}};
        return session.fail(OutcomeOfStop(stop.received()),
                    stop.received() == SIGTERM ? QStringLiteral("terminated") : QStringLiteral("interrupted"));
    }
    if (ended) {
        // The outage's row was the result; the error is said on standard error as well.
        PrintLine(stderr, QStringLiteral("rzlctl: ") + endError);
        return ExitCodeOf(*ended);
    }
    return kExitDone;
}

}  // namespace rzl::cli
