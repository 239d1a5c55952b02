// rzlctl wifi-mode, reset-defaults and reboot: the setup window's maintenance actions, on the
// core's commands.

#include "cli/commands.h"
#include "cli/session.h"
#include "protocol/module_commands.h"
#include "ui/setup/settings_fields.h"

namespace rzl::cli {

namespace {

// Confirm, send, print the window's box, judge the typed result.
ExitCode runAction(Session& session, const QString& confirmation, Maintenance action, Role role,
                   const std::function<OperationResult()>& send) {
    if (!session.confirm(confirmation)) return session.refusedConfirmation();
    if (const std::optional<ExitCode> ended = session.beginWrite()) return *ended;
    const OperationResult result = send();
    if (result.end == OperationResult::End::NotLinked)
        return session.fail(Outcome::NotLinked, QStringLiteral("the link check failed; nothing sent"));
    if (result.end == OperationResult::End::Stopped) return session.failStopped(QStringLiteral("nothing was sent"));
    session.show(MaintenanceBox(action, result));
    const QString& command = session.out().report().command;
    const Step& step = result.steps.last();
    const Judgement judgement = Judge(step, role);
    session.details().insert("confirmed", judgement.confirmed);
    if (judgement.outcome == Outcome::Done) return session.finish(Outcome::Done, {command + QStringLiteral(": sent")});
    session.out().lastMessage.clear();
    if (judgement.outcome == Outcome::NotSent || judgement.outcome == Outcome::Unreachable)
        return session.fail(judgement.outcome, QStringLiteral("%1 was not sent").arg(command));
    return session.fail(judgement.outcome, judgement.error);
}

}  // namespace

ExitCode RunWifiMode(Session& session, bool ap) {
    session.details().insert("mode", ap ? "AP" : "Station");
    return runAction(session, WifiModeConfirmation(ap), Maintenance::WifiMode, Role::Restart,
                     [&] { return SetWifiMode(session.ctx(), ap, session.stop()); });
}

ExitCode RunResetDefaults(Session& session) {
    return runAction(session, ResetConfirmation(), Maintenance::Reset, Role::Restart,
                     [&] { return ResetSettings(session.ctx(), session.stop()); });
}

ExitCode RunReboot(Session& session) {
    return runAction(session, RebootConfirmation(), Maintenance::Reboot, Role::Step,
                     [&] { return Reboot(session.ctx(), session.stop()); });
}

}  // namespace rzl::cli
