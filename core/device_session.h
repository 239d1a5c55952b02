#pragma once
// The link and exchange state shared by every part of the program.

#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>

#include "core/frame.h"

namespace rzl {

struct DeviceSession {
    QString deviceIp = QStringLiteral("192.168.77.1");
    std::uint16_t tcpPort = kDefaultTcpPort;
    std::array<std::uint8_t, 4> signature = kFrameSignature;
    std::uint8_t pendingCommand = 0;
    std::uint8_t retryCount = 0;
    bool retryPending = false;
    bool retryReissuing = false;  // the re-send timer's own request is in flight
    std::uint8_t superviseTicks = 0;
    std::uint8_t doState = 0;
    std::uint8_t diState = 0;
    bool controllerFamily = false;
    bool firstActivationDone = false;
    bool pollingEnabled = false;
    bool settingsKnown = false;
    bool deviceIdentified = false;
    std::uint8_t doMask = 0;
    std::uint8_t diMask = 0;
    std::array<std::uint32_t, 8> diCounters{};
    QDateTime countersReadAt;  // when diCounters were read (UTC); invalid: never, at this target
    bool exchangeBusy = false;
    // The command byte the running exchange wrote, while its reply is handled: the reply is read
    // as the answer to it, whatever clicks and timers wrote to pendingCommand during the wait.
    std::uint8_t exchangeCommand = 0;
    std::uint32_t retryTicks = 0;
    std::uint32_t retryInterval = 0;
    std::uint8_t queuedCommand = 0;
    std::uint8_t queuedParam1 = 0;
    std::uint8_t queuedParam2 = 0;
    // When the module's inputs and outputs were last read (UTC), how many supervision cycles
    // since then brought no state, and whether the panel is marked as no longer live.
    QDateTime stateReadAt;
    std::uint8_t cyclesWithoutState = 0;
    std::uint32_t stateReads = 0;  // replies that brought the state, counted
    bool readingsStale = false;
    // An output switch left the module without a valid reply: it may have switched all the
    // same, so the next cycle asks for the state instead of only giving the request up.
    bool switchInDoubt = false;
    // A locate the module refused, asked again at the next supervision cycle (never at the
    // pace of the queue, which would flood a module that keeps refusing).
    std::uint8_t refusedCommand = 0;
    std::array<std::uint8_t, kTxFrameSize> txFrame{};
    std::array<std::uint8_t, kRxFrameSize> rxFrame{};
};

}  // namespace rzl
