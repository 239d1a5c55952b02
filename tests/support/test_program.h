#pragma once
// A whole program world for one test: fakes for the screen seam and the program objects.

#include <memory>

#include "ui/program.h"
#include "tests/support/fakes.h"

namespace rzl::test {

struct TestProgram {
    RecordingDialogs dialogs;
    ManualClock clock;
    Program program{dialogs, clock};
    Context& ctx = program.ctx;
    Screen& screen = program.screen;

    // Events come from the test only: the real timers would tick whenever a test runs the loop.
    TestProgram() {
        program.form1.timer1.stop();
        program.form1.timer3.stop();
    }

    // Point the exchanges at a loopback port, with the link check answering "linked".
    void target(std::uint16_t port, const QString& host = QStringLiteral("127.0.0.1")) {
        ctx.session.deviceIp = host;
        ctx.session.tcpPort = port;
        ctx.linkCheck = [] { return true; };
    }
};

}  // namespace rzl::test
