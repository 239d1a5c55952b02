#include "protocol/reply.h"

#include <algorithm>

namespace rzl {

namespace {

std::uint8_t byteAt(const QByteArray& bytes, int offset) {
    return offset < bytes.size() ? static_cast<std::uint8_t>(bytes[offset]) : 0;
}

// The length of an accepted reply to `command`: up to the last field its handling reads.
int acceptedReplyLength(std::uint8_t command, std::uint8_t replyCommand) {
    switch (command) {
    case kCmdIdentify: return identify::kReplyLength;                                     // 198
    case kCmdPoll: return shortReply::kPollRssi + 2;                                      // 10
    case kCmdSetOutput: return shortReply::kDiBits + 1;                                   // 8
    case kCmdCounterRead: return shortReply::kFirstCounter + 4 * shortReply::kCounters;  // 38
    case kCmdChecksumQuery:                                                               // 10, when it is one
        return replyCommand == kCmdChecksumQuery ? shortReply::kChecksum + 4 : kReplyHeaderLength;
    case 0:  // no command: only a state reply is read
        return replyCommand == kCmdPoll ? shortReply::kDiBits + 1 : kReplyHeaderLength;
    default: return kReplyHeaderLength;
    }
}

// The bytes there are open with the signature (as far as they go).
bool signatureMatches(const QByteArray& bytes, const Signature& signature) {
    const int count = static_cast<int>(std::min<qsizetype>(bytes.size(), 4));
    for (int i = 0; i < count; ++i)
        if (byteAt(bytes, i) != signature[i]) return false;
    return true;
}

}  // namespace

std::optional<Reply> Reply::Decode(const QByteArray& bytes) {
    if (bytes.size() < kReplyHeaderLength) return std::nullopt;
    Reply reply;
    for (int i = 0; i < 4; ++i) reply.signature[i] = byteAt(bytes, i);
    reply.command = byteAt(bytes, kCommandByte);
    reply.status = byteAt(bytes, kStatusByte);
    reply.payload = bytes.mid(kReplyHeaderLength);
    return reply;
}

QString VerdictText(const Verdict& verdict) {
    switch (verdict.kind) {
    case Verdict::Kind::None: return QStringLiteral("no reply");
    case Verdict::Kind::Accepted: return QStringLiteral("accepted");
    case Verdict::Kind::Refused: return QStringLiteral("refused (status %1)").arg(verdict.status);
    case Verdict::Kind::Garbled: break;
    }
    switch (verdict.garble) {
    case Verdict::Garble::Signature: return QStringLiteral("garbled: another signature");
    case Verdict::Garble::Command: return QStringLiteral("garbled: another command in byte 4");
    case Verdict::Garble::Length: break;
    }
    return QStringLiteral("garbled: too short for its command");
}

Verdict Validate(const Request& request, const QByteArray& bytes, const Signature& signature) {
    if (bytes.isEmpty()) return Verdict::None();
    if (!signatureMatches(bytes, signature)) return Verdict::Garbled(Verdict::Garble::Signature);
    const std::optional<Reply> reply = Reply::Decode(bytes);
    if (!reply) return Verdict::Garbled(Verdict::Garble::Length);
    if (reply->command != request.command) return Verdict::Garbled(Verdict::Garble::Command);
    if (reply->status != kStatusAccepted) return Verdict::Refused(reply->status);
    if (bytes.size() < acceptedReplyLength(request.command, reply->command))
        return Verdict::Garbled(Verdict::Garble::Length);
    return Verdict::Accepted();
}

bool ReplyIsComplete(std::uint8_t command, const QByteArray& received, const Signature& signature) {
    if (!signatureMatches(received, signature)) return true;
    if (received.size() < kReplyHeaderLength) return false;
    if (byteAt(received, kStatusByte) != kStatusAccepted) return true;
    return received.size() >= acceptedReplyLength(command, byteAt(received, kCommandByte));
}

}  // namespace rzl
