// Arbitrary bytes as the reply to each kind of request, through the real dispatcher and the
// window records it writes, as the exchange hands them on: only once ReplyIsComplete says the
// reply is whole for the command written. Input: [command written][what is pending meanwhile]
// [model code known beforehand][reply bytes...]. Nothing here reaches a socket: the dispatcher
// runs inside the exchange's busy guard, so anything it would send is refused, and the target
// is a closed loopback port.

#include <algorithm>
#include <cstdlib>

#include "core/io_panel.h"
#include "protocol/model_catalogue.h"
#include "protocol/reply.h"
#include "protocol/reply_dispatcher.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/test_program.h"

namespace {

using namespace rzl;

// The requests a reply can answer; 0 is none (a reply nobody asked for).
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
    const std::uint8_t command = kPending[in.byte() % std::size(kPending)];
    // Mostly the same command pending; otherwise another request was made during the wait: a
    // click queues it (odd), a direct send refused by the busy guard only names it (even).
    const std::uint8_t meanwhile = in.byte();
    const std::uint8_t pending = meanwhile < 192 ? command : kPending[(meanwhile >> 1) % std::size(kPending)];
    const std::uint8_t queued = pending != command && (meanwhile & 1) ? pending : 0;
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
    s.queuedCommand = queued;
    s.retryPending = true;
    ctx.transfer.imageByteSum = 0;  // the checksum seed's sum: a match takes the reboot path

    if (!ReplyIsComplete(command, reply, s.signature)) return 0;  // read as missing, and sent again
    std::fill_n(s.rxFrame.begin(), kRxClearedBytes, 0);
    std::copy(reply.begin(), reply.end(), s.rxFrame.begin());
    s.exchangeBusy = true;
    s.exchangeCommand = command;
    DispatchReply(ctx, static_cast<int>(reply.size()));
    s.exchangeCommand = 0;
    s.exchangeBusy = false;

    check(!s.retryPending, "a reply left the retry pending");
    check((s.doState & ~s.doMask) == 0, "an output the model lacks shows as on");
    check((s.diState & ~s.diMask) == 0, "an input the model lacks shows as active");
    // A refused identify or locate is queued again unless a click holds the one-slot queue.
    const bool requeued = (command == kCmdIdentify || command == kCmdLocate) && queued == 0;
    check(s.pendingCommand == pending || (s.pendingCommand == 0 && pending == command) ||
              (s.pendingCommand == command && requeued),
          "a reply cleared or changed a request it did not answer");
    check(queued == 0 || s.queuedCommand == queued, "a reply pushed a queued click out of the queue");
    check(!s.deviceIdentified || command == kCmdIdentify, "identified by a reply to something else");
    for (const QString& text : {t.screen.main.label4.caption, t.screen.main.label5.caption,
                                t.screen.main.statusBar1[0], t.screen.main.statusBar2[0], t.screen.main.statusBar2[1]})
        check(text.isValidUtf16(), "a caption is not valid text");
    return 0;
}
