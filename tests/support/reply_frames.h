#pragma once
// Replies as the module sends them, and a way to hand one to the dispatcher the way the
// exchange does (receive buffer cleared, busy guard held), without a socket.

#include <QByteArray>
#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>

#include "core/context.h"
#include "core/frame.h"
#include "protocol/reply_dispatcher.h"

namespace rzl::test {

inline QByteArray replyBytes(std::initializer_list<int> bytes) {
    QByteArray out;
    for (int b : bytes) out.append(static_cast<char>(b));
    return out;
}

// Signature, command, status, then the payload.
inline QByteArray reply(std::uint8_t command, std::uint8_t status, std::initializer_list<int> payload = {}) {
    QByteArray out = replyBytes({0x5A, 0x35, 0x77, 0xA5, command, status});
    return out + replyBytes(payload);
}

inline void dispatch(Context& ctx, const QByteArray& bytes) {
    std::fill_n(ctx.session.rxFrame.begin(), kRxClearedBytes, 0);
    std::copy(bytes.begin(), bytes.end(), ctx.session.rxFrame.begin());
    // As an exchange that has just written pendingCommand's request.
    ctx.session.exchangeBusy = true;
    ctx.session.exchangeCommand = ctx.session.pendingCommand;
    DispatchReply(ctx, static_cast<int>(bytes.size()));
    ctx.session.exchangeCommand = 0;
    ctx.session.exchangeBusy = false;
}

struct IdentifyFields {
    std::uint8_t model = 176;
    std::array<std::uint8_t, 4> address{127, 0, 0, 1};  // dotted order; sent in reverse
    std::array<std::uint8_t, 6> mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::uint8_t fwMajor = 1;
    std::uint8_t fwMinor = 0x0A;
    QByteArray location;
    QByteArray apSsid;
    std::uint8_t apKeyType = 0;
    QByteArray staSsid;
    std::uint8_t staKeyType = 0;
    std::uint8_t wifiMode = 0;
    std::uint8_t doBits = 0;
    std::uint8_t diBits = 0;
    std::uint16_t modbusPort = 502;
    std::uint8_t staticIp = 0;
    std::array<std::uint8_t, 4> staIp{};
    std::array<std::uint8_t, 4> staNetmask{};
    std::array<std::uint8_t, 4> staGateway{};
    std::uint16_t rssi = 0;
    std::uint16_t idleTimeout = 120;
};

// Places each field at the program's own offsets (core/frame.h), so a reply built here agrees
// with the decoder even where both are wrong. The independent check of those offsets is the
// simulator: it writes its identify reply at literal offsets (sim/frame_handler.cpp), pinned byte
// by byte in Simulator.IdentifyCarriesTheStateAtItsOffsets, and the tests that run the program
// against it (rzlctl's identify JSON, the main window) decode that reply.
inline QByteArray identifyReply(const IdentifyFields& f) {
    QByteArray out(identify::kReplyLength, '\0');
    auto put = [&out](int offset, int value) { out[offset] = static_cast<char>(value); };
    auto putText = [&out](int offset, const QByteArray& text) {
        out.replace(offset, text.size(), text.left(identify::kTextWidth));
    };
    auto putAddress = [&put](int offset, const std::array<std::uint8_t, 4>& a) {
        for (int i = 0; i < 4; ++i) put(offset + i, a[i]);
    };
    for (int i = 0; i < 4; ++i) put(i, kFrameSignature[i]);
    put(kCommandByte, kCmdIdentify);
    put(kStatusByte, kStatusAccepted);
    put(identify::kModel, f.model);
    for (int i = 0; i < 4; ++i) put(identify::kAddress + i, f.address[3 - i]);
    for (int i = 0; i < 6; ++i) put(identify::kMac + i, f.mac[i]);
    put(identify::kFwMajor, f.fwMajor);
    put(identify::kFwMinor, f.fwMinor);
    putText(identify::kLocation, f.location);
    putText(identify::kApSsid, f.apSsid);
    put(identify::kApKeyType, f.apKeyType);
    putText(identify::kStaSsid, f.staSsid);
    put(identify::kStaKeyType, f.staKeyType);
    put(identify::kWifiMode, f.wifiMode);
    put(identify::kDoBits, f.doBits);
    put(identify::kDiBits, f.diBits);
    put(identify::kModbusPort, f.modbusPort >> 8);
    put(identify::kModbusPort + 1, f.modbusPort & 0xFF);
    put(identify::kStaticIpOn, f.staticIp);
    putAddress(identify::kStaIp, f.staIp);
    putAddress(identify::kStaNetmask, f.staNetmask);
    putAddress(identify::kStaGateway, f.staGateway);
    put(identify::kRssi, f.rssi >> 8);
    put(identify::kRssi + 1, f.rssi & 0xFF);
    put(identify::kIdleTimeout, f.idleTimeout >> 8);
    put(identify::kIdleTimeout + 1, f.idleTimeout & 0xFF);
    return out;
}

}  // namespace rzl::test
