#include "protocol/scanner.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

#include "protocol/identify_reply.h"
#include "protocol/model_catalogue.h"
#include "protocol/reply.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"

namespace rzl {

std::optional<ScanAnswer> DecodeScanReply(std::uint32_t address, const QByteArray& reply) {
    if (!Validate(Request::Identify(), reply).accepted()) return std::nullopt;
    const IdentifyReply identity = IdentifyOf(reply);
    ScanAnswer answer;
    answer.address = address;
    answer.reportedAddress = identity.address;
    answer.model = identity.model;
    answer.modelName = ModelCatalogue::Lookup(answer.model).displayName;
    answer.mac = identity.mac;
    answer.firmware = identity.firmware;
    answer.location = fromAnsi(identity.settings.location);
    answer.rssiDbm = identity.rssiDbm();
    answer.wifiModeAp = identity.settings.wifiModeAp;
    return answer;
}

NetworkScanner::NetworkScanner(const ScanOptions& options, QObject* parent)
    : QObject(parent), options_(options), request_(IdentifyRequestFrame()) {
    options_.parallel = std::max(1, options_.parallel);
}

NetworkScanner::~NetworkScanner() = default;

QString HostOutcomeText(HostOutcome outcome, int timeoutMs) {
    switch (outcome) {
    case HostOutcome::Module: return QStringLiteral("module");
    case HostOutcome::NoHost: return QStringLiteral("no answer");
    case HostOutcome::ConnectionRefused: return QStringLiteral("refused the connection");
    case HostOutcome::Rejected: return QStringLiteral("accepted, and refused the request");
    case HostOutcome::Closed: return QStringLiteral("accepted, then closed without a reply");
    case HostOutcome::ClosedMidReply: return QStringLiteral("accepted, then closed in the middle of a reply");
    case HostOutcome::NoReplyInTime:
        return QStringLiteral("accepted, no reply within %1 ms (silent, or slower: raise --timeout-ms)").arg(timeoutMs);
    case HostOutcome::TooSlow:
        return QStringLiteral("accepted, reply not complete within %1 ms (too slow: raise --timeout-ms)").arg(timeoutMs);
    case HostOutcome::Garbage: return QStringLiteral("answered something that is not a module's reply");
    case HostOutcome::Untried: return QStringLiteral("not tried");
    }
    return {};
}

QList<ScanAnswer> NetworkScanner::run(const QList<std::uint32_t>& addresses) {
    QEventLoop loop;
    loop_ = &loop;
    start(addresses);
    // Every address may already have failed at its connect.
    if (running_) loop.exec();
    loop_ = nullptr;
    return answers_;
}

void NetworkScanner::start(const QList<std::uint32_t>& addresses) {
    addresses_ = addresses;
    next_ = 0;
    again_.clear();
    limit_ = options_.parallel;
    done_ = 0;
    answers_.clear();
    untried_.clear();
    untriedReason_.clear();
    summary_ = {};
    clock_.start();
    running_ = true;
    fill();
}

void NetworkScanner::stop() {
    if (!running_) return;
    // What is in flight has no outcome yet; it and the rest were not tried.
    untried_ += again_;
    again_.clear();
    untried_ += addresses_.mid(next_);
    next_ = addresses_.size();
    const auto sockets = inFlight_.keys();
    for (QTcpSocket* socket : sockets) {
        untried_.append(inFlight_.value(socket).address);
        QObject::disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        socket->deleteLater();
    }
    inFlight_.clear();
    complete();
}

void NetworkScanner::complete() {
    if (!running_) return;
    running_ = false;
    std::sort(answers_.begin(), answers_.end(),
              [](const ScanAnswer& a, const ScanAnswer& b) { return a.address < b.address; });
    std::sort(summary_.oddHosts.begin(), summary_.oddHosts.end(),
              [](const HostResult& a, const HostResult& b) { return a.address < b.address; });
    summary_.found = static_cast<int>(answers_.size());
    std::sort(untried_.begin(), untried_.end());
    summary_.untried = static_cast<int>(untried_.size());
    summary_.untriedAddresses = untried_;
    summary_.parallel = limit_;
    summary_.elapsedMs = clock_.elapsed();
    if (loop_) loop_->quit();
    if (onFinished) onFinished();
}

bool NetworkScanner::allDone() const { return inFlight_.isEmpty() && again_.isEmpty() && next_ >= addresses_.size(); }

bool NetworkScanner::nextAddress(std::uint32_t* address) {
    if (!again_.isEmpty()) {
        *address = again_.takeFirst();
        return true;
    }
    if (next_ >= addresses_.size()) return false;
    *address = addresses_[next_++];
    return true;
}

HostOutcome NetworkScanner::classify(const Probe& probe, bool isModule) const {
    if (isModule) return HostOutcome::Module;
    if (!probe.connected) return probe.refused ? HostOutcome::ConnectionRefused : HostOutcome::NoHost;
    if (probe.reply.isEmpty()) return probe.timedOut ? HostOutcome::NoReplyInTime : HostOutcome::Closed;
    QByteArray start(reinterpret_cast<const char*>(kFrameSignature.data()), 4);
    start += char(kCmdIdentify);
    // A module's header with another status: it said no.
    if (probe.reply.size() > start.size() && probe.reply.startsWith(start) && probe.reply.at(start.size()) != char(kStatusAccepted))
        return HostOutcome::Rejected;
    // The start of a proper reply, cut off: by the deadline, a module but a slow one; by a
    // close, one that broke off (more time would not help).
    start += char(kStatusAccepted);
    const qsizetype compared = std::min(start.size(), probe.reply.size());
    if (probe.reply.size() < identify::kReplyLength && probe.reply.left(compared) == start.left(compared))
        return probe.timedOut ? HostOutcome::TooSlow : HostOutcome::ClosedMidReply;
    return HostOutcome::Garbage;
}

// Tops the connections in flight up to the bound. A connect may fail at once and finish its
// probe inside launch(); that finish does not fill again, the loop here goes on instead.
void NetworkScanner::fill() {
    if (filling_) return;
    filling_ = true;
    std::uint32_t address = 0;
    while (inFlight_.size() < limit_ && nextAddress(&address)) launch(address);
    filling_ = false;
    if (allDone()) complete();
}

void NetworkScanner::launch(std::uint32_t address) {
    auto* socket = new QTcpSocket(this);
    socket->setProxy(QNetworkProxy::NoProxy);
    inFlight_.insert(socket, Probe{address, {}});
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        auto it = inFlight_.find(socket);
        if (it == inFlight_.end()) return;
        it->connected = true;
        const Probe& probe = *it;
        if (tap) tap(probe.address, true, request_);
        if (socket->write(request_) != request_.size()) finish(socket);
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { take(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { finish(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        auto it = inFlight_.find(socket);
        if (it != inFlight_.end()) {
            it->refused = error == QAbstractSocket::ConnectionRefusedError;
            // Closed by the far end: it had accepted, even when the close came before the
            // connection was reported.
            if (error == QAbstractSocket::RemoteHostClosedError) it->connected = true;
        }
        if (error == QAbstractSocket::SocketResourceError) return refusedSocket(socket);
        finish(socket);
    });
    // The deadline dies with the socket, so it never fires for a probe already finished.
    QTimer::singleShot(options_.timeoutMs, socket, [this, socket] {
        if (auto it = inFlight_.find(socket); it != inFlight_.end()) it->timedOut = true;
        finish(socket);
    });
    socket->connectToHost(QHostAddress(address), options_.port);
}

// No socket for this address: with others in flight, the bound comes down to them and the
// address waits for one of them to end; alone, it cannot be tried at all.
void NetworkScanner::refusedSocket(QTcpSocket* socket) {
    const auto it = inFlight_.find(socket);
    if (it == inFlight_.end()) return;
    const std::uint32_t address = it->address;
    inFlight_.erase(it);
    untriedReason_ = socket->errorString();
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
    if (inFlight_.isEmpty()) {
        untried_.append(address);
        ++done_;
        if (onProgress) onProgress(done_, static_cast<int>(addresses_.size()), static_cast<int>(answers_.size()));
    } else {
        again_.prepend(address);
        if (inFlight_.size() < limit_) {
            limit_ = static_cast<int>(inFlight_.size());
            if (onLimit) onLimit(limit_, untriedReason_);
        }
    }
    fill();
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
    const auto answer = DecodeScanReply(probe.address, probe.reply);
    const HostOutcome outcome = classify(probe, answer.has_value());
    ++summary_.tried;
    if (outcome == HostOutcome::ConnectionRefused) ++summary_.connectionsRefused;
    if (outcome != HostOutcome::Module && outcome != HostOutcome::NoHost && outcome != HostOutcome::Untried &&
        outcome != HostOutcome::ConnectionRefused)
        summary_.oddHosts.append({probe.address, outcome, static_cast<int>(probe.reply.size())});
    if (answer) {
        answers_.append(*answer);
        if (onAnswer) onAnswer(*answer);
    }
    ++done_;
    if (onProgress) onProgress(done_, static_cast<int>(addresses_.size()), static_cast<int>(answers_.size()));
    fill();
}

}  // namespace rzl
