// rzlctl's maintenance commands and the firmware update, on the setup window's operations.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "cli/controller.h"
#include "core/frame.h"
#include "platform/terminal.h"
#include "protocol/identify_reply.h"
#include "protocol/request_builders.h"

namespace rzl::cli {

namespace {

const QString kMatchText = QStringLiteral("F/W update Complete! Reboot to take effect");
const QString kMismatchText = QStringLiteral("Update F/W fail with Error! Please retry again.");
const QString kAbortText = QStringLiteral("Retry timeout, abort transfer!");

// After the reboot command the module needs a moment to go down before identify means anything.
constexpr int kRebootSettleMs = 2000;
constexpr int kIdentifyRetryMs = 1000;
constexpr int kBarWidth = 40;

void printTo(std::FILE* stream, const QString& text) {
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

}  // namespace

ExitCode Controller::maintenanceResult(MaintenanceOutcome outcome, const QString& command) {
    switch (outcome) {
    case MaintenanceOutcome::Done:
        emitResult({{"command", command}, {"sent", true}}, {command + QStringLiteral(": sent")});
        return kExitDone;
    case MaintenanceOutcome::Cancelled: return refusedConfirmation();
    case MaintenanceOutcome::NotLinked: return fail(kExitNotLinked, QStringLiteral("the link check failed; nothing sent"));
    case MaintenanceOutcome::Failed: break;
    }
    return fail(kExitUnreachable, QStringLiteral("%1 was not sent").arg(command));
}

ExitCode Controller::wifiMode(bool ap) {
    SetupView& setup = ctx().screen.setup;
    setup.radioButton6 = ap;
    setup.radioButton7 = !ap;
    return maintenanceResult(SwitchWifiMode(ctx()), QStringLiteral("wifi-mode"));
}

ExitCode Controller::resetDefaults() { return maintenanceResult(ResetToDefault(ctx()), QStringLiteral("reset-defaults")); }

ExitCode Controller::reboot() { return maintenanceResult(RebootDevice(ctx()), QStringLiteral("reboot")); }

// A bar redrawn in place on a terminal; otherwise one line (or JSON object) per tenth.
void Controller::showProgress(qint64 written, qint64 length) {
    const int percent = length > 0 ? static_cast<int>(written * 100 / length) : 100;
    const bool terminal = !options_.json && platform::IsTerminal(platform::StandardStream::Error);
    const int shown = terminal ? percent : percent / 10;
    if (shown == progressShown_) return;
    const int previous = progressShown_;
    progressShown_ = shown;
    if (options_.json) {
        printTo(stdout, QString::fromUtf8(QJsonDocument(QJsonObject{{"command", "firmware"},
                                                                    {"progress", shown * 10},
                                                                    {"written", written},
                                                                    {"length", length}})
                                              .toJson(QJsonDocument::Compact)));
    } else if (terminal) {
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
            printTo(stderr, QStringLiteral("firmware: %1 %").arg(tenth * 10));
    }
}

// The module's answer to the checksum query, through the same re-send rule as the desktop
// program: Timer1 repeats the query every 4 s; with no link supervision here to reset the count,
// the fourth expiry gives up.
// `verdict` is the last of those texts shown since the update began.
ExitCode Controller::awaitChecksumReply(const QString& verdict) {
    Context& c = ctx();
    if (c.session.retryPending) {
        QEventLoop loop;
        QTimer done;
        QObject::connect(&done, &QTimer::timeout, &loop, [&] {
            if (!c.session.retryPending) loop.quit();
        });
        done.start(20);
        program_.form1.timer1.start();
        loop.exec();
        program_.form1.timer1.stop();
    }
    if (verdict == kMatchText) return kExitDone;
    if (verdict == kMismatchText) return fail(kExitNoReply, QStringLiteral("the module's checksum differs from the image's"));
    if (verdict == kAbortText) return fail(kExitNoReply, QStringLiteral("no answer to the checksum query"));
    return fail(kExitNoReply, QStringLiteral("checksum reply not accepted (status %1)").arg(c.session.rxFrame[kStatusByte]));
}

// After a 2 s pause, identifies until the module answers (false when it does not within the
// deadline). The attempts while it is busy or down say nothing.
bool Controller::awaitIdentify(const QDeadlineTimer& deadline) {
    Context& c = ctx();
    c.clock.pause(static_cast<int>(std::min<qint64>(kRebootSettleMs, deadline.remainingTime())));
    for (;;) {
        c.session.deviceIdentified = false;
        bool back = false;
        {
            const QSignalBlocker quiet(&c.screen);
            back = SendIdentify(c).result == ExchangeResult::Replied && c.session.deviceIdentified;
        }
        if (back) return true;
        if (deadline.hasExpired()) return false;
        c.clock.pause(static_cast<int>(std::min<qint64>(kIdentifyRetryMs, deadline.remainingTime())));
    }
}

// Reboot, then identify until the module answers again (bounded), and report its firmware.
ExitCode Controller::rebootAndIdentify(int waitS, QJsonObject& json, QStringList& lines) {
    Context& c = ctx();
    if (!SendReboot(c).delivered()) return fail(kExitUnreachable, QStringLiteral("the reboot command was not sent"));
    printMessage(QStringLiteral("Reboot sent; waiting up to %1 s for the module to answer again").arg(waitS));
    if (!awaitIdentify(QDeadlineTimer(static_cast<qint64>(waitS) * 1000)))
        return fail(kExitUnreachable,
                    QStringLiteral("the module did not answer identify within %1 s after the reboot").arg(waitS));
    const QString version = ReplyReader(c.session.rxFrame.data(), kRxFrameSize).firmwareText();
    json.insert("firmware", version.mid(1));
    lines.append(QStringLiteral("Firmware:     %1 (after the reboot)").arg(version));
    return kExitDone;
}

ExitCode Controller::firmware(const QString& file) {
    // The identify reply tells which of the two update variants the module takes.
    if (const ExitCode code = identify(false); code != kExitDone) return code;
    Context& c = ctx();
    QString verdict;
    const auto connection = QObject::connect(&c.screen, &Screen::statusShown, [&](int bar, int panel, const QString& text) {
        if (bar == 2 && panel == 0 && (text == kMatchText || text == kMismatchText || text == kAbortText)) verdict = text;
    });
    const auto stopWatching = qScopeGuard([&] { QObject::disconnect(connection); });
    const FirmwareOutcome outcome =
        StartFirmwareUpdate(c, file, [this](qint64 written, qint64 length) { showProgress(written, length); });

    QJsonObject json{{"command", "firmware"}, {"file", QFileInfo(file).fileName()}};
    QStringList lines;
    ExitCode code = kExitDone;
    switch (outcome) {
    case FirmwareOutcome::Cancelled: return refusedConfirmation();
    case FirmwareOutcome::NotLinked: return fail(kExitNotLinked, QStringLiteral("the link check failed; nothing sent"));
    case FirmwareOutcome::Refused: return fail(kExitUsage, QStringLiteral("%1: not sent").arg(file));
    case FirmwareOutcome::HeaderFailed:
    case FirmwareOutcome::StreamFailed:
    case FirmwareOutcome::ClosingFailed: return fail(kExitUnreachable, QStringLiteral("the firmware update did not complete"));
    case FirmwareOutcome::Activated:
        json.insert("verified", false);
        lines.append(QStringLiteral("Image sent and activated; this model does not report a checksum"));
        break;
    case FirmwareOutcome::Queried:
        code = awaitChecksumReply(verdict);
        if (code != kExitDone) return code;
        json.insert("verified", true);
        lines.append(QStringLiteral("Image sent; the module's checksum matches"));
        break;
    }
    const QString sum = QStringLiteral("%1").arg(c.transfer.imageByteSum, 8, 16, QLatin1Char('0')).toUpper();
    json.insert("sum", sum);
    lines.prepend(QStringLiteral("Checksum:     %1").arg(sum));
    if (options_.rebootAfter) {
        // What the update achieved is said before the restart, which may fail on its own.
        printMessage(lines.last());
        if (outcome == FirmwareOutcome::Activated) {
            // The module may still be writing the activated image: never reboot it at once.
            printMessage(QStringLiteral("Waiting up to %1 s until the module has stored the image and answers again")
                             .arg(options_.rebootWaitS));
            if (!awaitIdentify(QDeadlineTimer(static_cast<qint64>(options_.rebootWaitS) * 1000)))
                return fail(kExitUnreachable, QStringLiteral("the module did not answer identify after the activation; "
                                                             "not rebooted"));
        }
        if (const ExitCode rebooted = rebootAndIdentify(options_.rebootWaitS, json, lines); rebooted != kExitDone)
            return rebooted;
    }
    emitResult(json, lines);
    return kExitDone;
}

}  // namespace rzl::cli
