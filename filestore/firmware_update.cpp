#include "filestore/firmware_update.h"

#include <QFile>
#include <QFileInfo>

#include "core/context.h"
#include "core/frame.h"
#include "filestore/file_header.h"
#include "filestore/file_transfer.h"
#include "protocol/request_builders.h"

namespace rzl {

namespace {

// Where the image is stored, and how long the module needs between header and stream.
struct Variant {
    std::uint8_t headerCommand;
    QString imageName;
    int headerPauseMs;
};

Variant variantFor(bool controllerFamily) {
    if (controllerFamily) return {kCmdFileHeader, QStringLiteral("/sys/mcuimg.bin"), 2500};
    return {kCmdFirmwareHeader, QStringLiteral("mcuimg.bin"), 1000};
}

constexpr int kAfterStreamPauseMs = 2000;

using Stop = FirmwareResult::Stop;

// Reads the whole image into the transfer buffer. A length above the limit is left unread.
bool readImage(Context& ctx, const QString& path, FirmwareResult& result) {
    QFile file(path);
    const auto unreadable = [&](const QString& reason) {
        result.stoppedAt = Stop::Unreadable;
        result.reason = reason;
        return false;
    };
    if (!file.open(QIODevice::ReadOnly)) return unreadable(file.errorString());
    result.length = file.size();
    ctx.display.notice({Notice::Kind::ImageLength, {}, result.length});
    // An empty image would be stored as the module's firmware and reported complete.
    if (result.length == 0) return unreadable(QStringLiteral("The file is empty."));
    if (result.length > kMaxImageBytes) {
        ctx.display.notice({Notice::Kind::ImageTooLarge});
        result.stoppedAt = Stop::TooLarge;
        return false;
    }
    const qint64 read = file.read(ctx.transfer.data(), result.length);
    if (read < 0) return unreadable(file.errorString());
    if (read != result.length) return unreadable(QStringLiteral("%1 of %2 bytes read").arg(read).arg(result.length));
    return true;
}

// Header, pause and image stream, all under one guard so that no poll, click or re-send opens
// a connection in between. The image stream never goes out without its header.
void sendImage(Context& ctx, const Variant& variant, const FirmwareProgress& progress, FirmwareResult& result) {
    DeviceSession& s = ctx.session;
    TransferGuard guard(ctx);
    const Request request = Request::FileHeader(variant.headerCommand, kFirmwareHeaderLength,
                                                static_cast<std::uint32_t>(result.length), result.sum, variant.imageName);
    s.pendingCommand = 0;
    result.header = guard.acquired() ? SendOnlyUnderGuard(ctx, request) : ExchangeOutcome{ExchangeResult::Busy, {}};
    s.retryPending = false;
    if (!result.header.delivered()) {
        result.stoppedAt = Stop::Header;
        result.reason = result.header.reason;
        return;
    }
    // The bar runs from 0 to the image length and stands full when the stream closes.
    ctx.display.transfer({TransferProgress::Phase::Started, result.length});
    ctx.display.refresh();
    ctx.clock.pause(variant.headerPauseMs);

    const qint64 length = result.length;
    const auto onPiece = [&](qint64 written) {
        if (progress) progress(written, length);
    };
    QString error;
    if (StreamFileContent(ctx, length, &error, onPiece)) {
        ctx.display.transfer({TransferProgress::Phase::Moved, length});
    } else {
        result.stoppedAt = Stop::Stream;
        result.reason = error;
    }
    ctx.display.refresh();
}

}  // namespace

QString ImageFileProblem(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return QStringLiteral("%1: no such file").arg(path);
    if (!info.isFile()) return QStringLiteral("%1: not a file").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("%1: %2").arg(path, file.errorString());
    if (file.size() == 0) return QStringLiteral("%1: the file is empty").arg(path);
    if (file.size() > kMaxImageBytes)
        return QStringLiteral("%1: %2 bytes, more than the %3 the module takes").arg(path).arg(file.size()).arg(kMaxImageBytes);
    return {};
}

FirmwareResult UpdateFirmwareImage(Context& ctx, const QString& path, const FirmwareProgress& progress,
                                   const StopRequested& stop) {
    FirmwareResult result;
    result.controllerFamily = ctx.session.controllerFamily;
    if (!readImage(ctx, path, result)) return result;

    // Kept for the checksum query, its re-sends and the comparison with the module's reply.
    result.sum = ContentByteSum(ctx.transfer.data(), result.length);
    ctx.transfer.imageByteSum = result.sum;
    ctx.display.notice({Notice::Kind::ImageSum, {}, static_cast<qint64>(result.sum)});

    const auto stopped = [&] {
        if (!stop || !stop()) return false;
        result.stoppedAt = Stop::Stopped;
        return true;
    };
    if (stopped()) return result;
    sendImage(ctx, variantFor(result.controllerFamily), progress, result);
    if (result.stoppedAt != Stop::None) return result;

    ctx.clock.pause(kAfterStreamPauseMs);
    if (stopped()) return result;
    result.closing = result.controllerFamily ? SendChecksumQuery(ctx) : SendImageActivate(ctx);
    if (!result.closing.delivered()) {
        result.stoppedAt = Stop::Closing;
        result.reason = result.closing.reason;
    }
    return result;
}

}  // namespace rzl
