#include "protocol/scanner.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

#include "protocol/identify_reply.h"
#include "protocol/model_catalogue.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"

namespace rzl {

std::optional<ScanAnswer> DecodeScanReply(std::uint32_t address, const QByteArray& reply) {
    if (reply.size() < identify::kReplyLength) return std::nullopt;
    const ReplyReader r(reinterpret_cast<const std::uint8_t*>(reply.constData()), identify::kReplyLength);
    for (int i = 0; i < 4; ++i)
        if (r.byte(i) != kFrameSignature[i]) return std::nullopt;
    if (r.byte(kCommandByte) != kCmdIdentify || r.byte(kStatusByte) != kStatusAccepted) return std::nullopt;

    ScanAnswer answer;
    answer.address = address;
    answer.reportedAddress = r.moduleAddressText();
    answer.model = r.byte(identify::kModel);
    answer.modelName = ModelCatalogue::Lookup(answer.model).displayName;
    answer.mac = r.macText();
    answer.firmware = r.firmwareText().mid(1);
    answer.location = fromAnsi(r.text(identify::kLocation, identify::kTextWidth));
    // A raw value of 0 means the module did not report one.
    if (const int raw = r.u16(identify::kRssi); raw > 0) answer.rssiDbm = raw - 65536;
    answer.wifiModeAp = r.byte(identify::kWifiMode) != 0;
    return answer;
}

NetworkScanner::NetworkScanner(const ScanOptions& options, QObject* parent)
    : QObject(parent), options_(options), request_(IdentifyRequestFrame()) {
    options_.parallel = std::max(1, options_.parallel);
}

NetworkScanner::~NetworkScanner() = default;

QList<ScanAnswer> NetworkScanner::run(const QList<std::uint32_t>& addresses) {
    addresses_ = addresses;
    next_ = 0;
    done_ = 0;
    answers_.clear();
    untried_ = 0;
    untriedReason_.clear();

    QEventLoop loop;
    loop_ = &loop;
    fill();
    // Every address may already have failed at its connect.
    if (!allDone()) loop.exec();
    loop_ = nullptr;

    std::sort(answers_.begin(), answers_.end(),
              [](const ScanAnswer& a, const ScanAnswer& b) { return a.address < b.address; });
    return answers_;
}

bool NetworkScanner::allDone() const { return inFlight_.isEmpty() && next_ >= addresses_.size(); }

// Tops the connections in flight up to the bound. A connect may fail at once and finish its
// probe inside launch(); that finish does not fill again, the loop here goes on instead.
void NetworkScanner::fill() {
    if (filling_) return;
    filling_ = true;
    while (inFlight_.size() < options_.parallel && next_ < addresses_.size()) launch(addresses_[next_++]);
    filling_ = false;
    if (allDone() && loop_) loop_->quit();
}

void NetworkScanner::launch(std::uint32_t address) {
    auto* socket = new QTcpSocket(this);
    socket->setProxy(QNetworkProxy::NoProxy);
    inFlight_.insert(socket, Probe{address, {}});
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        const Probe& probe = inFlight_.value(socket);
        if (tap) tap(probe.address, true, request_);
        if (socket->write(request_) != request_.size()) finish(socket);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { take(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { finish(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::SocketResourceError) {
            ++untried_;
            untriedReason_ = socket->errorString();
        }
        finish(socket);
    });
    // The deadline dies with the socket, so it never fires for a probe already finished.
    QTimer::singleShot(options_.timeoutMs, socket, [this, socket] { finish(socket); });
    socket->connectToHost(QHostAddress(address), options_.port);
}

void NetworkScanner::take(QTcpSocket* socket) {
    auto it = inFlight_.find(socket);
    if (it == inFlight_.end()) return;
    it->reply += socket->readAll();
    if (it->reply.size() >= identify::kReplyLength) finish(socket);
}

void NetworkScanner::finish(QTcpSocket* socket) {
    auto it = inFlight_.find(socket);
    if (it == inFlight_.end()) return;
    Probe probe = *it;
    inFlight_.erase(it);
    probe.reply += socket->readAll();
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();

    if (tap && !probe.reply.isEmpty()) tap(probe.address, false, probe.reply);
    if (auto answer = DecodeScanReply(probe.address, probe.reply)) answers_.append(*answer);
    ++done_;
    if (onProgress) onProgress(done_, static_cast<int>(addresses_.size()), static_cast<int>(answers_.size()));
    fill();
}

}  // namespace rzl
