#include "filestore/file_transfer.h"

#include "core/context.h"
#include "core/frame.h"
#include "filestore/content_stream.h"
#include "filestore/file_header.h"

namespace rzl {

namespace {

constexpr qint64 kRepaintEvery = 64 * 1024;

TransferOutcome failed(TransferStep step, bool write, const QString& name, const QString& reason,
                       const ExchangeOutcome& exchange = {}) {
    return {step, write, name, reason, exchange.result, exchange.verdict};
}

TransferOutcome done(bool write, const QString& name, const ExchangeOutcome& exchange) {
    return {TransferStep::None, write, name, {}, exchange.result, exchange.verdict};
}

const QString kBusy = QStringLiteral("another request to the module is running");

}  // namespace

bool StreamFileContent(Context& ctx, qint64 length, QString* error, const std::function<void(qint64)>& written) {
    qint64 painted = -1;  // the 64 KiB step last painted
    const auto progress = [&](qint64 sofar) {
        ctx.display.transfer({TransferProgress::Phase::Moved, sofar});
        if (sofar / kRepaintEvery != painted) {
            painted = sofar / kRepaintEvery;
            ctx.display.refresh();
            ctx.clock.pump();
        }
        if (written) written(sofar);
    };
    return StreamContent(ctx, ctx.transfer.data(), length, progress, error);
}

TransferOutcome SendFile(Context& ctx, const QString& name, qint64 length) {
    if (!FileNameFits(name, kFileHeaderLength))
        return failed(TransferStep::Refused, true, name,
                      QStringLiteral("File name longer than %1 characters, not sent.")
                          .arg(kFileHeaderLength - kFileNameFirstByte));
    if (length < 0 || length > TransferBuffer::kSize)
        return failed(TransferStep::Refused, true, name,
                      QStringLiteral("Content length %1 outside 0 ~ %2 bytes, not sent.")
                          .arg(length)
                          .arg(TransferBuffer::kSize));

    TransferGuard guard(ctx);
    if (!guard.acquired()) return failed(TransferStep::Busy, true, name, kBusy);

    DeviceSession& s = ctx.session;
    // An earlier write's full bar must not stand beside this one's error.
    ctx.display.transfer({TransferProgress::Phase::Cleared});
    const std::uint64_t sum = ContentByteSum(ctx.transfer.data(), length);
    const Request request =
        Request::FileHeader(kCmdFileHeader, kFileHeaderLength, static_cast<std::uint32_t>(length), sum, name);
    ctx.display.notice({Notice::Kind::SendingFile, name});
    // No command awaits the header's reply; a missing one starts no re-send.
    s.pendingCommand = 0;
    const ExchangeOutcome header = ExchangeUnderGuard(ctx, request);
    s.retryPending = false;
    // A header met by silence went out and the content follows; one that never got there ends
    // the write, and so does a refusal (the store full, too many files open) or a reply that is
    // not one to the header: the module will not take the content.
    if (!header.delivered()) return failed(TransferStep::Header, true, name, header.reason, header);
    if (header.verdict.refused() || header.verdict.garbled()) {
        TransferOutcome stopped = failed(TransferStep::Header, true, name, VerdictText(header.verdict), header);
        if (header.verdict.refused()) stopped.refusedStatus = header.verdict.status;
        return stopped;
    }

    ctx.display.transfer({TransferProgress::Phase::Started, length});
    ctx.display.notice({Notice::Kind::TransferLength, {}, length});
    ctx.clock.pause(kFileReadyPauseMs);

    QString error;
    if (!StreamFileContent(ctx, length, &error)) return failed(TransferStep::Content, true, name, error, header);
    ctx.display.refresh();
    return done(true, name, header);
}

TransferOutcome KillFile(Context& ctx, const QString& name) {
    if (!FileNameFits(name, kDeleteFrameLength))
        return failed(TransferStep::Refused, false, name,
                      QStringLiteral("File name longer than %1 characters, not deleted.")
                          .arg(kDeleteFrameLength - kFileNameFirstByte));

    TransferGuard guard(ctx);
    if (!guard.acquired()) return failed(TransferStep::Busy, false, name, kBusy);

    ctx.display.notice({Notice::Kind::DeletingFile, name});
    ctx.session.pendingCommand = kCmdDeleteFile;  // its reply: "Kill file in Flash Done!"
    const ExchangeOutcome sent = ExchangeUnderGuard(ctx, Request::DeleteFile(name));
    if (!sent.delivered()) return failed(TransferStep::Delete, false, name, sent.reason, sent);
    if (sent.verdict.garbled()) return failed(TransferStep::Delete, false, name, VerdictText(sent.verdict), sent);
    return done(false, name, sent);
}

}  // namespace rzl
