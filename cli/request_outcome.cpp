#include "cli/request_outcome.h"

#include "core/context.h"
#include "core/frame.h"
#include "protocol/tcp_exchange.h"

namespace rzl::cli {

RequestOutcome::RequestOutcome(Context& ctx) : ctx_(ctx) {
    // The reply buffer is cleared by every exchange; mark it so a request that never
    // reached an exchange is not mistaken for an accepted one.
    ctx_.session.rxFrame[kStatusByte] = 0;
    statusConnection_ = QObject::connect(&ctx.screen, &Screen::statusShown, [this](int bar, int panel, const QString& text) {
        if (bar != 2 || panel != 0) return;
        if (text == QLatin1String(kConnectTimeoutText)) unreachable_ = true;
        if (text == QLatin1String("InValid Header package!")) badHeader_ = true;
    });
    logConnection_ = QObject::connect(&ctx.screen, &Screen::logged, [this](const QString& line) {
        if (line == QLatin1String(kWaitRxTimeoutText)) noReply_ = true;
        if (line.startsWith(QLatin1String("TX Error")) || line.startsWith(QLatin1String("RX Error"))) socketError_ = line;
    });
}

RequestOutcome::~RequestOutcome() {
    QObject::disconnect(statusConnection_);
    QObject::disconnect(logConnection_);
}

Outcome RequestOutcome::verdict(QString* why) const {
    const auto say = [why](const QString& text) {
        if (why) *why = text;
    };
    if (unreachable_) {
        say(QString::fromLatin1(kConnectTimeoutText));
        return Outcome::Unreachable;
    }
    if (!socketError_.isEmpty()) {
        say(socketError_);
        return Outcome::NoReply;
    }
    if (noReply_) {
        say(QString::fromLatin1(kWaitRxTimeoutText));
        return Outcome::NoReply;
    }
    if (badHeader_) {
        say(QStringLiteral("InValid Header package!"));
        return Outcome::NoReply;
    }
    const int status = ctx_.session.rxFrame[kStatusByte];
    if (status != kStatusAccepted) {
        say(QStringLiteral("reply not accepted (status %1)").arg(status));
        return status == 0 ? Outcome::NoReply : Outcome::Refused;  // 0: no reply reached the buffer
    }
    return Outcome::Done;
}

}  // namespace rzl::cli
