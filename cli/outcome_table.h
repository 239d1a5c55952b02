#pragma once
// rzlctl's outcome of a request, decided in one table from the typed result: how far the
// exchange got and the validator's verdict on the reply, read by the role the reply plays.
// Nothing here looks at a text the module's messages or the windows show.

#include <QString>

#include "cli/command_result.h"
#include "protocol/operation.h"
#include "protocol/tcp_exchange.h"

namespace rzl::cli {

// What a reply is for.
enum class Role {
    Read,     // it carries what was asked for (identify, status, counters, an output switched)
    Confirm,  // it only confirms a request of its own (locate, counter clear)
    Restart,  // it confirms a command that restarts the module (Wi-Fi mode, reset)
    Step,     // it confirms one step of a settings write, or no reply is read (send-only)
};

// What came of a request.
enum class Event {
    Accepted,      // a valid reply with status 6
    Refused,       // a valid reply with another status
    Garbled,       // a reply that is not valid
    Silence,       // sent, and no reply within the wait (or part of one, still coming)
    Closed,        // sent, and the module closed the connection without a reply
    Sent,          // send-only: the module's TCP stack acknowledged every byte
    NoConnection,  // no connection could be made
    NotWritten,    // connected, but the frame was not written (or not acknowledged)
    Busy,          // another exchange held the module
    NotLinked,     // the link check failed
    Content,       // a file's content did not reach the module
    DoesNotFit,    // the name or length does not fit the frame: nothing sent
};

Event EventOf(const ExchangeOutcome& outcome);
Event EventOf(const Step& step);

struct Judgement {
    Outcome outcome = Outcome::Done;
    bool confirmed = true;  // done with the module's word; false: done, sent without a reply
    QString error;          // when not done: why, in rzlctl's words
};

Judgement Judge(const ExchangeOutcome& outcome, Role role);
Judgement Judge(const Step& step, Role role);

}  // namespace rzl::cli
