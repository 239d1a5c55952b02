// The simulator's frame handling without sockets: a run of request frames applied to one module
// state, each cut where the server cuts it, with the content of completed uploads stored between
// them (so restarts apply arbitrary settings files). Input: [model] then steps, each two bytes
// (the top two bits pick the step, the other fourteen its length) and that many bytes:
//   0, 3  a request frame, handled       1  the same, refused as a whole (the reject fault)
//   2     an upload that arrived complete: [name length][name][content]

#include "sim/frame_handler.h"
#include "sim/module_state.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/sim_invariants.h"

namespace {

using namespace rzl;

// The frame the server hands on from the bytes a connection delivered, or nothing.
std::optional<QByteArray> CutFrame(const QByteArray& bytes) {
    if (!bytes.startsWith(sim::kSignature)) return std::nullopt;
    const int length = sim::RequestLength(bytes);
    if (length == 0) return bytes.left(5);
    if (length > 0 && bytes.size() >= length) return bytes.left(length);
    const int shortLength = sim::ShortRequestLength(bytes);
    if (shortLength > 0 && bytes.size() >= shortLength) return bytes.left(shortLength);
    return std::nullopt;
}

void CheckOutcome(const QByteArray& frame, const sim::FrameOutcome& out) {
    using fuzz::Require;
    Require(out.reply.startsWith(sim::kSignature), "a reply without the signature");
    Require(out.reply.size() >= 6 && out.reply.at(4) == frame.at(4), "a reply to another command");
    if (out.upload && !out.upload->refused) {
        Require(sim::IsAcceptedFileName(out.upload->name), "an upload accepted for a name outside the store");
        Require(out.upload->length <= std::uint32_t(sim::kMaxFileBytes), "an upload accepted beyond the store");
        Require(static_cast<std::uint8_t>(out.reply.at(5)) == sim::kAccepted, "an accepted upload answered as refused");
    }
}

// What the server does once an accepted upload's content arrived whole.
void StoreUpload(const QByteArray& bytes, sim::ModuleState& state) {
    if (bytes.isEmpty()) return;
    const QByteArray name = bytes.mid(1, static_cast<std::uint8_t>(bytes.at(0)));
    if (!sim::IsAcceptedFileName(name) || !sim::StoreRefusal(state, name, bytes.size() - 1 - name.size()).isEmpty())
        return;
    state.files.insert(QString::fromLatin1(name), bytes.mid(1 + name.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::EnsureApplication();
    fuzz::InputReader in(data, size);
    sim::ModuleState state;
    state.model = in.byte();
    while (!in.empty()) {
        const std::uint8_t high = in.byte();
        const std::uint8_t low = in.byte();
        const int step = high >> 6;
        const QByteArray bytes = in.take(std::size_t(high & 0x3F) << 8 | low);
        if (step == 2) {
            StoreUpload(bytes, state);
            continue;
        }
        const bool refuse = step == 1;
        const auto frame = CutFrame(bytes);
        if (!frame) continue;
        const sim::FrameOutcome out = refuse ? sim::RefuseFrame(*frame) : sim::HandleFrame(*frame, state);
        CheckOutcome(*frame, out);
    }
    fuzz::CheckModuleState(state);
    return 0;
}
