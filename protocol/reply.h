#pragma once
// A reply judged against the request it answers, by one validator for every command.
//
// A reply is accepted when it opens with the signature, names the request's command in byte 4,
// says 6 in byte 5 and holds every field the program reads of that command's reply. A header
// that is the request's own but says another status is a refusal; anything else is garbled:
// another signature, another command, or too few bytes (a reply the module ended early). Bytes
// beyond the last field read are allowed: a module may pad its replies.
//
//   Validate(Request::Identify(), 5A 35 77 A5 21 15)        refused, status 21
//   Validate(Request::Identify(), 5A 35 77 A5 21 06 B0 ...) accepted, once 198 bytes are there
//   Validate(Request::Poll(),     A5 CA 88 5A D8 06 ...)    garbled: signature

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "protocol/request.h"

namespace rzl {

// A reply's header and payload. Decode gives nothing for fewer than the six header bytes.
struct Reply {
    Signature signature{};
    std::uint8_t command = 0;  // byte 4
    std::uint8_t status = 0;   // byte 5, 6 = accepted
    QByteArray payload;        // from byte 6

    static std::optional<Reply> Decode(const QByteArray& bytes);
    friend bool operator==(const Reply&, const Reply&) = default;
};

struct Verdict {
    enum class Kind {
        None,      // no reply to judge: nothing came, or the request was not sent
        Accepted,  // status 6, whole for its command
        Refused,   // the request's own header with another status
        Garbled,   // not a valid reply to the request
    };
    enum class Garble { Signature, Command, Length };

    Kind kind = Kind::None;
    int status = -1;                  // Refused and Accepted: byte 5
    Garble garble = Garble::Length;   // Garbled: what is wrong

    static Verdict None() { return {}; }
    static Verdict Accepted() { return {Kind::Accepted, kStatusAccepted, Garble::Length}; }
    static Verdict Refused(int status) { return {Kind::Refused, status, Garble::Length}; }
    static Verdict Garbled(Garble what) { return {Kind::Garbled, -1, what}; }

    bool accepted() const { return kind == Kind::Accepted; }
    bool refused() const { return kind == Kind::Refused; }
    bool garbled() const { return kind == Kind::Garbled; }
    friend bool operator==(const Verdict&, const Verdict&) = default;
};

// "accepted", "refused (status 21)", "garbled: another command in byte 4"
QString VerdictText(const Verdict& verdict);

// The one validator. An empty reply has no verdict (None).
Verdict Validate(const Request& request, const QByteArray& reply, const Signature& signature = kFrameSignature);

// Whether `received` holds everything a reply to `command` needs before it is handled: the
// header (signature, command, status) always, and for an accepted reply every field its
// handling reads. A reply whose signature is already wrong is complete as it is: no more bytes
// can make it valid.
bool ReplyIsComplete(std::uint8_t command, const QByteArray& received, const Signature& signature = kFrameSignature);

inline constexpr int kReplyHeaderLength = 6;  // signature, command, status

}  // namespace rzl
