#pragma once
// What rzlctl tells a script about a command: its outcome, one word of a closed set that fixes
// the exit code, and with --json one object of the same shape for every command, errors and
// usage errors included:
//
//   {"command": "identify", "outcome": "done", "exit": 0,
//    "module": {"address": ..., "port": ..., "model": ..., "modelCode": ..., "mac": ..., "firmware": ...},
//    "details": {...what the command found or did...},
//    "error": "..."}   <- only when the outcome is not "done"
//
// "module" holds what is known of the module targeted (its address and port at least, the
// identify reply's facts once it answered), under the names the backup file uses.

#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

#include "cli/exit_codes.h"

namespace rzl::cli {

enum class Outcome {
    Done,           // 0
    Invalid,        // 1: a usage error, a value or file this program refused; nothing sent
    Cancelled,      // 1: No at a confirmation (or no terminal to ask and no --yes)
    Skipped,        // 1: done, but for groups left out for want of their key
    Unreachable,    // 2: no connection to the module
    NotSent,        // 2: a step did not reach the module
    NoReply,        // 3: sent, and no valid reply came
    Refused,        // 3: the module answered with a refusal
    Mismatch,       // 3: the module answered, but is not as asked (an output, a checksum, settings)
    NotLinked,      // 4: the Wi-Fi link check failed
    ForeignModule,  // 5: the identify reply came from a module at another address
    Busy,           // 7: another program on this PC was writing to the module; nothing sent
    Interrupted,    // 130: SIGINT (Ctrl+C)
    Terminated,     // 143: SIGTERM
};

const QList<Outcome>& AllOutcomes();
QString OutcomeWord(Outcome outcome);  // "not-sent"
ExitCode ExitCodeOf(Outcome outcome);
// The usual outcome of an exit code, for code that knows only the code.
Outcome OutcomeOfExitCode(ExitCode code);

// What the identify reply says about the module, added to "module" when the result is written:
// a command that identifies the module again and again (a watch, the wait after a restart)
// only notes the facts, and the exchange builds no JSON.
struct ModuleFacts {
    QString model;
    int modelCode = 0;
    QString mac;
    QString firmware;
};

// A command's result as it is being gathered.
struct CommandReport {
    QString command;  // as typed ("clear-counter"); empty when no command could be read
    QJsonObject module;
    QJsonObject details;
    std::optional<ModuleFacts> identified;  // the last identify reply's, if one came
};

// Puts every member of `from` into `into`, replacing members of the same name.
void Merge(QJsonObject& into, const QJsonObject& from);

QJsonObject ResultObject(const CommandReport& report, Outcome outcome, const QString& error = {});
QByteArray ResultLine(const CommandReport& report, Outcome outcome, const QString& error = {});  // compact

}  // namespace rzl::cli
