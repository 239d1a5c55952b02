#include "cli/controller.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <optional>

#include "cli/request_outcome.h"
#include "core/time_text.h"
#include "link/device_link_check.h"
#include "protocol/identify_reply.h"
#include "protocol/model_catalogue.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"

namespace rzl::cli {

namespace {

QString hex2(int value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); }

void printLine(std::FILE* stream, const QString& text) {
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

void merge(QJsonObject& into, const QJsonObject& from) {
    for (auto it = from.begin(); it != from.end(); ++it) into.insert(it.key(), it.value());
}

constexpr int kWatchFailureLimit = 5;

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

}  // namespace

Controller::Controller(const ControllerOptions& options)
    : options_(options), dialogs_(options.assumeYes), program_(dialogs_, clock_) {
    dialogs_.beforePrinting = [this] { endProgressLine(); };
    // rzlctl sends its own requests and ticks the supervisor itself when it needs the queue sent.
    program_.form1.timer1.stop();
    program_.form1.timer3.stop();
    program_.ctx.traffic.keepAtMost(0);  // --trace prints each frame as it passes; nothing reads them later
    Screen& screen = program_.screen;
    // The status line and the hidden log reach the terminal as plain messages.
    QObject::connect(&screen, &Screen::statusShown, [this](int bar, int panel, const QString& text) {
        if (bar == 2 && panel == 0 && !text.isEmpty()) printMessage(text);
    });
    QObject::connect(&screen, &Screen::logged, [this](const QString& line) {
        if (!quietLog_) printMessage(line);
    });
    if (options_.trace) {
        // The frames as the desktop program's protocol view shows them; log lines arrive above.
        QObject::connect(&program_.ctx.traffic, &TrafficRecord::added, [](const TrafficEntry& entry) {
            if (entry.kind != TrafficEntry::Kind::Log) printLine(stderr, TrafficLine(entry));
        });
    }
}

void Controller::endProgressLine() {
    if (!progressLineOpen_) return;
    progressLineOpen_ = false;
    std::fputc('\n', stderr);
}

void Controller::printMessage(const QString& text) {
    endProgressLine();
    printLine(stderr, text);
    lastMessage_ = text;
}

ExitCode Controller::fail(ExitCode code, const QString& message) {
    if (options_.json) {
        printLine(stdout, QString::fromUtf8(QJsonDocument(QJsonObject{{"error", message}, {"exit", code}})
                                                .toJson(QJsonDocument::Compact)));
    }
    endProgressLine();
    if (message != lastMessage_) printLine(stderr, QStringLiteral("rzlctl: ") + message);
    return code;
}

void Controller::emitResult(const QJsonObject& json, const QStringList& lines) {
    if (options_.json) {
        printLine(stdout, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
    } else {
        for (const QString& line : lines) printLine(stdout, line);
    }
}

ExitCode Controller::checkLink() {
    Context& c = ctx();
    c.host.workingDirectory = QDir::currentPath();
    // As in the desktop program, the marker file turns the check off; rzlctl leaves the file as it is.
    if (QFileInfo::exists(MarkerFilePath(c))) c.screen.main.checkBox1 = true;
    if (c.linkCheck()) return kExitDone;
    return fail(kExitNotLinked, c.screen.main.label4.caption + QStringLiteral(" (no connected Wi-Fi interface on ") +
                                    c.host.subnetPrefix + QStringLiteral("x; --no-link-check skips this check)"));
}

bool Controller::confirm(const QString& text) {
    if (dialogs_.confirm(text, QStringLiteral("Confirm"))) return true;
    return false;
}

ExitCode Controller::sendQueuedNow() {
    RequestOutcome outcome(ctx());
    ctx().session.superviseTicks = 0;  // the next tick is an ordinary one: it sends the queue
    program_.form1.Timer3Timer();
    QString why;
    const ExitCode code = outcome.verdict(&why);
    return code == kExitDone ? code : fail(code, why);
}

QJsonObject Controller::ioJson() const {
    const DeviceSession& s = program_.ctx.session;
    return {{"do", s.doState}, {"di", s.diState}, {"doMask", s.doMask}, {"diMask", s.diMask}};
}

QJsonObject Controller::countersJson() const {
    QJsonArray values;
    for (std::uint32_t v : program_.ctx.session.diCounters) values.append(static_cast<qint64>(v));
    return {{"command", "counters"}, {"counters", values}};
}

ExitCode Controller::identify(bool print) {
    Context& c = ctx();
    QString why;
    {
        RequestOutcome outcome(c);
        SendIdentify(c);
        const ExitCode code = outcome.verdict(&why);
        if (code != kExitDone) return fail(code, why);
    }
    const ReplyReader reply(c.session.rxFrame.data(), kRxFrameSize);
    if (!c.session.deviceIdentified) {
        return fail(kExitForeignModule, QStringLiteral("the identify reply came from a module at %1, not %2")
                                            .arg(reply.moduleAddressText(), c.session.deviceIp));
    }
    if (!print) return kExitDone;

    const int code = reply.byte(identify::kModel);
    const DeviceInfo& info = c.info;
    const int rssiRaw = reply.u16(identify::kRssi);
    const QString firmware = reply.firmwareText().mid(1);
    QJsonObject settings{
        {"apSsid", fromAnsi(info.apSsid)},
        {"apSecured", info.apSecured},
        {"staSsid", fromAnsi(info.staSsid)},
        {"staKeyType", info.staKeyType},
        {"wifiMode", info.wifiModeAp ? "AP" : "Station"},
        {"modbusPort", static_cast<int>(info.modbusPort)},
        {"modbusIdleTimeout", static_cast<int>(info.modbusIdleTimeout)},
        {"staticIp", info.staticIpEnabled},
        {"staIp", dottedText(info.staIp)},
        {"staNetmask", dottedText(info.staNetmask)},
        {"staGateway", dottedText(info.staGateway)},
    };
    QJsonObject json{{"command", "identify"},
                     {"model", c.screen.main.label4.caption},
                     {"code", code},
                     {"address", reply.moduleAddressText()},
                     {"mac", reply.macText()},
                     {"firmware", firmware},
                     {"location", fromAnsi(info.location)},
                     {"settings", settings}};
    if (rssiRaw > 0) json.insert("rssi", rssiRaw - 65536);
    merge(json, ioJson());

    const auto keyType = [](int t) {
        return t == 0 ? QStringLiteral("open") : t == 1 ? QStringLiteral("WEP") : QStringLiteral("WPA/WPA2");
    };
    QStringList lines{
        QStringLiteral("Model:        %1 (code %2)").arg(c.screen.main.label4.caption).arg(code),
        QStringLiteral("Address:      %1").arg(reply.moduleAddressText()),
        QStringLiteral("MAC:          %1").arg(reply.macText()),
        QStringLiteral("Firmware:     V%1").arg(firmware),
        QStringLiteral("RSSI:         %1").arg(rssiRaw > 0 ? QStringLiteral("%1 dBm").arg(rssiRaw - 65536)
                                                          : QStringLiteral("not reported")),
        QStringLiteral("Location:     %1").arg(fromAnsi(info.location)),
        QStringLiteral("DO:           %1 (mask %2)").arg(hex2(c.session.doState), hex2(c.session.doMask)),
        QStringLiteral("DI:           %1 (mask %2)").arg(hex2(c.session.diState), hex2(c.session.diMask)),
        QStringLiteral("Wi-Fi mode:   %1").arg(info.wifiModeAp ? QStringLiteral("AP") : QStringLiteral("Station")),
        QStringLiteral("AP SSID:      %1 (%2)").arg(fromAnsi(info.apSsid), info.apSecured ? QStringLiteral("WPA/WPA2") : QStringLiteral("open")),
        QStringLiteral("Station SSID: %1 (%2)").arg(fromAnsi(info.staSsid), keyType(info.staKeyType)),
        QStringLiteral("Static IP:    %1").arg(info.staticIpEnabled
                                                    ? QStringLiteral("%1 mask %2 gateway %3")
                                                          .arg(dottedText(info.staIp), dottedText(info.staNetmask),
                                                               dottedText(info.staGateway))
                                                    : QStringLiteral("off")),
        QStringLiteral("Modbus:       port %1, idle timeout %2 s").arg(info.modbusPort).arg(info.modbusIdleTimeout),
    };
    emitResult(json, lines);
    return kExitDone;
}

ExitCode Controller::status() {
    // The model's masks come from the identify reply; the state is read through them.
    if (const ExitCode code = identify(false); code != kExitDone) return code;
    Context& c = ctx();
    RequestOutcome outcome(c);
    SendPoll(c);
    QString why;
    if (const ExitCode code = outcome.verdict(&why); code != kExitDone) return fail(code, why);
    const int rssiRaw = ReplyReader(c.session.rxFrame.data(), kRxFrameSize).u16(8);
    QJsonObject json{{"command", "status"}};
    merge(json, ioJson());
    if (rssiRaw > 0) json.insert("rssi", rssiRaw - 65536);
    emitResult(json, {QStringLiteral("DO: %1  DI: %2  RSSI: %3")
                          .arg(hex2(c.session.doState), hex2(c.session.diState),
                               rssiRaw > 0 ? QStringLiteral("%1 dBm").arg(rssiRaw - 65536)
                                           : QStringLiteral("not reported"))});
    return kExitDone;
}

QString Controller::refusalText() const {
    return dialogs_.refusedWithoutTerminal ? QStringLiteral("refused: standard input is not a terminal (use --yes)")
                                           : QStringLiteral("cancelled");
}

ExitCode Controller::refusedConfirmation() { return fail(kExitUsage, refusalText()); }

ExitCode Controller::setOutput(int output, bool on) {
    if (const ExitCode code = identify(false); code != kExitDone) return code;
    Context& c = ctx();
    if (!c.screen.main.doButtons[output].enabled)
        return fail(kExitUsage, QStringLiteral("DO%1 is not an output of %2").arg(output).arg(c.screen.main.label4.caption));
    if (!confirm(QStringLiteral("Switch DO%1 %2?").arg(output).arg(on ? "on" : "off")))
        return refusedConfirmation();
    QueueSetOutput(c, static_cast<std::uint8_t>(output + 1), on ? 1 : 0);
    if (const ExitCode code = sendQueuedNow(); code != kExitDone) return code;
    const bool nowOn = (c.session.doState >> output) & 1;
    QJsonObject json{{"command", "set-do"}, {"output", output}, {"on", nowOn}};
    merge(json, ioJson());
    emitResult(json, {QStringLiteral("DO%1 %2  DO: %3  DI: %4")
                          .arg(output)
                          .arg(nowOn ? "On" : "Off")
                          .arg(hex2(c.session.doState), hex2(c.session.diState))});
    if (nowOn != on) return fail(kExitNoReply, QStringLiteral("the module did not switch DO%1").arg(output));
    return kExitDone;
}

ExitCode Controller::locate() {
    QueueLocate(ctx());
    if (const ExitCode code = sendQueuedNow(); code != kExitDone) return code;
    emitResult({{"command", "locate"}, {"done", true}}, {QStringLiteral("Set Locator done!")});
    return kExitDone;
}

ExitCode Controller::counters() {
    QueueCounterRead(ctx());
    if (const ExitCode code = sendQueuedNow(); code != kExitDone) return code;
    QStringList lines;
    for (int i = 0; i < 8; ++i) lines.append(QStringLiteral("DI%1: %2").arg(i).arg(ctx().session.diCounters[i]));
    emitResult(countersJson(), lines);
    return kExitDone;
}

ExitCode Controller::clearCounter(int input) {
    Context& c = ctx();
    if (!confirm(QStringLiteral("Clear the counter of DI%1?").arg(input)))
        return refusedConfirmation();
    {
        RequestOutcome outcome(c);
        SendCounterClear(c, static_cast<std::uint8_t>(input));
        QString why;
        if (const ExitCode code = outcome.verdict(&why); code != kExitDone) return fail(code, why);
    }
    return counters();
}

ExitCode Controller::watch() {
    if (const ExitCode code = identify(false); code != kExitDone) return code;
    Context& c = ctx();
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    int changes = 0;
    int lastDo = -1, lastDi = -1;
    std::optional<std::array<std::uint32_t, 8>> lastCounters;
    // The counters travel through the queue, as the counter window reads them.
    const auto readCounters = [&](QString* why) {
        RequestOutcome outcome(c);
        QueueCounterRead(c);
        c.session.superviseTicks = 0;
        quietLog_ = true;
        program_.form1.Timer3Timer();
        quietLog_ = false;
        return outcome.verdict(why);
    };
    if (options_.csv) {
        QString header = QStringLiteral("time,do,di");
        if (options_.watchCounters)
            for (int i = 0; i < 8; ++i) header += QStringLiteral(",counter%1").arg(i);
        printLine(stdout, header);
    }
    // A module that stops answering ends the watch: after this many failed polls in a row, or
    // fewer when --count asks for fewer results.
    const int failureLimit = options_.watchMaxChanges > 0 ? std::min(kWatchFailureLimit, options_.watchMaxChanges)
                                                          : kWatchFailureLimit;
    int failures = 0;
    QString lastFailure;
    bool polling = false;  // the exchange's wait runs the timers: no poll inside a poll
    const auto poll = [&] {
        if (interrupted) return QCoreApplication::quit();
        if (polling) return;
        polling = true;
        QString why;
        ExitCode code;
        {
            RequestOutcome outcome(c);
            SendPoll(c);
            code = outcome.verdict(&why);
        }
        if (code == kExitDone && options_.watchCounters) code = readCounters(&why);
        polling = false;
        if (code != kExitDone) {
            printLine(stderr, QStringLiteral("rzlctl: poll failed: ") + why);
            lastFailure = why;
            if (++failures >= failureLimit) QCoreApplication::exit(1);
            return;
        }
        failures = 0;
        const auto counters = options_.watchCounters ? std::optional(c.session.diCounters) : std::nullopt;
        if (c.session.doState == lastDo && c.session.diState == lastDi && counters == lastCounters) return;
        lastDo = c.session.doState;
        lastDi = c.session.diState;
        lastCounters = counters;
        const QDateTime now = QDateTime::currentDateTime();
        if (options_.csv) {
            QString line = QStringLiteral("%1,%2,%3")
                               .arg(IsoTimeWithOffset(now))
                               .arg(lastDo)
                               .arg(lastDi);
            if (counters)
                for (std::uint32_t value : *counters) line += u',' + QString::number(value);
            printLine(stdout, line);
        } else {
            QJsonObject json{{"command", "watch"}, {"time", IsoTimeWithOffset(now)}};
            merge(json, ioJson());
            QString line = QStringLiteral("%1  DO: %2  DI: %3")
                               .arg(now.toString(QStringLiteral("HH:mm:ss.zzz")), hex2(lastDo), hex2(lastDi));
            if (counters) {
                merge(json, {{"counters", countersJson()["counters"]}});
                QStringList values;
                for (std::uint32_t value : *counters) values.append(QString::number(value));
                line += QStringLiteral("  counters: ") + values.join(u' ');
            }
            emitResult(json, {line});
        }
        if (options_.watchMaxChanges > 0 && ++changes >= options_.watchMaxChanges) QCoreApplication::quit();
    };
    QTimer timer;
    timer.setInterval(options_.watchIntervalMs);
    QObject::connect(&timer, &QTimer::timeout, poll);
    QTimer interruptCheck;
    QObject::connect(&interruptCheck, &QTimer::timeout, [] {
        if (interrupted) QCoreApplication::quit();
    });
    interruptCheck.start(50);
    timer.start();
    QTimer::singleShot(0, poll);
    if (QCoreApplication::exec() != 0) {
        lastMessage_.clear();  // the verdict says how many polls failed, after their own lines
        return fail(kExitNoReply, QStringLiteral("%1 polls in a row failed, the last with: %2").arg(failures).arg(lastFailure));
    }
    return kExitDone;
}

}  // namespace rzl::cli
