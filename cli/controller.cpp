#include "cli/controller.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

#include "cli/output_lines.h"
#include "cli/request_outcome.h"
#include "link/device_link_check.h"
#include "protocol/identify_reply.h"
#include "protocol/model_catalogue.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"
#include "ui/setup/settings_backup.h"

namespace rzl::cli {

namespace {

void merge(QJsonObject& into, const QJsonObject& from) {
    for (auto it = from.begin(); it != from.end(); ++it) into.insert(it.key(), it.value());
}

QJsonValue rssiJson(int raw) { return raw > 0 ? QJsonValue(raw - 65536) : QJsonValue(); }
QString rssiText(int raw) { return raw > 0 ? QStringLiteral("%1 dBm").arg(raw - 65536) : QStringLiteral("not reported"); }

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
            if (entry.kind != TrafficEntry::Kind::Log) PrintLine(stderr, TrafficLine(entry));
        });
    }
}

void Controller::begin(const QString& command, bool targetsModule, const QString& hostName) {
    report_ = {command, {}, {}};
    if (!hostName.isEmpty()) report_.module.insert("host", hostName);
    if (!targetsModule) return;
    report_.module.insert("address", ctx().session.deviceIp);
    report_.module.insert("port", static_cast<int>(ctx().session.tcpPort));
}

void Controller::hideKey(const QString& key) {
    if (!options_.verbose) dialogs_.hiddenKeys.hide(key);
}

void Controller::endProgressLine() {
    if (!progressLineOpen_) return;
    progressLineOpen_ = false;
    std::fputc('\n', stderr);
}

void Controller::printMessage(const QString& text) {
    endProgressLine();
    PrintLine(stderr, dialogs_.hiddenKeys.apply(text));
    lastMessage_ = text;
}

ExitCode Controller::finish(Outcome outcome, const QStringList& lines, const QString& error) {
    endProgressLine();
    if (options_.json)
        PrintLine(stdout, QString::fromUtf8(ResultLine(report_, outcome, error)));
    else
        printLines(lines);
    if (outcome != Outcome::Done && !error.isEmpty() && error != lastMessage_)
        PrintLine(stderr, QStringLiteral("rzlctl: ") + error);
    return ExitCodeOf(outcome);
}

void Controller::emitResult(const QJsonObject& details, const QStringList& lines) {
    merge(report_.details, details);
    finish(Outcome::Done, lines);
}

void Controller::printLines(const QStringList& lines) {
    if (options_.json) return;
    for (const QString& line : lines) PrintLine(stdout, line);
}

ExitCode Controller::checkLink() {
    Context& c = ctx();
    c.host.workingDirectory = QDir::currentPath();
    // As in the desktop program, the marker file turns the check off; rzlctl leaves the file as it is.
    if (QFileInfo::exists(MarkerFilePath(c))) c.screen.main.checkBox1 = true;
    if (c.linkCheck()) return kExitDone;
    return fail(Outcome::NotLinked, c.screen.main.label4.caption + QStringLiteral(" (no connected Wi-Fi interface on ") +
                                        c.host.subnetPrefix + QStringLiteral("x; --no-link-check skips this check)"));
}

bool Controller::confirm(const QString& text) {
    if (dialogs_.confirm(text, QStringLiteral("Confirm"))) return true;
    return false;
}

Outcome Controller::sendQueuedNow(QString* why) {
    RequestOutcome outcome(ctx());
    ctx().session.superviseTicks = 0;  // the next tick is an ordinary one: it sends the queue
    program_.form1.Timer3Timer();
    return outcome.verdict(why);
}

QJsonObject Controller::ioJson() const {
    const DeviceSession& s = program_.ctx.session;
    return {{"do", s.doState}, {"di", s.diState}, {"doMask", s.doMask}, {"diMask", s.diMask}};
}

QJsonArray Controller::countersJson() const {
    QJsonArray values;
    for (std::uint32_t v : program_.ctx.session.diCounters) values.append(static_cast<qint64>(v));
    return values;
}

void Controller::noteModule() {
    const Context& c = ctx();
    const ReplyReader reply(c.session.rxFrame.data(), kRxFrameSize);
    merge(report_.module, ModuleAboutJson(SettingsOf(c.info, c.screen.main.label4.caption, reply.byte(identify::kModel),
                                                     reply.macText(), reply.firmwareText().mid(1))));
}

ExitCode Controller::identify(bool print) {
    Context& c = ctx();
    QString why;
    {
        RequestOutcome outcome(c);
        SendIdentify(c);
        if (const Outcome failed = outcome.verdict(&why); failed != Outcome::Done) return fail(failed, why);
    }
    const ReplyReader reply(c.session.rxFrame.data(), kRxFrameSize);
    if (!c.session.deviceIdentified) {
        return fail(Outcome::ForeignModule, QStringLiteral("the identify reply came from a module at %1, not %2")
                                                .arg(reply.moduleAddressText(), c.session.deviceIp));
    }
    noteModule();
    if (!print) return kExitDone;

    const int code = reply.byte(identify::kModel);
    const DeviceInfo& info = c.info;
    const int rssiRaw = reply.u16(identify::kRssi);
    const QString firmware = reply.firmwareText().mid(1);
    const SavedSettings settings = SettingsOf(info, c.screen.main.label4.caption, code, reply.macText(), firmware);
    QJsonObject details{{"rssi", rssiJson(rssiRaw)}, {"settings", SettingsGroupsJson(settings)}};
    merge(details, ioJson());

    const auto keyType = [](int t) {
        return t == 0 ? QStringLiteral("open") : t == 1 ? QStringLiteral("WEP") : QStringLiteral("WPA/WPA2");
    };
    const QStringList lines{
        QStringLiteral("Model:        %1 (code %2)").arg(c.screen.main.label4.caption).arg(code),
        QStringLiteral("Address:      %1").arg(reply.moduleAddressText()),
        QStringLiteral("MAC:          %1").arg(reply.macText()),
        QStringLiteral("Firmware:     V%1").arg(firmware),
        QStringLiteral("RSSI:         %1").arg(rssiText(rssiRaw)),
        QStringLiteral("Location:     %1").arg(fromAnsi(info.location)),
        QStringLiteral("DO:           %1 (mask %2)").arg(Hex2(c.session.doState), Hex2(c.session.doMask)),
        QStringLiteral("DI:           %1 (mask %2)").arg(Hex2(c.session.diState), Hex2(c.session.diMask)),
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
    emitResult(details, lines);
    return kExitDone;
}

ExitCode Controller::status() {
    // The model's masks come from the identify reply; the state is read through them.
    if (const ExitCode code = identify(false); code != kExitDone) return code;
    Context& c = ctx();
    RequestOutcome outcome(c);
    SendPoll(c);
    QString why;
    if (const Outcome failed = outcome.verdict(&why); failed != Outcome::Done) return fail(failed, why);
    const int rssiRaw = ReplyReader(c.session.rxFrame.data(), kRxFrameSize).u16(8);
    QJsonObject details{{"rssi", rssiJson(rssiRaw)}};
    merge(details, ioJson());
    emitResult(details, {QStringLiteral("DO: %1  DI: %2  RSSI: %3")
                             .arg(Hex2(c.session.doState), Hex2(c.session.diState), rssiText(rssiRaw))});
    return kExitDone;
}

QString Controller::refusalText() const {
    return dialogs_.refusedWithoutTerminal ? QStringLiteral("refused: standard input is not a terminal (use --yes)")
                                           : QStringLiteral("cancelled");
}

ExitCode Controller::refusedConfirmation() { return fail(Outcome::Cancelled, refusalText()); }

ExitCode Controller::setOutput(int output, bool on) {
    if (const ExitCode code = identify(false); code != kExitDone) return code;
    Context& c = ctx();
    report_.details = {{"output", output}, {"requested", on ? "on" : "off"}};
    if (!c.screen.main.doButtons[output].enabled)
        return fail(Outcome::Invalid, QStringLiteral("DO%1 is not an output of %2").arg(output).arg(c.screen.main.label4.caption));
    if (!confirm(QStringLiteral("Switch DO%1 %2?").arg(output).arg(on ? "on" : "off")))
        return refusedConfirmation();
    QueueSetOutput(c, static_cast<std::uint8_t>(output + 1), on ? 1 : 0);
    QString why;
    if (const Outcome failed = sendQueuedNow(&why); failed != Outcome::Done) return fail(failed, why);
    const bool nowOn = (c.session.doState >> output) & 1;
    merge(report_.details, ioJson());
    report_.details.insert("on", nowOn);
    const QStringList lines{QStringLiteral("DO%1 %2  DO: %3  DI: %4")
                                .arg(output)
                                .arg(nowOn ? "On" : "Off")
                                .arg(Hex2(c.session.doState), Hex2(c.session.diState))};
    if (nowOn != on)
        return finish(Outcome::Mismatch, lines, QStringLiteral("the module did not switch DO%1").arg(output));
    return finish(Outcome::Done, lines);
}

ExitCode Controller::locate() {
    QueueLocate(ctx());
    QString why;
    if (const Outcome failed = sendQueuedNow(&why); failed != Outcome::Done) return fail(failed, why);
    emitResult({}, {QStringLiteral("Set Locator done!")});
    return kExitDone;
}

ExitCode Controller::counters() {
    QueueCounterRead(ctx());
    QString why;
    if (const Outcome failed = sendQueuedNow(&why); failed != Outcome::Done) return fail(failed, why);
    QStringList lines;
    for (int i = 0; i < 8; ++i) lines.append(QStringLiteral("DI%1: %2").arg(i).arg(ctx().session.diCounters[i]));
    emitResult({{"counters", countersJson()}}, lines);
    return kExitDone;
}

ExitCode Controller::clearCounter(int input) {
    Context& c = ctx();
    report_.details.insert("input", input);
    if (!confirm(QStringLiteral("Clear the counter of DI%1?").arg(input)))
        return refusedConfirmation();
    {
        RequestOutcome outcome(c);
        SendCounterClear(c, static_cast<std::uint8_t>(input));
        QString why;
        if (const Outcome failed = outcome.verdict(&why); failed != Outcome::Done) return fail(failed, why);
    }
    return counters();
}

}  // namespace rzl::cli
