#include "filestore/firmware_update.h"

#include <QFile>
#include <QFileInfo>
#include <optional>

#include "core/context.h"
#include "core/frame.h"
#include "filestore/file_header.h"
#include "filestore/file_transfer.h"
#include "protocol/request_builders.h"
#include "protocol/tcp_exchange.h"

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

void errorBox(Context& ctx, const QString& text) {
    ctx.dialogs.message(text, QStringLiteral("Error found!"), BoxIcon::Error);
}

QString headerFailure(ExchangeResult result) {
    switch (result) {
    case ExchangeResult::Busy: return QStringLiteral("another request to the device is still running");
    case ExchangeResult::NoConnection: return QString::fromLatin1(kConnectTimeoutText);
    default: return QStringLiteral("the header could not be written");
    }
}

// Reads the whole image into the transfer buffer. False, with the error box shown, when the
// file cannot be opened or read; true with a length above the limit means "refuse, unread".
bool readImage(Context& ctx, const QString& path, qint64* length) {
    QFile file(path);
    const auto unreadable = [&](const QString& reason) {
        errorBox(ctx, QStringLiteral("Cannot read F/W image file,\n    . %1\n    . %2").arg(path, reason));
        return false;
    };
    if (!file.open(QIODevice::ReadOnly)) return unreadable(file.errorString());
    *length = file.size();
    ctx.screen.showStatus(QStringLiteral("MCUImg FileLength => ") + QString::number(*length));
    // An empty image would be stored as the module's firmware and reported complete.
    if (*length == 0) return unreadable(QStringLiteral("The file is empty."));
    if (*length > kMaxImageBytes) return true;
    const qint64 read = file.read(ctx.transfer.data(), *length);
    if (read < 0) return unreadable(file.errorString());
    if (read != *length) return unreadable(QStringLiteral("%1 of %2 bytes read").arg(read).arg(*length));
    return true;
}

// Header, pause and image stream, all under one guard so that no poll, click or re-send opens
// a connection in between. The image stream never goes out without its header. Empty when
// the whole image went out; otherwise the failure, with its error box shown.
std::optional<FirmwareOutcome> sendImage(Context& ctx, const Variant& variant, qint64 length, std::uint64_t sum,
                          const FirmwareProgress& progress) {
    DeviceSession& s = ctx.session;
    GaugeView& gauge = ctx.screen.setup.gauge;
    QString failure;
    std::optional<FirmwareOutcome> outcome;
    {
        TransferGuard guard(ctx);
        const Request request = Request::FileHeader(variant.headerCommand, kFirmwareHeaderLength,
                                                    static_cast<std::uint32_t>(length), sum, variant.imageName);
        s.pendingCommand = 0;
        const ExchangeOutcome header = guard.acquired() ? SendOnlyUnderGuard(ctx, request)
                                                        : ExchangeOutcome{ExchangeResult::Busy, {}};
        s.retryPending = false;
        if (!header.delivered()) {
            failure = QStringLiteral("F/W update stopped, header not sent,\n    . %1.").arg(headerFailure(header.result));
            outcome = FirmwareOutcome::HeaderFailed;
        } else {
            // The bar runs from 0 to the image length and stands full when the stream closes.
            gauge.position = 0;
            gauge.maximum = static_cast<int>(length);
            gauge.bar = colours::kRed;
            ctx.screen.changed();
            ctx.clock.pause(variant.headerPauseMs);

            const auto onPiece = [&](qint64 written) {
                if (progress) progress(written, length);
            };
            QString error;
            if (StreamFileContent(ctx, length, &error, onPiece)) {
                gauge.position = gauge.maximum;
            } else {
                failure = QStringLiteral("F/W image stream fail,\n    . %1").arg(error);
                outcome = FirmwareOutcome::StreamFailed;
            }
            ctx.screen.changed();
        }
    }
    if (!failure.isEmpty()) errorBox(ctx, failure);  // after the guard, so the box holds nothing up
    return outcome;
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

FirmwareOutcome UpdateFirmware(Context& ctx, const FirmwareProgress& progress) {
    const std::optional<QString> path =
        ctx.dialogs.openFile(QString::fromLatin1(kImageFilter), QString::fromLatin1(kImageDefaultExtension));
    if (!path) return FirmwareOutcome::Cancelled;
    return UpdateFirmwareFrom(ctx, *path, progress);
}

FirmwareOutcome UpdateFirmwareFrom(Context& ctx, const QString& path, const FirmwareProgress& progress) {
    qint64 length = 0;
    if (!readImage(ctx, path, &length)) return FirmwareOutcome::Refused;
    if (length > kMaxImageBytes) {
        ctx.screen.showStatus(QStringLiteral("File Lengths > Buffer Size, Abort!"));
        return FirmwareOutcome::Refused;
    }

    // Kept for the checksum query, its re-sends and the comparison with the module's reply.
    const std::uint64_t sum = ContentByteSum(ctx.transfer.data(), length);
    ctx.transfer.imageByteSum = sum;
    ctx.screen.showStatus(QStringLiteral("Send MCUImg CheckSum => ") +
                          QStringLiteral("%1").arg(sum, 8, 16, QLatin1Char('0')).toUpper());

    const bool family = ctx.session.controllerFamily;
    if (const auto failed = sendImage(ctx, variantFor(family), length, sum, progress)) return *failed;

    ctx.clock.pause(kAfterStreamPauseMs);
    if (family)
        return SendChecksumQuery(ctx).delivered() ? FirmwareOutcome::Queried : FirmwareOutcome::ClosingFailed;
    return SendImageActivate(ctx).delivered() ? FirmwareOutcome::Activated : FirmwareOutcome::ClosingFailed;
}

}  // namespace rzl
