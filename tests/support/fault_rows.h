#pragma once
// The faults a module or the network can put in the way of one request, and what each program
// makes of them: rzlctl (exit code and standard error of `status`, or of the row's command) and
// the desktop program (the status line, the hidden log and the DO button after a DO click). One
// list, one column per program: a fault added here is met by both.

#include <QString>
#include <QStringList>
#include <functional>

#include "tests/support/fault_target.h"

namespace rzl::test {

constexpr std::uint8_t kInputsDuringFault = 0x02;  // the module's inputs during a fault, where one answers

inline std::function<bool(FaultTarget&)> FaultyModule(sim::FaultMode mode, int slowDelayMs = 1500) {
    return [=](FaultTarget& target) { return target.module(kInputsDuringFault, mode, slowDelayMs); };
}

struct CliExpectation {
    int exitCode;
    QString message;  // on standard error, also in a watch's failed-poll line; empty: none
    QStringList command = {QStringLiteral("status")};
};

struct GuiExpectation {
    QString status;  // the status line the user sees after the click's exchange
    QString log;     // a line of the hidden log; empty: none looked for
    bool switched;   // DO1 shown on
};

struct FaultRow {
    const char* name;
    FaultNetwork network;
    std::function<bool(FaultTarget&)> fault;
    int atLeastMs;  // the request meeting it takes at least this long
    CliExpectation cli;
    GuiExpectation gui;
};

inline const QList<FaultRow>& Faults() {
    using sim::FaultMode;
    const QString done = QStringLiteral("Set DO Done! DI:02");
    static const QList<FaultRow> rows = {
        {"nothing listening", FaultNetwork::Loopback, [](FaultTarget& t) { return t.nothingListening(); }, 0,
         {2, "Connect Timeout"}, {"Connect Timeout", "", false}},
        {"accepts and never reads", FaultNetwork::Loopback, [](FaultTarget& t) { return t.acceptsNeverReads(); }, 1000,
         {3, "Wait RX Timeout!"}, {"", "Wait RX Timeout!", false}},
        {"never accepts (full backlog)", FaultNetwork::Loopback, [](FaultTarget& t) { return t.neverAccepts(); }, 3000,
         {2, "Connect Timeout"}, {"Connect Timeout", "", false}},
        {"silent", FaultNetwork::Loopback, FaultyModule(FaultMode::Silent), 1000, {3, "Wait RX Timeout!"},
         {"", "Wait RX Timeout!", false}},
        {"garbage", FaultNetwork::Loopback, FaultyModule(FaultMode::Garbage), 0, {3, "InValid Header package!"},
         {"InValid Header package!", "", false}},
        // The desktop program tells the refusal; its button keeps showing the output as it is.
        {"reject", FaultNetwork::Loopback, FaultyModule(FaultMode::Reject), 0, {3, "reply not accepted (status 21)"},
         {"The module at 127.0.0.1 refuses requests (status 21)", "The module at 127.0.0.1 refuses requests (status 21)",
          false}},
        {"split", FaultNetwork::Loopback, FaultyModule(FaultMode::Split), 0, {0, ""}, {done, "", true}},
        // Closed at once: reset or ended in order, whichever the connection has reached.
        {"close", FaultNetwork::Loopback, FaultyModule(FaultMode::Close), 0, {3, "RX Error: "}, {"", "RX Error: ", false}},
        {"slow, past the reply window", FaultNetwork::Loopback, FaultyModule(FaultMode::Slow, 1500), 1000,
         {3, "Wait RX Timeout!"}, {"", "Wait RX Timeout!", false}},
        {"slow, just inside the reply window", FaultNetwork::Loopback, FaultyModule(FaultMode::Slow, 700), 0, {0, ""},
         {done, "", true}},
        // The module says it is done, and its state shows the output still off: rzlctl says so,
        // the window shows the output off.
        {"stuck output", FaultNetwork::Loopback, FaultyModule(FaultMode::Stuck), 0,
         {3, "the module did not switch DO2", {"--yes", "set-do", "2", "on"}}, {done, "", false}},
        {"slowed link", FaultNetwork::SlowLink, FaultyModule(FaultMode::None), 0, {0, ""}, {done, "", true}},
        {"default address unreachable", FaultNetwork::UnreachableDefault,
         [](FaultTarget& t) { return t.unreachable(); }, 3000, {2, "Connect Timeout"}, {"Connect Timeout", "", false}},
    };
    return rows;
}

}  // namespace rzl::test
