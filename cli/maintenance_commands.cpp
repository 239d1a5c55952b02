// rzlctl's maintenance commands and the firmware update, on the setup window's operations.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "cli/controller.h"
#include "cli/output_lines.h"
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

}  // namespace

ExitCode Controller::maintenanceResult(MaintenanceOutcome outcome) {
    const QString& command = report_.command;
    switch (outcome) {
    case MaintenanceOutcome::Done: return finish(Outcome::Done, {command + QStringLiteral(": sent")});
    case MaintenanceOutcome::Cancelled: return refusedConfirmation();
    case MaintenanceOutcome::NotLinked: return fail(Outcome::NotLinked, QStringLiteral("the link check failed; nothing sent"));
    case MaintenanceOutcome::Failed: break;
    }
    return fail(Outcome::NotSent, QStringLiteral("%1 was not sent").arg(command));
}

ExitCode Controller::wifiMode(bool ap) {
    SetupView& setup = ctx().screen.setup;
    setup.radioButton6 = ap;
    setup.radioButton7 = !ap;
    report_.details.insert("mode", ap ? "AP" : "Station");
    return maintenanceResult(SwitchWifiMode(ctx()));
}

ExitCode Controller::resetDefaults() { return maintenanceResult(ResetToDefault(ctx())); }

ExitCode Controller::reboot() { return maintenanceResult(RebootDevice(ctx())); }

// A bar redrawn in place on a terminal; otherwise one line per tenth. Both on standard error:
// standard output holds the result alone (with --json, its one object).
void Controller::showProgress(qint64 written, qint64 length) {
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
    if (verdict == kMismatchText) return fail(Outcome::Mismatch, QStringLiteral("the module's checksum differs from the image's"));
    if (verdict == kAbortText) return fail(Outcome::NoReply, QStringLiteral("no answer to the checksum query"));
    return fail(Outcome::Refused, QStringLiteral("checksum reply not accepted (status %1)").arg(c.session.rxFrame[kStatusByte]));
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
ExitCode Controller::rebootAndIdentify(int waitS, QStringList& lines) {
    Context& c = ctx();
    if (!SendReboot(c).delivered()) return fail(Outcome::NotSent, QStringLiteral("the reboot command was not sent"));
    report_.details.insert("rebooted", true);
    printMessage(QStringLiteral("Reboot sent; waiting up to %1 s for the module to answer again").arg(waitS));
    if (!awaitIdentify(QDeadlineTimer(static_cast<qint64>(waitS) * 1000)))
        return fail(Outcome::Unreachable,
                    QStringLiteral("the module did not answer identify within %1 s after the reboot").arg(waitS));
    noteModule();  // the module as it now reports itself: its firmware is the new one
    const QString version = ReplyReader(c.session.rxFrame.data(), kRxFrameSize).firmwareText();
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

    report_.details.insert("file", QFileInfo(file).fileName());
    QStringList lines;
    const auto noteSum = [&] {
        report_.details.insert("sum", QStringLiteral("%1").arg(c.transfer.imageByteSum, 8, 16, QLatin1Char('0')).toUpper());
    };
    switch (outcome) {
    case FirmwareOutcome::Cancelled: return refusedConfirmation();
    case FirmwareOutcome::NotLinked: return fail(Outcome::NotLinked, QStringLiteral("the link check failed; nothing sent"));
    case FirmwareOutcome::Refused: return fail(Outcome::Invalid, QStringLiteral("%1: not sent").arg(file));
    case FirmwareOutcome::HeaderFailed:
    case FirmwareOutcome::StreamFailed:
    case FirmwareOutcome::ClosingFailed: return fail(Outcome::NotSent, QStringLiteral("the firmware update did not complete"));
    case FirmwareOutcome::Activated:
        report_.details.insert("verified", false);
        lines.append(QStringLiteral("Image sent and activated; this model does not report a checksum"));
        break;
    case FirmwareOutcome::Queried:
        noteSum();
        if (const ExitCode code = awaitChecksumReply(verdict); code != kExitDone) return code;
        report_.details.insert("verified", true);
        lines.append(QStringLiteral("Image sent; the module's checksum matches"));
        break;
    }
    noteSum();
    const QString sum = report_.details["sum"].toString();
    lines.prepend(QStringLiteral("Checksum:     %1").arg(sum));
    if (options_.rebootAfter) {
        // What the update achieved is said before the restart, which may fail on its own.
        printMessage(lines.last());
        if (outcome == FirmwareOutcome::Activated) {
            // The module may still be writing the activated image: never reboot it at once.
            printMessage(QStringLiteral("Waiting up to %1 s until the module has stored the image and answers again")
                             .arg(options_.rebootWaitS));
            if (!awaitIdentify(QDeadlineTimer(static_cast<qint64>(options_.rebootWaitS) * 1000)))
                return fail(Outcome::Unreachable, QStringLiteral("the module did not answer identify after the activation; "
                                                                 "not rebooted"));
        }
        if (const ExitCode rebooted = rebootAndIdentify(options_.rebootWaitS, lines); rebooted != kExitDone)
            return rebooted;
    }
    return finish(Outcome::Done, lines);
}

}  // namespace rzl::cli
