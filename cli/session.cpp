#include "cli/session.h"

#include <QDir>
#include <QJsonArray>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdio>

#include "cli/output_lines.h"
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

void Merge(QJsonObject& into, const QJsonObject& from) {
    for (auto it = from.begin(); it != from.end(); ++it) into.insert(it.key(), it.value());
}

QJsonObject IoJson(const DeviceSession& s) {
    return {{"do", s.doState}, {"di", s.diState}, {"doMask", s.doMask}, {"diMask", s.diMask}};
}

QJsonValue RssiJson(int raw) { return raw > 0 ? QJsonValue(raw - 65536) : QJsonValue(); }

QString RssiText(int raw) { return raw > 0 ? QStringLiteral("%1 dBm").arg(raw - 65536) : QStringLiteral("not reported"); }

Session::Session(const ControllerOptions& options)
    : options_(options), writer_(formOf(options)), dialogs_(options.assumeYes) {
    WireDefaultSeams(ctx_);
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
    for (const QString& warning : warnings) message(QStringLiteral("rzlctl: warning: ") + warning);
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
    Merge(writer_.report().module, ModuleAboutJson(SettingsOf(r.settings, m.modelName, r.model, r.mac, r.firmware)));
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
        *ended = fail(Outcome::ForeignModule, QStringLiteral("the identify reply came from a module at %1, not %2")
                                                  .arg(module.reply.address, ctx_.session.deviceIp));
        return std::nullopt;
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
    if (reply.address != ctx_.session.deviceIp) return std::nullopt;
    return Module{reply, ModelCatalogue::Lookup(reply.model).displayName};
}

std::optional<Module> Session::awaitIdentify(const QDeadlineTimer& deadline) {
    ctx_.clock.pause(static_cast<int>(std::min<qint64>(kRestartSettleMs, deadline.remainingTime())));
    for (;;) {
        if (std::optional<Module> module = tryIdentify()) return module;
        if (deadline.hasExpired()) return std::nullopt;
        ctx_.clock.pause(static_cast<int>(std::min<qint64>(kIdentifyRetryMs, deadline.remainingTime())));
    }
}

// A bar redrawn in place on a terminal; otherwise one line per tenth. Both on standard error:
// standard output holds the result alone (with --json, its one object).
void Session::progress(qint64 written, qint64 length) {
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
