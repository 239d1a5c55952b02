#pragma once
// Writing and deleting files in the module's flash store.
//
// A write announces the file with a 60-byte header through the exchange, pauses 1.5 s while
// the module makes ready, then streams the content from the transfer buffer on a connection
// of its own. A delete is one 40-byte frame. Both hold the exchange guard until their last
// connection has closed, so no poll, click or re-send reaches the module in the middle, and
// both stop at the first step that fails: nothing more is sent and the outcome says where
// and why. The module acknowledges nothing on the content connection and nothing is read back.

#include <QString>
#include <QtGlobal>
#include <functional>

#include "protocol/reply.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

class Context;

enum class TransferStep {
    None,     // every step went out
    Refused,  // the name does not fit its frame, or the length the buffer: nothing sent
    Busy,     // another exchange was running (a click inside its wait): nothing sent
    Header,   // the file header did not reach the module, or the module refused it or answered
              // with a reply that is not valid
    Content,  // the content connection could not be opened, or a write on it failed
    Delete,   // the delete frame did not reach the module, or its reply was not valid
};

struct TransferOutcome {
    TransferStep failedAt = TransferStep::None;
    bool write = true;   // a write (SendFile); a delete otherwise
    QString file;
    QString reason;      // the socket's words, or what was wrong
    // How far the header's or the delete's exchange got, and the module's answer to it. A
    // header or delete met by silence (or a close) went out all the same: no verdict, not
    // confirmed.
    ExchangeResult reached = ExchangeResult::Busy;
    Verdict verdict;
    int refusedStatus = -1;  // the module answered the header with this status instead of 6

    bool done() const { return failedAt == TransferStep::None; }
    // The module answered the header or the delete (a delete it refused counts: the file is
    // not there after it).
    bool confirmed() const { return verdict.accepted() || (!write && verdict.refused()); }
};

inline constexpr int kFileReadyPauseMs = 1500;

// Writes the first `length` bytes of the transfer buffer as file `name`, telling the display
// the progress (maximum = length, position = bytes the module has).
TransferOutcome SendFile(Context& ctx, const QString& name, qint64 length);

// Deletes file `name`. A module that has no such file answers with a status other than 6, the
// same as for a delete it refuses; either way the file is not there after it, so neither is a
// failure.
TransferOutcome KillFile(Context& ctx, const QString& name);

// The content step of SendFile on its own: the first `length` bytes of the transfer buffer in
// 1024-byte pieces, the progress after each piece and a repaint every 64 KiB; `written`,
// when given, hears the bytes written so far after each piece. False, with the reason in
// `error`, when the connection could not be opened or a write failed.
bool StreamFileContent(Context& ctx, qint64 length, QString* error,
                       const std::function<void(qint64 written)>& written = {});

}  // namespace rzl
