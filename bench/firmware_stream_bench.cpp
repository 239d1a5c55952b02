// Median time of a 2 MiB firmware update (header, image stream in 1024-byte pieces, checksum
// query) with its pauses left out, against the same image written by a bare POSIX socket in
// 1024-byte writes, both to the same loopback responder. Prints the ratio.
// Usage: firmware_stream_bench [rounds]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

#include "bench/raw_socket.h"
#include "core/context.h"
#include "filestore/content_stream.h"
#include "filestore/firmware_update.h"
#include "tests/support/fakes.h"
#include "tests/support/loopback_peer.h"

namespace {

using namespace rzl;

constexpr int kImageBytes = 2 * 1024 * 1024;

// The image the plain way: connect, write it in 1024-byte pieces, close.
bool rawStream(std::uint16_t port, const QByteArray& image) {
    const int fd = ConnectLoopback(port);
    if (fd < 0) return false;
    bool ok = true;
    for (qsizetype offset = 0; ok && offset < image.size(); offset += 1024) {
        const qsizetype piece = std::min<qsizetype>(1024, image.size() - offset);
        ok = ::write(fd, image.constData() + offset, static_cast<size_t>(piece)) == piece;
    }
    ::close(fd);
    return ok;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    QByteArray image(kImageBytes, '\0');
    for (int i = 0; i < kImageBytes; ++i) image[i] = static_cast<char>(i * 13);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mcuimg.bin"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) {
        std::fprintf(stderr, "cannot write the image file\n");
        return 1;
    }
    file.close();

    // Every connection gets the checksum reply; the stream and header connections ignore it.
    std::uint32_t sum = 0;
    for (char c : image) sum += static_cast<unsigned char>(c);
    QByteArray reply = QByteArray::fromHex("5A3577A52506");
    for (int shift = 24; shift >= 0; shift -= 8) reply.append(static_cast<char>(sum >> shift));
    test::LoopbackPeer responder(test::PeerMode::Answer, reply);
    if (!responder.start()) {
        std::fprintf(stderr, "no loopback responder could listen\n");
        return 1;
    }

    Screen screen;
    test::RecordingDialogs dialogs;
    test::ManualClock clock;  // the 2500 and 2000 ms pauses are the module's, not the transfer's
    Context ctx(screen, dialogs, clock);
    ctx.session.deviceIp = QStringLiteral("127.0.0.1");
    ctx.session.tcpPort = responder.port();
    ctx.session.controllerFamily = true;
    ctx.dispatchReply = [](int) {};

    std::vector<double> update, stream, raw;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        if (UpdateFirmwareFrom(ctx, path) != FirmwareOutcome::Queried) {
            std::fprintf(stderr, "the update failed in round %d\n", round);
            return 1;
        }
        update.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        if (!StreamContent(ctx, image.constData(), image.size(), {}, nullptr)) {
            std::fprintf(stderr, "the content stream failed in round %d\n", round);
            return 1;
        }
        stream.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        if (!rawStream(responder.port(), image)) {
            std::fprintf(stderr, "the raw stream failed in round %d\n", round);
            return 1;
        }
        raw.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double u = median(update), c = median(stream), r = median(raw);
    std::printf("2 MiB firmware image, %d rounds, medians:\n", rounds);
    std::printf("  firmware update (read, sum, header, stream, query): %8.2f ms  ratio %6.2f\n", u, r > 0 ? u / r : 0.0);
    std::printf("  its content stream alone:                           %8.2f ms  ratio %6.2f\n", c, r > 0 ? c / r : 0.0);
    std::printf("  raw 1024-byte writes:                               %8.2f ms\n", r);
    return 0;
}
