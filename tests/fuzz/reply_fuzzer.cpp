// Arbitrary bytes as the reply to each kind of request, through the real dispatcher and the
// window records it writes. Input: [request kind][model code known beforehand][reply bytes...].
// Nothing here reaches a socket: the dispatcher runs inside the exchange's busy guard, as it
// does on the wire, so anything it would send is refused; the target is a closed loopback port.

#include <algorithm>
#include <cstdlib>

#include "core/io_panel.h"
#include "protocol/model_catalogue.h"
#include "protocol/reply_dispatcher.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/test_program.h"

namespace {

using namespace rzl;

// What may be pending when a reply arrives; 0 is nothing (a reply nobody asked for).
constexpr std::uint8_t kPending[] = {
    kCmdIdentify, kCmdPoll,     kCmdSetOutput,      kCmdCounterRead, kCmdCounterClear, kCmdLocate,
    kCmdDeleteFile, kCmdChecksumQuery, kCmdResetDefaults, kCmdWebKey, kCmdWifiMode, kCmdModbusNotice, 0,
};

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "reply_fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::EnsureApplication();
    fuzz::InputReader in(data, size);
    const std::uint8_t pending = kPending[in.byte() % std::size(kPending)];
    const std::uint8_t model = in.byte();
    // As the exchange reads it: at most a receive buffer's worth.
    const QByteArray reply = in.rest().left(kRxFrameSize);

    test::TestProgram t;
    t.target(1);
    Context& ctx = t.ctx;
    DeviceSession& s = ctx.session;
    ApplyModel(ctx, model);
    UpdateIoPanel(ctx);
    s.pendingCommand = pending;
    s.retryPending = true;
    ctx.transfer.imageByteSum = 0;  // the checksum seed's sum: a match takes the reboot path

    std::fill_n(s.rxFrame.begin(), kRxClearedBytes, 0);
    std::copy(reply.begin(), reply.end(), s.rxFrame.begin());
    s.exchangeBusy = true;
    DispatchReply(ctx, static_cast<int>(reply.size()));
    s.exchangeBusy = false;

    check(!s.retryPending, "a reply left the retry pending");
    check((s.doState & ~s.doMask) == 0, "an output the model lacks shows as on");
    check((s.diState & ~s.diMask) == 0, "an input the model lacks shows as active");
    check(s.pendingCommand == pending || s.pendingCommand == 0, "the pending command changed to another");
    check(!s.deviceIdentified || pending == kCmdIdentify, "identified by a reply to something else");
    for (const QString& text : {t.screen.main.label4.caption, t.screen.main.label5.caption,
                                t.screen.main.statusBar1[0], t.screen.main.statusBar2[0], t.screen.main.statusBar2[1]})
        check(text.isValidUtf16(), "a caption is not valid text");
    return 0;
}
