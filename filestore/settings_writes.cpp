#include "filestore/settings_writes.h"

#include <cstring>

#include "core/context.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"

namespace rzl {

namespace {

constexpr int kBetweenFilesMs = 200;
constexpr int kBeforeModbusNoticeMs = 300;

const QString kApKey = QStringLiteral("/local/ap_key.cfg");
const QString kApSsid = QStringLiteral("/local/ap_ssid.cfg");
const QString kStaKey = QStringLiteral("/local/sta_key.cfg");
const QString kStaKeyType = QStringLiteral("/local/sta_keyT.cfg");
const QString kStaSsid = QStringLiteral("/local/sta_ssid.cfg");
const QString kStaIp = QStringLiteral("/local/sta_ip.cfg");
const QString kLocation = QStringLiteral("/local/locate.cfg");
const QString kModbus = QStringLiteral("/local/mbport.cfg");

QString written(const QString& file) { return QStringLiteral("write ") + file; }
QString deleted(const QString& file) { return QStringLiteral("delete ") + file; }
QString command(std::uint8_t code) { return QStringLiteral("command %1").arg(code); }

// One operation's run on the context: the link check, its steps, its pauses and log lines.
class Steps {
public:
    Steps(Context& ctx, const QStringList& planned, const StopRequested& stop) : ctx_(ctx), run_(planned, stop) {}

    // The link check; false (the operation ends NotLinked) when it fails.
    bool linked() {
        if (ctx_.linkCheck()) return true;
        ended_ = OperationResult::End::NotLinked;
        return false;
    }
    // Each step: false when it failed or a stop was asked for before it.
    bool write(const QString& name, const QByteArray& content) {
        if (!next()) return false;
        std::memcpy(ctx_.transfer.data(), content.constData(), static_cast<std::size_t>(content.size()));
        return record(FileStep(SendFile(ctx_, name, content.size())));
    }
    bool remove(const QString& name) { return next() && record(FileStep(KillFile(ctx_, name))); }
    bool command(std::uint8_t code, const std::function<ExchangeOutcome()>& send) {
        if (!next()) return false;
        const ExchangeOutcome sent = send();
        if (sent.result == ExchangeResult::NotLinked) {
            ended_ = OperationResult::End::NotLinked;
            return false;
        }
        return record(CommandStep(code, sent));
    }
    void log(const QString& line) { ctx_.log(line); }
    void pause(int milliseconds) { ctx_.clock.pause(milliseconds); }
    bool stopped() {
        if (!next()) return true;
        return false;
    }
    OperationResult end() { return run_.end(ended_); }
    OperationResult& result() { return run_.result(); }

private:
    bool next() {
        if (run_.next()) return true;
        ended_ = OperationResult::End::Stopped;
        return false;
    }
    bool record(const Step& step) {
        if (run_.record(step)) return true;
        ended_ = OperationResult::End::Failed;
        return false;
    }

    Context& ctx_;
    OperationRun run_;
    OperationResult::End ended_ = OperationResult::End::Done;
};

QByteArray addressBytes(const Ipv4Bytes& address) {
    return QByteArray(reinterpret_cast<const char*>(address.data()), static_cast<qsizetype>(address.size()));
}

}  // namespace

bool HoldsKey(const QString& name) { return name == kApKey || name == kStaKey; }

Step FileStep(const TransferOutcome& outcome) {
    Step step;
    step.kind = outcome.write ? Step::Kind::Write : Step::Kind::Delete;
    step.name = outcome.file;
    step.reached = outcome.reached;
    step.verdict = outcome.verdict;
    step.reason = outcome.reason;
    switch (outcome.failedAt) {
    case TransferStep::None: step.failure = Step::Failure::None; break;
    case TransferStep::Refused: step.failure = Step::Failure::DoesNotFit; break;
    case TransferStep::Busy: step.failure = Step::Failure::Busy; break;
    case TransferStep::Content: step.failure = Step::Failure::Content; break;
    case TransferStep::Header:
    case TransferStep::Delete:
        step.failure = outcome.reached == ExchangeResult::Busy || !ExchangeOutcome{outcome.reached}.delivered()
                           ? Step::Failure::NotDelivered
                           : Step::Failure::Answer;
        break;
    }
    return step;
}

OperationResult WriteAp(Context& ctx, const QByteArray& ssid, bool secured, const QByteArray& key,
                        const StopRequested& stop) {
    Steps steps(ctx, {secured ? written(kApKey) : deleted(kApKey), written(kApSsid)}, stop);
    if (!steps.linked()) return steps.end();
    if (secured) {
        if (!steps.write(kApKey, key)) return steps.end();
        steps.log(QStringLiteral("AP_KEY =") + fromAnsi(key));
    } else if (!steps.remove(kApKey)) {
        return steps.end();
    }
    steps.pause(kBetweenFilesMs);
    if (!steps.write(kApSsid, ssid)) return steps.end();
    steps.log(QStringLiteral("AP_SSID =") + fromAnsi(ssid));
    return steps.end();
}

OperationResult WriteStation(Context& ctx, const QByteArray& ssid, KeyType type, const QByteArray& key,
                             const StopRequested& stop) {
    const bool open = type == KeyType::Open;
    Steps steps(ctx, {open ? deleted(kStaKey) : written(kStaKey), written(kStaKeyType), written(kStaSsid)}, stop);
    if (!steps.linked()) return steps.end();
    if (!open) {
        if (!steps.write(kStaKey, key)) return steps.end();
        steps.log(QStringLiteral("STA_KEY =") + fromAnsi(key));
    } else if (!steps.remove(kStaKey)) {
        return steps.end();
    }
    steps.pause(kBetweenFilesMs);
    const auto code = static_cast<std::uint8_t>(type);
    if (!steps.write(kStaKeyType, QByteArray(1, static_cast<char>(code)))) return steps.end();
    steps.log(QStringLiteral("STA_KTYPE =") + QString::number(code));
    steps.pause(kBetweenFilesMs);
    if (!steps.write(kStaSsid, ssid)) return steps.end();
    steps.log(QStringLiteral("STA_SSID =") + fromAnsi(ssid));
    return steps.end();
}

OperationResult WriteStaticIp(Context& ctx, const Ipv4Bytes& ip, const Ipv4Bytes& mask, const Ipv4Bytes& gateway,
                              const StopRequested& stop) {
    Steps steps(ctx, {written(kStaIp)}, stop);
    if (!steps.linked()) return steps.end();
    steps.write(kStaIp, addressBytes(ip) + addressBytes(mask) + addressBytes(gateway));
    return steps.end();
}

OperationResult ClearStaticIp(Context& ctx, const StopRequested& stop) {
    Steps steps(ctx, {deleted(kStaIp)}, stop);
    if (!steps.linked()) return steps.end();
    steps.remove(kStaIp);
    return steps.end();
}

OperationResult WriteWebKey(Context& ctx, const QByteArray& key, const StopRequested& stop) {
    Steps steps(ctx, {command(kCmdWebKey)}, stop);
    if (!steps.linked()) return steps.end();
    if (!steps.command(kCmdWebKey, [&] { return SendWebKey(ctx, key); })) return steps.end();
    steps.log(QStringLiteral("WEB Key =") + fromAnsi(key));
    return steps.end();
}

OperationResult WriteLocation(Context& ctx, const QByteArray& text, const StopRequested& stop) {
    Steps steps(ctx, {written(kLocation)}, stop);
    if (!steps.linked()) return steps.end();
    if (!steps.write(kLocation, text)) return steps.end();
    steps.log(QStringLiteral("Location =") + fromAnsi(text));
    return steps.end();
}

OperationResult WriteModbus(Context& ctx, std::uint16_t port, std::uint16_t idleTimeout, const StopRequested& stop) {
    Steps steps(ctx, {written(kModbus), command(kCmdModbusNotice)}, stop);
    if (!steps.linked()) return steps.end();
    // Port and timeout most significant byte first; the last six bytes stay zero.
    QByteArray content(10, '\0');
    content[0] = static_cast<char>(port >> 8);
    content[1] = static_cast<char>(port);
    content[2] = static_cast<char>(idleTimeout >> 8);
    content[3] = static_cast<char>(idleTimeout);
    if (!steps.write(kModbus, content)) return steps.end();
    steps.log(QStringLiteral("Modbus Port =%1, Idle Timeout: %2").arg(port).arg(idleTimeout));
    steps.pause(kBeforeModbusNoticeMs);
    if (steps.stopped()) return steps.end();
    // The port file is stored: a notice that does not reach the module (its own link check
    // failed, no connection) is missed, not a failure. A refusal, or a reply that is not valid,
    // is the module's word against it.
    const ExchangeOutcome notice = SendModbusNotice(ctx);
    Step step = CommandStep(kCmdModbusNotice, notice);
    if (notice.result == ExchangeResult::NotLinked) {
        step.failure = Step::Failure::NotDelivered;
        step.reason = QStringLiteral("the link check failed");
    }
    if (step.failure == Step::Failure::NotDelivered || step.failure == Step::Failure::Busy) {
        steps.result().missed = step;
        return steps.end();
    }
    steps.result().steps.append(step);
    OperationResult result = steps.end();
    if (!step.done()) result.end = OperationResult::End::Failed;
    return result;
}

}  // namespace rzl
