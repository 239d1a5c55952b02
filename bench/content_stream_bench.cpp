// Time of a 2 MiB content stream through the program's streams against plain POSIX writes of
// 1024-byte pieces, all into the same loopback sink; each time runs from the connect to the
// moment the sink has read the last byte and the close. The fixed pauses around a transfer
// (the 1.5 s after the header) are not part of it. The whole firmware update runs as one more
// entry: reading the image file, its byte sum, the header, the stream and the activation
// command (the variant that awaits no checksum reply, so the sink need not answer).
// Usage: content_stream_bench [rounds]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/raw_socket.h"
#include "core/context.h"
#include "ui/screen_display.h"
#include "filestore/file_header.h"
#include "filestore/file_transfer.h"
#include "filestore/firmware_update.h"
#include "tests/support/fakes.h"

namespace {

using namespace rzl;

constexpr qint64 kContentBytes = 2 * 1024 * 1024;
constexpr int kPiece = 1024;

// Accepts one connection after another and reads each to its end; reports the bytes of each.
class Sink {
public:
    bool start() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof at;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
            ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            return false;
        port_ = ntohs(at.sin_port);
        thread_ = std::thread([this] { serve(); });
        return true;
    }
    ~Sink() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        if (thread_.joinable()) thread_.join();
    }
    std::uint16_t port() const { return port_; }

    // Waits until a connection has been read to its end; its byte count.
    qint64 waitForStream() {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return !finished_.empty(); });
        const qint64 bytes = finished_.front();
        finished_.erase(finished_.begin());
        return bytes;
    }

private:
    void serve() {
        std::vector<char> buffer(256 * 1024);
        while (!stopping_) {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            qint64 total = 0;
            for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;) total += n;
            ::close(fd);
            std::lock_guard lock(mutex_);
            finished_.push_back(total);
            done_.notify_all();
        }
    }

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable done_;
    std::vector<qint64> finished_;
};

// A stream under test: writes the first `length` bytes of the transfer buffer to the sink and
// returns the byte count of the content connection as the sink read it, or -1 when it failed.
using StreamFn = std::function<qint64(Context& ctx, Sink& sink, qint64 length)>;

qint64 rawPieces(Context& ctx, Sink& sink, qint64 length) {
    const int fd = ConnectLoopback(ctx.session.tcpPort);
    bool ok = fd >= 0;
    const char* data = ctx.transfer.data();
    for (qint64 offset = 0; ok && offset < length; offset += kPiece) {
        const qint64 piece = std::min<qint64>(kPiece, length - offset);
        ok = ::write(fd, data + offset, static_cast<size_t>(piece)) == piece;
    }
    if (fd >= 0) ::close(fd);
    const qint64 received = sink.waitForStream();
    return ok ? received : -1;
}

qint64 fileStream(Context& ctx, Sink& sink, qint64 length) {
    const bool ok = StreamFileContent(ctx, length, nullptr);
    const qint64 received = sink.waitForStream();
    return ok ? received : -1;
}

// The update reads the image back into the transfer buffer; the sink takes three connections.
qint64 firmwareUpdate(Context& ctx, Sink& sink, const QString& image) {
    const FirmwareResult result = UpdateFirmwareImage(ctx, image);
    const bool ok = result.stoppedAt == FirmwareResult::Stop::None && !result.controllerFamily;
    const qint64 header = sink.waitForStream();
    const qint64 content = sink.waitForStream();
    const qint64 activation = sink.waitForStream();
    return ok && header == kFirmwareHeaderLength && activation == 9 ? content : -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double best(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 51;

    Sink sink;
    if (!sink.start()) {
        std::fprintf(stderr, "cannot listen on loopback\n");
        return 1;
    }
    Screen screen;
    test::RecordingDialogs dialogs;
    test::ManualClock clock;
    ScreenDisplay display{screen, dialogs};
    Context ctx(display, clock);
    ctx.session.deviceIp = QStringLiteral("127.0.0.1");
    ctx.session.tcpPort = sink.port();
    ctx.dispatchReply = [](int) {};
    for (qint64 i = 0; i < kContentBytes; ++i) ctx.transfer.data()[i] = static_cast<char>(i * 7);

    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("mcuimg.bin"));
    QFile file(image);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(ctx.transfer.data(), kContentBytes) != kContentBytes) {
        std::fprintf(stderr, "cannot write the image file\n");
        return 1;
    }
    file.close();

    struct Stream {
        const char* name;
        StreamFn run;
    };
    const Stream streams[] = {
        {"raw 1024-byte writes", &rawPieces},
        {"SendFile's stream", &fileStream},
        {"firmware update", [&image](Context& c, Sink& s, qint64) { return firmwareUpdate(c, s, image); }},
    };

    // Rounds alternate between the streams, so that a busy moment of the machine falls on all.
    std::vector<std::vector<double>> times(std::size(streams));
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < std::size(streams); ++i) {
            QElapsedTimer timer;
            timer.start();
            const qint64 received = streams[i].run(ctx, sink, kContentBytes);
            times[i].push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (received != kContentBytes) {
                std::fprintf(stderr, "%s: %lld of %lld bytes arrived\n", streams[i].name,
                             static_cast<long long>(received), static_cast<long long>(kContentBytes));
                return 1;
            }
        }
    }
    // The best round shows the cost of the stream itself; the median what a shared machine adds.
    std::printf("2 MiB content stream to a loopback sink, %d rounds:      best    median\n", rounds);
    for (std::size_t i = 0; i < std::size(streams); ++i)
        std::printf("  %-22s %18.2f ms %6.2f ms\n", streams[i].name, best(times[i]), median(times[i]));
    for (std::size_t i = 1; i < std::size(streams); ++i)
        std::printf("  ratio %s / raw: best %.2f, median %.2f%s\n", streams[i].name, best(times[i]) / best(times[0]),
                    median(times[i]) / median(times[0]), i == 1 ? " (target <= 1.10)" : "");
    return 0;
}
