#pragma once
// The module's answer to one request frame: request bytes and state in, reply bytes and the
// changed state out. No sockets here; the server decides where frames end and where replies go.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "sim/simulator.h"

namespace rzl::sim {

inline const QByteArray kSignature = QByteArray::fromHex("5A3577A5");
constexpr std::uint8_t kAccepted = 6;
constexpr std::uint8_t kRefused = 21;

// Length of the request that opens `buffer` (which starts with the signature): above 0 its
// length; 0 when the code is unknown; -1 when more bytes are needed to tell.
int RequestLength(const QByteArray& buffer);
// The shorter form a request may take (the file header also travels 40 bytes long); otherwise
// the same as RequestLength.
int ShortRequestLength(const QByteArray& buffer);

// A file header announces content that comes raw on the next connection.
struct UploadHeader {
    QByteArray name;
    std::uint32_t length = 0;
    std::uint32_t sum = 0;      // low 32 bits of the byte sum
    bool refused = false;       // the content is read and dropped
};

struct FrameOutcome {
    QByteArray reply;                    // empty: nothing to send
    std::optional<UploadHeader> upload;  // content expected next
    bool stateChanged = false;
    bool restarts = false;               // the module restarts once the reply is out
    QString refusal;                     // why the module refused the request, for the log
};

// A file header (95 or 90): content follows on the next connection when it is accepted.
bool AnnouncesContent(const QByteArray& frame);

QByteArray MakeReply(std::uint8_t code, std::uint8_t status, const QByteArray& payload = {});
QByteArray IdentifyReply(const ModuleState& state);

// A well-formed request (signature, known code, its full length) applied to the state. With
// `outputsStuck` an output switch is accepted but leaves the outputs as they are (a relay that
// does not pull in).
FrameOutcome HandleFrame(const QByteArray& frame, ModuleState& state, bool outputsStuck = false);
// The same request refused as a whole: status 21, nothing changes, announced content is dropped.
FrameOutcome RefuseFrame(const QByteArray& frame);

}  // namespace rzl::sim
