#include "cli/outcome_table.h"

#include "ui/operation_texts.h"

namespace rzl::cli {

namespace {

// Done, but not confirmed: the request went out and the module said nothing.
constexpr Outcome kSentUnconfirmed = Outcome::Done;

struct Row {
    Event event;
    Outcome read, confirm, restart, step;
    bool confirmed;
};

// The one table. A reply whose only job is to confirm (locate, counter clear, a step of a write,
// the Wi-Fi mode and the reset) that does not come leaves the request done but unconfirmed;
// one that carries what was asked for leaves nothing to report: no-reply.
constexpr Row kTable[] = {
    //  event               read                   confirm               restart               step
    {Event::Accepted, Outcome::Done, Outcome::Done, Outcome::Done, Outcome::Done, true},
    {Event::Refused, Outcome::Refused, Outcome::Refused, Outcome::Refused, Outcome::Refused, true},
    {Event::Garbled, Outcome::NoReply, Outcome::NoReply, Outcome::NoReply, Outcome::NoReply, true},
    {Event::Silence, Outcome::NoReply, kSentUnconfirmed, kSentUnconfirmed, kSentUnconfirmed, false},
    {Event::Closed, Outcome::NoReply, kSentUnconfirmed, kSentUnconfirmed, kSentUnconfirmed, false},
    {Event::Sent, Outcome::Done, Outcome::Done, Outcome::Done, Outcome::Done, true},
    {Event::NoConnection, Outcome::Unreachable, Outcome::Unreachable, Outcome::NotSent, Outcome::NotSent, true},
    {Event::NotWritten, Outcome::NotSent, Outcome::NotSent, Outcome::NotSent, Outcome::NotSent, true},
    {Event::Busy, Outcome::NotSent, Outcome::NotSent, Outcome::NotSent, Outcome::NotSent, true},
    {Event::NotLinked, Outcome::NotLinked, Outcome::NotLinked, Outcome::NotLinked, Outcome::NotLinked, true},
    {Event::Content, Outcome::NotSent, Outcome::NotSent, Outcome::NotSent, Outcome::NotSent, true},
    {Event::DoesNotFit, Outcome::Invalid, Outcome::Invalid, Outcome::Invalid, Outcome::Invalid, true},
};

const Row& rowOf(Event event) {
    for (const Row& row : kTable)
        if (row.event == event) return row;
    return kTable[0];
}

Outcome columnOf(const Row& row, Role role) {
    switch (role) {
    case Role::Read: return row.read;
    case Role::Confirm: return row.confirm;
    case Role::Restart: return row.restart;
    case Role::Step: break;
    }
    return row.step;
}

QString errorOf(Event event, const Verdict& verdict, const QString& reason) {
    const auto with = [&](const QString& what) { return reason.isEmpty() ? what : what + QStringLiteral(": ") + reason; };
    switch (event) {
    case Event::Refused: return QStringLiteral("reply not accepted (status %1)").arg(verdict.status);
    case Event::Garbled: return NotValidText(verdict);
    case Event::Silence: return QStringLiteral("no reply from the module");
    case Event::Closed: return with(QStringLiteral("the module closed the connection without a reply"));
    case Event::NoConnection: return QStringLiteral("Connect Timeout");
    case Event::NotWritten: return with(QStringLiteral("the request could not be written"));
    case Event::Busy: return QStringLiteral("another request to the module is still running");
    case Event::NotLinked: return QStringLiteral("the link check failed; nothing sent");
    case Event::Content: return with(QStringLiteral("the content did not reach the module"));
    case Event::DoesNotFit: return reason;
    case Event::Accepted:
    case Event::Sent: break;
    }
    return {};
}

Judgement judge(Event event, Role role, const Verdict& verdict, const QString& reason) {
    const Row& row = rowOf(event);
    const Outcome outcome = columnOf(row, role);
    return {outcome, row.confirmed, outcome == Outcome::Done ? QString() : errorOf(event, verdict, reason)};
}

}  // namespace

Event EventOf(const ExchangeOutcome& o) {
    if (o.verdict.accepted()) return Event::Accepted;
    if (o.verdict.refused()) return Event::Refused;
    if (o.verdict.garbled()) return Event::Garbled;
    switch (o.result) {
    case ExchangeResult::Replied: return Event::Garbled;  // a reply without a verdict cannot be judged valid
    case ExchangeResult::NoReply: return Event::Silence;
    case ExchangeResult::ConnectionLost: return Event::Closed;
    case ExchangeResult::Sent: return Event::Sent;
    case ExchangeResult::NotSent: return Event::NotWritten;
    case ExchangeResult::NoConnection: return Event::NoConnection;
    case ExchangeResult::Busy: return Event::Busy;
    case ExchangeResult::NotLinked: return Event::NotLinked;
    }
    return Event::NotWritten;
}

Event EventOf(const Step& step) {
    switch (step.failure) {
    case Step::Failure::DoesNotFit: return Event::DoesNotFit;
    case Step::Failure::Busy: return Event::Busy;
    case Step::Failure::Content: return Event::Content;
    case Step::Failure::None:
    case Step::Failure::NotDelivered:
    case Step::Failure::Answer: break;
    }
    // A refused delete is done: the file is not there after it.
    if (step.done() && step.confirmed()) return Event::Accepted;
    return EventOf(ExchangeOutcome{step.reached, step.reason, {}, step.verdict});
}

Judgement Judge(const ExchangeOutcome& outcome, Role role) {
    return judge(EventOf(outcome), role, outcome.verdict, outcome.reason);
}

Judgement Judge(const Step& step, Role role) { return judge(EventOf(step), role, step.verdict, step.reason); }

}  // namespace rzl::cli
