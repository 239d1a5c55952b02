#include "filestore/file_transfer.h"

#include "core/context.h"
#include "core/frame.h"
#include "filestore/content_stream.h"
#include "filestore/file_header.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

namespace {

constexpr qint64 kRepaintEvery = 64 * 1024;

const QString kSendPrefix = QStringLiteral("Send FileName: ");
const QString kDeletePrefix = QStringLiteral("Del File: ");

TransferOutcome failed(TransferStep step, const QString& prefix, const QString& name, const QString& what,
                       const QString& reason = {}) {
    QString text = prefix + name + QStringLiteral("\n    . ") + what;
    if (!reason.isEmpty()) text += QStringLiteral(": ") + reason;
    return {step, name, reason.isEmpty() ? what : reason, text};
}

TransferOutcome busy(const QString& prefix, const QString& name) {
    return failed(TransferStep::Busy, prefix, name,
                  QStringLiteral("Module busy with another request, nothing sent. Try again."));
}

}  // namespace

bool StreamFileContent(Context& ctx, qint64 length, QString* error, const std::function<void(qint64)>& written) {
    GaugeView& gauge = ctx.screen.setup.gauge;
    qint64 painted = -1;  // the 64 KiB step last painted
    const auto progress = [&](qint64 sofar) {
        gauge.position = static_cast<int>(sofar);
        if (sofar / kRepaintEvery != painted) {
            painted = sofar / kRepaintEvery;
            ctx.screen.changed();
            ctx.clock.pump();
        }
        if (written) written(sofar);
    };
    return StreamContent(ctx, ctx.transfer.data(), length, progress, error);
}

TransferOutcome SendFile(Context& ctx, const QString& name, qint64 length) {
    if (!FileNameFits(name, kFileHeaderLength))
        return failed(TransferStep::Refused, kSendPrefix, name,
                      QStringLiteral("File name longer than %1 characters, not sent.")
                          .arg(kFileHeaderLength - kFileNameFirstByte));
    if (length < 0 || length > TransferBuffer::kSize)
        return failed(TransferStep::Refused, kSendPrefix, name,
                      QStringLiteral("Content length %1 outside 0 ~ %2 bytes, not sent.")
                          .arg(length)
                          .arg(TransferBuffer::kSize));

    TransferGuard guard(ctx);
    if (!guard.acquired()) return busy(kSendPrefix, name);

    DeviceSession& s = ctx.session;
    GaugeView& gauge = ctx.screen.setup.gauge;
    gauge.position = 0;  // an earlier write's full bar must not stand beside this one's error
    const std::uint64_t sum = ContentByteSum(ctx.transfer.data(), length);
    const Request request =
        Request::FileHeader(kCmdFileHeader, kFileHeaderLength, static_cast<std::uint32_t>(length), sum, name);
    ctx.screen.showStatus(kSendPrefix + name);
    // No command awaits the header's reply; a missing one starts no re-send.
    s.pendingCommand = 0;
    const ExchangeOutcome header = ExchangeUnderGuard(ctx, request);
    s.retryPending = false;
    // A header met by silence went out and the content follows; one that never got there ends the write.
    if (!header.delivered())
        return failed(TransferStep::Header, kSendPrefix, name, QStringLiteral("File header not sent"), header.reason);
    // A module that answers no (its store full, too many files open) will not take the content.
    if (header.refused()) {
        TransferOutcome refused = failed(TransferStep::Header, kSendPrefix, name,
                                         QStringLiteral("File header refused by the module (status %1)").arg(header.verdict.status));
        refused.refusedStatus = header.verdict.status;
        return refused;
    }

    gauge.minimum = 0;
    gauge.maximum = static_cast<int>(length);
    gauge.position = 0;
    gauge.bar = colours::kRed;
    ctx.screen.showStatus(QStringLiteral("Transfer Length => ") + QString::number(length));
    ctx.clock.pause(kFileReadyPauseMs);

    QString error;
    if (!StreamFileContent(ctx, length, &error))
        return failed(TransferStep::Content, kSendPrefix, name, QStringLiteral("Content transfer failed"), error);
    ctx.screen.changed();
    return {TransferStep::None, name, {}, {}};
}

TransferOutcome KillFile(Context& ctx, const QString& name) {
    if (!FileNameFits(name, kDeleteFrameLength))
        return failed(TransferStep::Refused, kDeletePrefix, name,
                      QStringLiteral("File name longer than %1 characters, not deleted.")
                          .arg(kDeleteFrameLength - kFileNameFirstByte));

    TransferGuard guard(ctx);
    if (!guard.acquired()) return busy(kDeletePrefix, name);

    ctx.screen.showStatus(kDeletePrefix + name);
    ctx.session.pendingCommand = kCmdDeleteFile;  // its reply: "Kill file in Flash Done!"
    const ExchangeOutcome sent = ExchangeUnderGuard(ctx, Request::DeleteFile(name));
    if (!sent.delivered())
        return failed(TransferStep::Delete, kDeletePrefix, name, QStringLiteral("Delete not sent"), sent.reason);
    return {TransferStep::None, name, {}, {}};
}

void ShowTransferError(Context& ctx, const TransferOutcome& outcome) {
    if (outcome.done()) return;
    ctx.dialogs.message(outcome.errorText, QStringLiteral("Error found!"), BoxIcon::Error);
}

}  // namespace rzl
