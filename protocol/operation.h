#pragma once
// What an operation on the module did, step by step: the typed result of a settings write, a
// maintenance command or a firmware update, read alike by the setup window (its boxes) and by
// rzlctl (its outcomes).
//
// An operation runs its steps in a fixed order and stops at the first one that fails: the
// result names that step and why, the steps done before it and those not done. A step that
// waits for a reply and got none (silence, or a close without one) is done but not confirmed.

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

#include "protocol/reply.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

// Asked between two steps: true ends the operation there, before the next step is sent.
using StopRequested = std::function<bool()>;

struct Step {
    enum class Kind {
        Write,    // a file: its header (the reply confirms it), then its content
        Delete,   // a file deleted (a refusal is no failure: the file is not there after it)
        Command,  // one frame; its reply only confirms it (48, 50, 94, 220)
        SendOnly, // one frame; no reply is read (45, 38)
    };
    enum class Failure {
        None,          // done
        DoesNotFit,    // the name or the length does not fit its frame: nothing sent
        Busy,          // another exchange held the module: nothing sent
        NotDelivered,  // the frame did not reach the module (no connection, not written)
        Answer,        // the module refused it, or answered with a reply that is not valid
        Content,       // a file's content did not reach the module
    };

    Kind kind = Kind::Command;
    QString name;               // the file, for a write or a delete
    std::uint8_t command = 0;   // the command, for a command or a send-only frame
    ExchangeResult reached = ExchangeResult::Busy;
    Verdict verdict;            // the module's answer; None when none came or none is read
    Failure failure = Failure::None;
    QString reason;             // the socket's words, or what was wrong

    bool done() const { return failure == Failure::None; }
    bool awaitsReply() const { return kind != Kind::SendOnly; }
    // The module answered it as asked (a delete it refused included).
    bool confirmed() const { return verdict.accepted() || (kind == Kind::Delete && verdict.refused()); }
    // "write /local/locate.cfg", "delete /local/ap_key.cfg", "command 50"
    QString title() const;
};

struct OperationResult {
    enum class End {
        Done,       // every step went out
        NotLinked,  // the link check failed: nothing sent
        Stopped,    // a stop was asked for between two steps
        Failed,     // a step failed; it is the last of `steps`
    };

    End end = End::Done;
    QStringList planned;  // every step's title, in order
    QList<Step> steps;    // the steps that ran, in order
    // A last step that did not reach the module but changes nothing stored (the Modbus notice).
    std::optional<Step> missed;

    bool done() const { return end == End::Done; }
    const Step* failedStep() const { return end == End::Failed && !steps.isEmpty() ? &steps.last() : nullptr; }
    QStringList changed() const;      // the titles of the steps done
    QStringList notDone() const;      // the titles from the failed (or next) one on
    QList<Step> unconfirmed() const;  // steps done that waited for a reply and got none
    bool confirmed() const { return unconfirmed().isEmpty(); }
};

// Runs the steps of an operation: each one recorded, the plan's later steps not done once one
// fails or a stop is asked for.
class OperationRun {
public:
    OperationRun(const QStringList& planned, StopRequested stop);

    // Whether the operation goes on with its next step (asked before each).
    bool next();
    // Records a step; false when it failed (the operation ends there).
    bool record(const Step& step);
    OperationResult end(OperationResult::End end = OperationResult::End::Done);
    OperationResult& result() { return result_; }

private:
    OperationResult result_;
    StopRequested stop_;
};

// A command step from its exchange: not delivered, or answered with a refusal or a reply that is
// not valid, is a failure; silence or a close without a reply is done, unconfirmed.
Step CommandStep(std::uint8_t command, const ExchangeOutcome& sent);
Step SendOnlyStep(std::uint8_t command, const ExchangeOutcome& sent);

}  // namespace rzl
