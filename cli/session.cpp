#include "cli/session.h"

#include <QDir>
#include <QJsonArray>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdio>

#include "cli/output_lines.h"
#include "filestore/settings_writes.h"
#include "link/default_seams.h"
#include "link/device_link_check.h"
#include "platform/terminal.h"
#include "protocol/model_catalogue.h"
#include "protocol/request_builders.h"
#include "ui/setup/settings_backup.h"

namespace rzl::cli {

namespace {

// After a restart the module needs a moment to go down before identify means anything.
constexpr int kRestartSettleMs = 2000;
constexpr int kIdentifyRetryMs = 1000;
constexpr int kBarWidth = 40;

ResultWriter::Form formOf(const ControllerOptions& options) {
    if (options.json) return ResultWriter::Form::Json;
    return options.csv ? ResultWriter::Form::Csv : ResultWriter::Form::Text;
}

}  // namespace

QJsonObject IoJson(const DeviceSession& s) {
    return {{"do", s.doState}, {"di", s.diState}, {"doMask", s.doMask}, {"diMask", s.diMask}};
}

QJsonValue RssiJson(int raw) { return raw > 0 ? QJsonValue(raw - 65536) : QJsonValue(); }

QString RssiText(int raw) { return raw > 0 ? QStringLiteral("%1 dBm").arg(raw - 65536) : QStringLiteral("not reported"); }

void KeyLengthsHidden::notice(const Notice& n) {
    if (n.kind == Notice::Kind::SendingFile) keyFileSent_ = HoldsKey(n.text);
    if (hiding && keyFileSent_ && n.kind == Notice::Kind::TransferLength) return;
    ScreenDisplay::notice(n);
}

Session::Session(const ControllerOptions& options)
    : options_(options), writer_(formOf(options)), dialogs_(options.assumeYes) {
    WireDefaultSeams(ctx_);
    display_.hiding = !options_.verbose;
    dialogs_.quiet = options_.quiet;
    writer_.quiet = options_.quiet;
    dialogs_.beforePrinting = [this] { endProgressLine(); };
    writer_.beforePrinting = [this] { endProgressLine(); };
    ctx_.traffic.keepAtMost(0);  // --trace prints each frame as it passes; nothing reads them later
    // The status line and the hidden log reach the terminal as plain messages.
    QObject::connect(&screen_, &Screen::statusShown, [this](int bar, int panel, const QString& text) {
        if (bar == 2 && panel == 0 && !text.isEmpty()) message(text);
    });
    QObject::connect(&screen_, &Screen::logged, [this](const QString& line) {
        if (!quietLog_) message(line);
    });
    if (options_.trace) {
        // The frames as the desktop program's protocol view shows them; log lines arrive above.
        QObject::connect(&ctx_.traffic, &TrafficRecord::added, [](const TrafficEntry& entry) {
            if (entry.kind != TrafficEntry::Kind::Log) PrintLine(stderr, TrafficLine(entry));
        });
    }
}

void Session::begin(const QString& command, bool targetsModule, const QString& hostName) {
    writer_.report() = {command, {}, {}};
    if (!hostName.isEmpty()) writer_.report().module.insert("host", hostName);
    if (!targetsModule) return;
    writer_.report().module.insert("address", ctx_.session.deviceIp);
    writer_.report().module.insert("port", static_cast<int>(ctx_.session.tcpPort));
}

void Session::hideKey(const QString& key) {
    if (!options_.verbose) dialogs_.hiddenKeys.hide(key);
}

void Session::endProgressLine() {
    if (!progressLineOpen_) return;
    progressLineOpen_ = false;
    std::fputc('\n', stderr);
}

void Session::message(const QString& text) {
    if (options_.quiet) return;
    endProgressLine();
    PrintLine(stderr, dialogs_.hiddenKeys.apply(text));
    writer_.lastMessage = text;
}

void Session::show(const Box& box) {
    if (box.shown()) dialogs_.message(box.text, box.caption, box.icon);
}

void Session::warn(const QStringList& warnings) {
    if (warnings.isEmpty()) return;
    details().insert("warnings", QJsonArray::fromStringList(warnings));
    endProgressLine();
    for (const QString& warning : warnings) PrintLine(stderr, dialogs_.hiddenKeys.apply(QStringLiteral("rzlctl: warning: ") + warning));
}

LengthLog Session::lengthLog() {
    return [this](const QString& line, Measured what) {
        if (what == Measured::Key && !options_.verbose) return;
        ctx_.log(line);
    };
}

void Session::warnTypedKeys() {
    endProgressLine();
    for (const QString& warning : keys_.typedWarnings()) PrintLine(stderr, QStringLiteral("rzlctl: warning: ") + warning);
}

std::optional<ExitCode> Session::beginWrite() {
    if (!stopSignals_)
        stopSignals_ = std::make_unique<StopSignals>([this](int) {
            message(QStringLiteral("rzlctl: stopping after the step under way; a second signal ends rzlctl at once"));
        });
    const QString module = ctx_.session.deviceIp;
    switch (lock_.take(ctx_, options_.lockWaitS * 1000, stop())) {
    case ModuleLock::Result::Taken: return std::nullopt;
    case ModuleLock::Result::Unavailable:
        // The lock keeps two writers of this PC apart; without it the write still goes.
        message(QStringLiteral("rzlctl: warning: no lock of the module against other writers on this PC: ") + lock_.problem());
        return std::nullopt;
    case ModuleLock::Result::Stopped:
        return fail(stoppedOutcome(), stoppedText() + QStringLiteral(" while waiting for another program writing to ") +
                                          module + QStringLiteral("; nothing was sent"));
    case ModuleLock::Result::Busy: break;
    }
    const QString holder = lock_.holder() > 0 ? QStringLiteral("PID %1").arg(lock_.holder()) : QStringLiteral("another program");
    details().insert("writer", lock_.holder() > 0 ? QJsonValue(static_cast<qint64>(lock_.holder())) : QJsonValue());
    return fail(Outcome::Busy, QStringLiteral("%1 on this PC was writing to %2 for the whole %3 s waited (--lock-wait); "
                                              "nothing was sent")
                                   .arg(holder, module)
                                   .arg(options_.lockWaitS));
}

QString Session::stoppedText() const {
    return stoppedOutcome() == Outcome::Terminated ? QStringLiteral("stopped by SIGTERM") : QStringLiteral("stopped by SIGINT");
}

ExitCode Session::failStopped(const QString& doing) {
    return fail(stoppedOutcome(), doing.isEmpty() ? stoppedText() : stoppedText() + QStringLiteral(": ") + doing);
}

QString Session::refusalText() const {
    return dialogs_.refusedWithoutTerminal ? QStringLiteral("refused: standard input is not a terminal (use --yes)")
                                           : QStringLiteral("cancelled");
}

ExitCode Session::finish(Outcome outcome, const QStringList& lines, const QString& error) {
    return writer_.finish(outcome, lines, error);
}

ExitCode Session::done(const QJsonObject& more, const QStringList& lines) {
    Merge(details(), more);
    return finish(Outcome::Done, lines);
}

ExitCode Session::checkLink() {
    ctx_.host.workingDirectory = QDir::currentPath();
    // As in the desktop program, the marker file turns the check off; rzlctl leaves the file as it is.
    if (MarkerFilePresent(ctx_)) ctx_.host.linkCheckOff = true;
    if (ctx_.linkCheck()) return kExitDone;
    return fail(Outcome::NotLinked, screen_.main.label4.caption + QStringLiteral(" (no connected Wi-Fi interface on ") +
                                        ctx_.host.subnetPrefix + QStringLiteral("x; --no-link-check skips this check)"));
}

std::optional<ExitCode> Session::judged(const ExchangeOutcome& outcome, Role role, bool* confirmed) {
    const Judgement judgement = Judge(outcome, role);
    if (confirmed) *confirmed = judgement.confirmed;
    if (judgement.outcome == Outcome::Done) return std::nullopt;
    return fail(judgement.outcome, judgement.error);
}

void Session::noteModule(const Module& m) {
    const IdentifyReply& r = m.reply;
    writer_.report().identified = ModuleFacts{m.modelName, r.model, r.mac, r.firmware};
    if (r.address != ctx_.session.deviceIp) writer_.report().module.insert("reportedAddress", r.address);
}

std::optional<Module> Session::identify(ExitCode* ended) {
    const ExchangeOutcome sent = SendIdentify(ctx_);
    if (const std::optional<ExitCode> failed = judged(sent, Role::Read)) {
        *ended = *failed;
        return std::nullopt;
    }
    const IdentifyReply reply = IdentifyOf(sent.reply);
    const Module module{reply, ModelCatalogue::Lookup(reply.model).displayName};
    if (module.reply.address != ctx_.session.deviceIp) {
        if (!options_.acceptReportedAddress) {
            *ended = fail(Outcome::ForeignModule,
                          QStringLiteral("the identify reply came from a module at %1, not %2 (behind a port-forward or "
                                         "NAT? --accept-reported-address takes it)")
                              .arg(module.reply.address, ctx_.session.deviceIp));
            return std::nullopt;
        }
        message(QStringLiteral("rzlctl: the module at %1 reports the address %2 (accepted: --accept-reported-address)")
                    .arg(ctx_.session.deviceIp, module.reply.address));
    }
    noteModule(module);
    *ended = kExitDone;
    return module;
}

std::optional<Module> Session::tryIdentify() {
    ExchangeOutcome sent;
    {
        const QSignalBlocker quiet(&screen_);  // the attempts while it is down say nothing
        sent = SendIdentify(ctx_);
    }
    if (!sent.verdict.accepted()) return std::nullopt;
    const IdentifyReply reply = IdentifyOf(sent.reply);
    if (reply.address != ctx_.session.deviceIp && !options_.acceptReportedAddress) return std::nullopt;
    return Module{reply, ModelCatalogue::Lookup(reply.model).displayName};
}

std::optional<Module> Session::awaitIdentify(const QDeadlineTimer& deadline) {
    ctx_.clock.pause(static_cast<int>(std::min<qint64>(kRestartSettleMs, deadline.remainingTime())));
    for (;;) {
        if (stopped()) return std::nullopt;
        if (std::optional<Module> module = tryIdentify()) return module;
        if (deadline.hasExpired()) return std::nullopt;
        ctx_.clock.pause(static_cast<int>(std::min<qint64>(kIdentifyRetryMs, deadline.remainingTime())));
    }
}

// A bar redrawn in place on a terminal; otherwise one line per tenth. Both on standard error:
// standard output holds the result alone (with --json, its one object).
void Session::progress(qint64 written, qint64 length) {
    if (options_.quiet) return;
    const int percent = length > 0 ? static_cast<int>(written * 100 / length) : 100;
    const bool terminal = platform::IsTerminal(platform::StandardStream::Error);
    const int shown = terminal ? percent : percent / 10;
    if (shown == progressShown_) return;
    const int previous = progressShown_;
    progressShown_ = shown;
    if (terminal) {
        const int filled = percent * kBarWidth / 100;
        std::fprintf(stderr, "\r[%s%s] %3d %%  %lld/%lld bytes", QByteArray(filled, '#').constData(),
                     QByteArray(kBarWidth - filled, '.').constData(), percent, static_cast<long long>(written),
                     static_cast<long long>(length));
        progressLineOpen_ = true;
        if (written == length) endProgressLine();
        std::fflush(stderr);
    } else {
        // A line for every tenth, also those the acknowledgements passed in one step.
        for (int tenth = previous + 1; tenth <= shown; ++tenth)
            PrintLine(stderr, QStringLiteral("firmware: %1 %").arg(tenth * 10));
    }
}

}  // namespace rzl::cli
