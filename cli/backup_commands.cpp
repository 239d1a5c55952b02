#include "cli/backup_commands.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSignalBlocker>
#include <algorithm>

#include "cli/controller.h"
#include "cli/settings_commands.h"
#include "protocol/identify_reply.h"
#include "protocol/model_catalogue.h"
#include "protocol/request_builders.h"
#include "ui/setup/maintenance.h"
#include "ui/setup/settings_backup.h"

namespace rzl::cli {

namespace {

constexpr qint64 kMaxSettingsFileBytes = 64 * 1024;  // a settings file is well under 1 KiB
constexpr int kRestartPollMs = 1000;

// The module's settings from the identify reply just received.
SavedSettings ModuleSettings(const Context& c) {
    const ReplyReader reply(c.session.rxFrame.data(), kRxFrameSize);
    return SettingsOf(c.info, c.screen.main.label4.caption, reply.byte(identify::kModel), reply.macText(),
                      reply.firmwareText().mid(1));
}

// An identify of the module at the target address: true when it answered.
bool IdentifyAgain(Context& c) {
    c.session.deviceIdentified = false;
    return SendIdentify(c).result == ExchangeResult::Replied && c.session.deviceIdentified;
}

// The rzlctl settings command that writes a group as the file has it.
QStringList WriteArguments(SettingsGroup group, const SavedSettings& file, const RestoreOptions& options,
                           QString* keyType) {
    const auto withKey = [](QStringList args, const std::optional<QString>& key) {
        return key ? args << *key : args;
    };
    switch (group) {
    case SettingsGroup::Ap:
        return withKey({"set-ap", file.apSsid}, file.apSecured ? options.apKey : std::nullopt);
    case SettingsGroup::Station:
        *keyType = QStringList{"open", "wep", "wpa"}.value(file.staKeyType);
        return withKey({"set-station", file.staSsid}, file.staKeyType != 0 ? options.stationKey : std::nullopt);
    case SettingsGroup::StaticIp:
        return file.staticIp ? QStringList{"set-static-ip", file.staIp, file.staNetmask, file.staGateway}
                             : QStringList{"clear-static-ip"};
    case SettingsGroup::Location: return {"set-location", file.location};
    case SettingsGroup::Modbus:
        return {"set-modbus", QString::number(file.modbusPort), QString::number(file.modbusIdleTimeout)};
    case SettingsGroup::WifiMode: break;  // not a file: the switch restarts the module
    }
    return {};
}

QString ActionWord(GroupChange::Action action) {
    switch (action) {
    case GroupChange::Apply: return QStringLiteral("apply");
    case GroupChange::Skip: return QStringLiteral("skip");
    case GroupChange::Later: return QStringLiteral("later");
    }
    return {};
}

// The groups that differ between the module and the file, leaving out those the plan left alone.
QStringList StillDiffering(const SavedSettings& module, const SavedSettings& file, const RestorePlan& plan) {
    QStringList lines;
    for (SettingsGroup group : SettingsGroups()) {
        const bool leftAlone = std::any_of(plan.changes.begin(), plan.changes.end(), [&](const GroupChange& c) {
            return c.group == group && c.action != GroupChange::Apply;
        });
        if (!leftAlone && GroupDiffers(group, module, file))
            lines.append(QStringLiteral("%1: the module reports %2, the file has %3")
                             .arg(GroupName(group), GroupText(group, module), GroupText(group, file)));
    }
    return lines;
}

}  // namespace

QList<OptionRow<RestoreOptions>> RestoreOptionRows() {
    // Each marks the keys given, so that another command does not silently drop them (a key
    // meant for set-ap would otherwise leave the access point open).
    const auto row = [](UsageOption usage, std::function<QString(const QString&, RestoreOptions&)> take) {
        return OptionRow<RestoreOptions>{usage, [take](const QString& value, RestoreOptions& o) {
                                             o.given = true;
                                             return take(value, o);
                                         }};
    };
    return {
        row({{"ap-key"}, "K", "restore: the key of a secured access point"},
            [](const QString& value, RestoreOptions& o) {
                o.apKey = value;
                return QString();
            }),
        row({{"station-key"}, "K", "restore: the key of a secured station network"},
            [](const QString& value, RestoreOptions& o) {
                o.stationKey = value;
                return QString();
            }),
    };
}

ExitCode Controller::backup(const QString& path) {
    if (const ExitCode code = identify(false); code != kExitDone) return code;
    const SavedSettings settings = ModuleSettings(ctx());
    const QByteArray text = SettingsFileText(settings);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return fail(kExitUsage, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    emitResult({{"command", "backup"}, {"file", path}, {"settings", QJsonDocument::fromJson(text).object()}},
               {QStringLiteral("Saved the settings of %1 %2 to %3 (the AP and Station keys are not saved)")
                    .arg(settings.model, settings.mac, path)});
    return kExitDone;
}

ExitCode Controller::restore(const QString& path, const RestoreOptions& options) {
    // The file first: a file that cannot be used sends nothing.
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return fail(kExitUsage, QStringLiteral("%1: %2; nothing was sent").arg(path, in.errorString()));
    const QByteArray text = in.read(kMaxSettingsFileBytes + 1);
    QString why;
    const std::optional<SavedSettings> file =
        text.size() > kMaxSettingsFileBytes ? std::nullopt : ReadSettingsFile(text, &why);
    if (!file) {
        if (why.isEmpty()) why = QStringLiteral("not a settings file: larger than %1 bytes").arg(kMaxSettingsFileBytes);
        return fail(kExitUsage, QStringLiteral("%1: %2; nothing was sent").arg(path, why));
    }

    if (const ExitCode code = identify(false); code != kExitDone) return code;
    Context& c = ctx();
    const bool reboot = options_.rebootAfter;
    const RestorePlan plan = PlanRestore(ModuleSettings(c), *file, {options.apKey, options.stationKey}, reboot);
    if (!plan.error.isEmpty()) return fail(kExitUsage, plan.error + QStringLiteral("; nothing was written"));

    QJsonArray changes;
    QStringList lines{QStringLiteral("Restore %1 onto the module at %2:").arg(path, c.session.deviceIp)};
    for (const QString& line : plan.about) lines.append(QStringLiteral("  ") + line + QStringLiteral(" (not restored)"));
    for (const GroupChange& change : plan.changes) {
        lines.append(QStringLiteral("  %1 %2  ->  %3").arg(GroupName(change.group) + QLatin1Char(':'), -12).arg(change.now, change.then));
        if (!change.why.isEmpty()) lines.append(QStringLiteral("      ") + change.why);
        changes.append(QJsonObject{{"group", GroupName(change.group)}, {"module", change.now}, {"file", change.then},
                                   {"action", ActionWord(change.action)}, {"why", change.why}});
    }
    if (plan.nothingToDo()) lines.append(QStringLiteral("Nothing to do: the module has the file's settings."));
    emitResult({{"command", "restore"}, {"file", path}, {"about", QJsonArray::fromStringList(plan.about)},
                {"changes", changes}, {"nothingToDo", plan.nothingToDo()}},
               lines);
    const ExitCode verdict = plan.skips() ? kExitUsage : kExitDone;  // a group left for want of its key
    const bool writes = std::any_of(plan.changes.begin(), plan.changes.end(),
                                    [](const GroupChange& g) { return g.action == GroupChange::Apply; });
    if (!writes) return verdict;

    if (!confirm(reboot ? QStringLiteral("Write these settings and restart the module?")
                        : QStringLiteral("Write these settings?")))
        return refusedConfirmation();
    dialogs_.answerYes();  // the operations' own confirmations were just answered

    bool switchMode = false;
    for (const GroupChange& change : plan.changes) {
        if (change.action != GroupChange::Apply) continue;
        if (change.group == SettingsGroup::WifiMode) {
            switchMode = true;
            continue;
        }
        QString keyType, problem;
        SettingsCommand command;
        if (!ParseSettingsCommand(WriteArguments(change.group, *file, options, &keyType), keyType, &command, &problem))
            return fail(kExitUsage, GroupName(change.group) + QStringLiteral(": ") + problem);
        if (const ExitCode code = writeSetting(command); code != kExitDone) {
            lastMessage_.clear();
            return fail(code, QStringLiteral("the restore stopped at %1: the groups after it were not written")
                                  .arg(GroupName(change.group)));
        }
    }
    if (!reboot) {
        printMessage(QStringLiteral("The module takes the written settings when it restarts (restore --reboot restarts it)."));
        return verdict;
    }

    // One restart, through the setup window's action: the Wi-Fi mode switch is one by itself.
    c.screen.setup.radioButton6 = file->wifiModeAp;
    c.screen.setup.radioButton7 = !file->wifiModeAp;
    if ((switchMode ? SwitchWifiMode(c) : RebootDevice(c)) != MaintenanceOutcome::Done) {
        lastMessage_.clear();
        return fail(kExitUnreachable, QStringLiteral("the settings were written, but the module was not restarted"));
    }
    const int waitS = options_.rebootWaitS;
    printMessage(QStringLiteral("Waiting up to %1 s for the module to come back with the file's settings").arg(waitS));
    const QDeadlineTimer deadline(std::chrono::seconds{waitS});
    bool answered = false;
    QStringList differing;
    do {
        // A module that has not gone down yet still answers with its old settings: ask again.
        c.clock.pause(static_cast<int>(std::min<qint64>(kRestartPollMs, deadline.remainingTime())));
        bool back = false;
        {
            const QSignalBlocker quiet(&c.screen);  // the attempts while it is down say nothing
            back = IdentifyAgain(c);
        }
        if (!back) continue;
        answered = true;
        differing = StillDiffering(ModuleSettings(c), *file, plan);
    } while ((!answered || !differing.isEmpty()) && !deadline.hasExpired());

    if (!answered)
        return fail(kExitUnreachable, QStringLiteral("the module did not answer at %1 within %2 s of the restart")
                                          .arg(c.session.deviceIp)
                                          .arg(waitS));
    if (!differing.isEmpty()) {
        for (const QString& line : differing) printMessage(line);
        return fail(kExitNoReply, QStringLiteral("after the restart the module does not report the file's settings"));
    }
    emitResult({{"command", "restore"}, {"verified", true}},
               {QStringLiteral("Verified: after the restart the module reports the file's settings%1.")
                    .arg(plan.skips() ? QStringLiteral(" (but for the skipped groups)") : QString())});
    return verdict;
}

}  // namespace rzl::cli
