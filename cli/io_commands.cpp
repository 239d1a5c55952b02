// rzlctl set-do, locate, counters and clear-counter: the queued requests of the main and counter
// windows, sent at once.

#include <QJsonArray>

#include "cli/commands.h"
#include "cli/output_lines.h"
#include "cli/session.h"
#include "protocol/model_catalogue.h"
#include "protocol/module_commands.h"
#include "protocol/request_builders.h"

namespace rzl::cli {

namespace {

// A step whose reply only confirms it, for its warning when the module said nothing.
Step confirmationStep(std::uint8_t command) {
    Step step;
    step.command = command;
    return step;
}

// Done, confirmed by the module or not: "confirmed" in the details, and a warning when not.
void noteConfirmation(Session& session, bool confirmed, std::uint8_t command) {
    session.details().insert("confirmed", confirmed);
    if (!confirmed) session.warn({UnconfirmedText(confirmationStep(command))});
}

}  // namespace

ExitCode RunSetOutput(Session& session, int output, bool on) {
    ExitCode ended = kExitDone;
    const std::optional<Module> module = session.identify(&ended);
    if (!module) return ended;
    Context& c = session.ctx();
    session.details() = {{"output", output}, {"requested", on ? "on" : "off"}};
    if (!OutputUsable(ModelCatalogue::Lookup(module->reply.model), output))
        return session.fail(Outcome::Invalid, QStringLiteral("DO%1 is not an output of %2").arg(output).arg(module->modelName));
    if (!session.confirm(QStringLiteral("Switch DO%1 %2?").arg(output).arg(on ? "on" : "off")))
        return session.refusedConfirmation();
    if (const std::optional<ExitCode> failed = session.judged(SwitchOutput(c, output, on), Role::Read)) return *failed;
    const bool nowOn = (c.session.doState >> output) & 1;
    Merge(session.details(), IoJson(c.session));
    session.details().insert("on", nowOn);
    const QStringList lines{QStringLiteral("DO%1 %2  DO: %3  DI: %4")
                                .arg(output)
                                .arg(nowOn ? "On" : "Off")
                                .arg(Hex2(c.session.doState), Hex2(c.session.diState))};
    if (nowOn != on) return session.finish(Outcome::Mismatch, lines, QStringLiteral("the module did not switch DO%1").arg(output));
    return session.finish(Outcome::Done, lines);
}

ExitCode RunLocate(Session& session) {
    bool confirmed = true;
    if (const std::optional<ExitCode> failed = session.judged(Locate(session.ctx()), Role::Confirm, &confirmed))
        return *failed;
    noteConfirmation(session, confirmed, kCmdLocate);
    return session.done({}, {confirmed ? QStringLiteral("Set Locator done!") : QStringLiteral("locate: sent")});
}

ExitCode RunCounters(Session& session) {
    Context& c = session.ctx();
    if (const std::optional<ExitCode> failed = session.judged(ReadCounters(c), Role::Read)) return *failed;
    QStringList lines;
    QJsonArray values;
    for (int i = 0; i < 8; ++i) {
        lines.append(QStringLiteral("DI%1: %2").arg(i).arg(c.session.diCounters[i]));
        values.append(static_cast<qint64>(c.session.diCounters[i]));
    }
    return session.done({{"counters", values}}, lines);
}

ExitCode RunClearCounter(Session& session, int input) {
    session.details().insert("input", input);
    if (!session.confirm(QStringLiteral("Clear the counter of DI%1?").arg(input))) return session.refusedConfirmation();
    bool confirmed = true;
    const ExchangeOutcome cleared = SendCounterClear(session.ctx(), static_cast<std::uint8_t>(input));
    if (const std::optional<ExitCode> failed = session.judged(cleared, Role::Confirm, &confirmed)) return *failed;
    noteConfirmation(session, confirmed, kCmdCounterClear);
    return RunCounters(session);
}

}  // namespace rzl::cli
