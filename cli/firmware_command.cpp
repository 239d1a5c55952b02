// rzlctl firmware: the image sent as the setup window sends it, the module's checksum judged
// against the image's (with the re-send of an unanswered query), and with --reboot the restart
// and the version the module reports after it.

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include "cli/commands.h"
#include "cli/session.h"
#include "filestore/retry_timer.h"
#include "protocol/module_commands.h"
#include "protocol/reply_dispatcher.h"
#include "ui/setup/settings_fields.h"

namespace rzl::cli {

namespace {

constexpr int kRetryTickMs = 100;

// The checksum query's answer: the first exchange's, or, when it met silence, that of its
// re-sends by the re-send timer's rule (every 4 s; with no link supervision here to reset the
// count, the fourth expiry gives up: no answer).
std::optional<ExchangeOutcome> checksumAnswer(Context& ctx, const ExchangeOutcome& first, const StopRequested& stop) {
    if (first.result != ExchangeResult::NoReply || first.verdict.kind != Verdict::Kind::None) return first;
    std::optional<ExchangeOutcome> answer;
    QEventLoop loop;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, &loop, [&] {
        if (stop()) return loop.quit();
        const RetryTick tick = RetryTimerTick(ctx);
        if (tick.kind == RetryTick::Kind::GaveUp) return loop.quit();
        if (tick.resent && tick.resent->result != ExchangeResult::NoReply) {
            answer = tick.resent;
            loop.quit();
        }
    });
    ticks.start(kRetryTickMs);
    loop.exec();
    return answer;
}

// Reboot, then identify until the module answers again (bounded), and report its firmware.
ExitCode rebootAndIdentify(Session& session, QStringList& lines) {
    const int waitS = session.options().rebootWaitS;
    if (!Reboot(session.ctx()).done()) return session.fail(Outcome::NotSent, QStringLiteral("the reboot command was not sent"));
    session.details().insert("rebooted", true);
    session.message(QStringLiteral("Reboot sent; waiting up to %1 s for the module to answer again").arg(waitS));
    const std::optional<Module> module = session.awaitIdentify(QDeadlineTimer(static_cast<qint64>(waitS) * 1000));
    if (session.stopped()) return session.failStopped(QStringLiteral("the module was rebooted; it was not identified after it"));
    if (!module)
        return session.fail(Outcome::Unreachable,
                            QStringLiteral("the module did not answer identify within %1 s after the reboot").arg(waitS));
    session.noteModule(*module);  // the module as it now reports itself: its firmware is the new one
    lines.append(QStringLiteral("Firmware:     V%1 (after the reboot)").arg(module->reply.firmware));
    return kExitDone;
}

}  // namespace

ExitCode RunFirmware(Session& session, const QString& file) {
    // The identify reply tells which of the two update variants the module takes.
    ExitCode ended = kExitDone;
    if (!session.identify(&ended)) return ended;
    Context& c = session.ctx();
    if (!session.confirm(FirmwareConfirmation())) return session.refusedConfirmation();
    if (const std::optional<ExitCode> ended = session.beginWrite()) return *ended;
    if (!c.linkCheck()) return session.fail(Outcome::NotLinked, QStringLiteral("the link check failed; nothing sent"));
    const FirmwareResult result =
        UpdateFirmwareImage(c, file, [&session](qint64 written, qint64 length) { session.progress(written, length); },
                            session.stop());
    session.show(FirmwareBox(result, file));

    session.details().insert("file", QFileInfo(file).fileName());
    const auto noteSum = [&] {
        session.details().insert("sum", QStringLiteral("%1").arg(result.sum, 8, 16, QLatin1Char('0')).toUpper());
    };
    QStringList lines;
    using Stop = FirmwareResult::Stop;
    switch (result.stoppedAt) {
    case Stop::Unreadable:
    case Stop::TooLarge: return session.fail(Outcome::Invalid, QStringLiteral("%1: not sent").arg(file));
    case Stop::Stopped:
        return session.failStopped(result.header.delivered()
                                       ? QStringLiteral("the image was sent, the closing step was not")
                                       : QStringLiteral("nothing was sent"));
    case Stop::Header:
    case Stop::Stream:
    case Stop::Closing: return session.fail(Outcome::NotSent, QStringLiteral("the firmware update did not complete"));
    case Stop::None: break;
    }
    noteSum();
    if (!result.controllerFamily) {
        session.details().insert("verified", false);
        lines.append(QStringLiteral("Image sent and activated; this model does not report a checksum"));
    } else {
        const std::optional<ExchangeOutcome> answer = checksumAnswer(c, result.closing, session.stop());
        if (session.stopped()) return session.failStopped(QStringLiteral("the image was sent; its checksum was not read"));
        if (!answer) return session.fail(Outcome::NoReply, QStringLiteral("no answer to the checksum query"));
        if (answer->verdict.refused())
            return session.fail(Outcome::Refused,
                                QStringLiteral("checksum reply not accepted (status %1)").arg(answer->verdict.status));
        if (const std::optional<ExitCode> failed = session.judged(*answer, Role::Read)) return *failed;
        const ReplyReader reply(reinterpret_cast<const std::uint8_t*>(answer->reply.constData()),
                                static_cast<int>(answer->reply.size()));
        if (!ChecksumMatches(result.sum, reply.u32(shortReply::kChecksum)))
            return session.fail(Outcome::Mismatch, QStringLiteral("the module's checksum differs from the image's"));
        session.details().insert("verified", true);
        lines.append(QStringLiteral("Image sent; the module's checksum matches"));
    }
    lines.prepend(QStringLiteral("Checksum:     %1").arg(session.details()["sum"].toString()));
    if (session.options().rebootAfter) {
        // What the update achieved is said before the restart, which may fail on its own.
        session.message(lines.last());
        if (!result.controllerFamily) {
            // The module may still be writing the activated image: never reboot it at once.
            const int waitS = session.options().rebootWaitS;
            session.message(QStringLiteral("Waiting up to %1 s until the module has stored the image and answers again").arg(waitS));
            const bool back = session.awaitIdentify(QDeadlineTimer(static_cast<qint64>(waitS) * 1000)).has_value();
            if (session.stopped()) return session.failStopped(QStringLiteral("the image was activated; not rebooted"));
            if (!back)
                return session.fail(Outcome::Unreachable,
                                    QStringLiteral("the module did not answer identify after the activation; not rebooted"));
        }
        if (const ExitCode rebooted = rebootAndIdentify(session, lines); rebooted != kExitDone) return rebooted;
    }
    return session.finish(Outcome::Done, lines);
}

}  // namespace rzl::cli
