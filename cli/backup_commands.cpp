#include "cli/backup_commands.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdio>
#include <tuple>
#include <utility>

#include "cli/controller.h"
#include "cli/file_streams.h"
#include "core/standard_text.h"
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
QStringList WriteArguments(SettingsGroup group, const SavedSettings& file, const RestoreKeys& options,
                           QString* keyType) {
    const auto withKey = [](QStringList args, const std::optional<QString>& key) {
        return key ? args << *key : args;
    };
    switch (group) {
    case SettingsGroup::Ap:
        return withKey({"set-ap", file.apSsid}, file.apSecured ? options.ap : std::nullopt);
    case SettingsGroup::Station:
        *keyType = QStringList{"open", "wep", "wpa"}.value(file.staKeyType);
        return withKey({"set-station", file.staSsid}, file.staKeyType != 0 ? options.station : std::nullopt);
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
    const auto row = [](UsageOption usage, std::optional<QString> KeySource::*field, KeySource RestoreOptions::*key) {
        return OptionRow<RestoreOptions>{usage, [field, key](const QString& value, RestoreOptions& o) {
                                             o.given = true;
                                             (o.*key).*field = value;
                                             return QString();
                                         }};
    };
    return {
        row({{"ap-key"}, "K", "restore: the key of a secured access point (- reads it from standard input)"},
            &KeySource::value, &RestoreOptions::apKey),
        row({{"ap-key-file"}, "FILE", "restore: the AP key, from the first line of FILE"}, &KeySource::file,
            &RestoreOptions::apKey),
        row({{"station-key"}, "K", "restore: the key of a secured station network (- reads standard input)"},
            &KeySource::value, &RestoreOptions::stationKey),
        row({{"station-key-file"}, "FILE", "restore: the station key, from the first line of FILE"}, &KeySource::file,
            &RestoreOptions::stationKey),
    };
}

ExitCode Controller::backup(const QString& path) {
    const bool toStandardOutput = IsStandardOutput(path);
    const QString shownPath = toStandardOutput ? QStringLiteral("standard output") : path;
    report_.details.insert("file", path);
    if (toStandardOutput && options_.json)
        return fail(Outcome::Invalid, QStringLiteral("backup to standard output leaves no room for --json there; "
                                                     "nothing was sent"));
    if (const ExitCode code = identify(false); code != kExitDone) return code;
    const SavedSettings settings = ModuleSettings(ctx());
    const QByteArray text = SettingsFileText(settings);
    report_.details.insert("settings", SettingsGroupsJson(settings));
    QString problem;
    if (toStandardOutput) {
        // Written like any result: a write that fails is found when standard output is closed (exit 6).
        WriteStandardText(stdout, text);
    } else if (!WriteFile(path, text, &problem)) {
        return fail(Outcome::Invalid, QStringLiteral("cannot write %1: %2").arg(path, problem));
    }
    const QString saved = QStringLiteral("Saved the settings of %1 %2 to %3 (the AP and Station keys are not saved)")
                              .arg(settings.model, settings.mac, shownPath);
    if (toStandardOutput) {
        printMessage(saved);  // standard output holds the file alone
        return finish(Outcome::Done);
    }
    return finish(Outcome::Done, {saved});
}

// The restore's keys as given: typed, on standard input or in a file.
std::optional<RestoreKeys> Controller::givenRestoreKeys(const RestoreOptions& options, QString* problem) {
    RestoreKeys keys;
    for (auto [source, into] : {std::pair{options.apKey, &keys.ap}, std::pair{options.stationKey, &keys.station}}) {
        source.variable.clear();
        const std::optional<Key> key = readKey(source, false, problem);
        if (!key) return std::nullopt;
        if (key->given()) *into = key->text;
    }
    return keys;
}

// The environment's keys, for the groups the file has secured and no key was given for: an
// exported RZL_AP_KEY says nothing about a file with an open access point.
void Controller::environmentRestoreKeys(const SavedSettings& file, const RestoreOptions& options, RestoreKeys& keys) {
    QString unused;
    for (auto [source, into, secured] : {std::tuple{options.apKey, &keys.ap, file.apSecured},
                                         std::tuple{options.stationKey, &keys.station, file.staKeyType != 0}}) {
        if (*into || !secured) continue;
        source.value.reset();
        source.file.reset();
        if (const std::optional<Key> key = readKey(source, false, &unused); key && key->given()) *into = key->text;
    }
}

// Asks a terminal user for the keys of the secured groups the plan skips for want of them.
bool Controller::askSkippedKeys(const RestorePlan& plan, const RestoreOptions& options, RestoreKeys& keys,
                                QString* problem) {
    bool asked = false;
    for (const GroupChange& change : plan.changes) {
        const bool ap = change.group == SettingsGroup::Ap;
        if (change.action != GroupChange::Skip || (!ap && change.group != SettingsGroup::Station)) continue;
        std::optional<QString>& key = ap ? keys.ap : keys.station;
        if (key) continue;  // skipped for another reason (an empty SSID)
        KeySource source = ap ? options.apKey : options.stationKey;
        source.variable.clear();
        if (!keys_.canAsk()) return asked;
        const std::optional<Key> typed = readKey(source, true, problem);
        if (!typed) return false;
        key = typed->text;
        asked = true;
    }
    return asked;
}

ExitCode Controller::restore(const QString& path, const RestoreOptions& options) {
    // The keys and the file first: what cannot be used sends nothing.
    report_.details.insert("file", path);
    QString why;
    if (path == QLatin1String("-")) keys_.takeStandardInput(QStringLiteral("restore -"));
    std::optional<RestoreKeys> keys = givenRestoreKeys(options, &why);
    if (!keys) return fail(Outcome::Invalid, why + QStringLiteral("; nothing was sent"));
    std::optional<QByteArray> text;
    if (path == QLatin1String("-")) {
        text = ReadStandardInput(kMaxSettingsFileBytes, &why);
    } else {
        text = ReadRegularFile(path, kMaxSettingsFileBytes, &why);
    }
    const QString shownPath = path == QLatin1String("-") ? QStringLiteral("standard input") : path;
    if (!text) return fail(Outcome::Invalid, QStringLiteral("%1: %2; nothing was sent").arg(shownPath, why));
    const std::optional<SavedSettings> file =
        text->size() > kMaxSettingsFileBytes ? std::nullopt : ReadSettingsFile(*text, &why);
    if (!file) {
        if (why.isEmpty()) why = QStringLiteral("not a settings file: larger than %1 bytes").arg(kMaxSettingsFileBytes);
        return fail(Outcome::Invalid, QStringLiteral("%1: %2; nothing was sent").arg(shownPath, why));
    }
    environmentRestoreKeys(*file, options, *keys);

    if (const ExitCode code = identify(false); code != kExitDone) return code;
    Context& c = ctx();
    const bool reboot = options_.rebootAfter;
    RestorePlan plan = PlanRestore(ModuleSettings(c), *file, *keys, reboot);
    QString notTyped;
    if (plan.error.isEmpty() && askSkippedKeys(plan, options, *keys, &notTyped))
        plan = PlanRestore(ModuleSettings(c), *file, *keys, reboot);
    if (!notTyped.isEmpty()) return fail(Outcome::Invalid, notTyped + QStringLiteral("; nothing was written"));
    if (!plan.error.isEmpty()) return fail(Outcome::Invalid, plan.error + QStringLiteral("; nothing was written"));

    QJsonArray changes;
    QStringList lines{QStringLiteral("Restore %1 onto the module at %2:").arg(shownPath, c.session.deviceIp)};
    for (const QString& line : plan.about) lines.append(QStringLiteral("  ") + line + QStringLiteral(" (not restored)"));
    for (const GroupChange& change : plan.changes) {
        lines.append(QStringLiteral("  %1 %2  ->  %3").arg(GroupName(change.group) + QLatin1Char(':'), -12).arg(change.now, change.then));
        if (!change.why.isEmpty()) lines.append(QStringLiteral("      ") + change.why);
        changes.append(QJsonObject{{"group", GroupName(change.group)}, {"moduleHas", change.now}, {"fileHas", change.then},
                                   {"action", ActionWord(change.action)}, {"why", change.why}});
    }
    if (plan.nothingToDo()) lines.append(QStringLiteral("Nothing to do: the module has the file's settings."));
    report_.details.insert("about", QJsonArray::fromStringList(plan.about));
    report_.details.insert("changes", changes);
    report_.details.insert("written", QJsonArray());
    printLines(lines);
    // A group left for want of its key makes the restore "skipped", however well the rest went.
    const Outcome verdict = plan.skips() ? Outcome::Skipped : Outcome::Done;
    const QString skipped = QStringLiteral("groups were skipped: their keys were not given");
    const bool writes = std::any_of(plan.changes.begin(), plan.changes.end(),
                                    [](const GroupChange& g) { return g.action == GroupChange::Apply; });
    if (!writes) return finish(verdict, {}, skipped);

    if (!confirm(reboot ? QStringLiteral("Write these settings and restart the module?")
                        : QStringLiteral("Write these settings?")))
        return refusedConfirmation();
    dialogs_.answerYes();  // the operations' own confirmations were just answered

    bool switchMode = false;
    QJsonArray written;
    for (const GroupChange& change : plan.changes) {
        if (change.action != GroupChange::Apply) continue;
        if (change.group == SettingsGroup::WifiMode) {
            switchMode = true;
            continue;
        }
        QString keyType, problem;
        SettingsCommand command;
        if (!ParseSettingsCommand(WriteArguments(change.group, *file, *keys, &keyType), keyType, &command, &problem))
            return fail(Outcome::Invalid, GroupName(change.group) + QStringLiteral(": ") + problem);
        const WriteResult result = runSetting(command);
        if (result.outcome != WriteOutcome::Done) {
            report_.details.insert("stoppedAt", GroupName(change.group));
            return fail(result.outcome == WriteOutcome::Refused ? Outcome::Refused
                        : result.outcome == WriteOutcome::NotLinked ? Outcome::NotLinked
                                                                     : Outcome::NotSent,
                        QStringLiteral("the restore stopped at %1: the groups after it were not written")
                            .arg(GroupName(change.group)));
        }
        written.append(GroupName(change.group));
        report_.details.insert("written", written);
    }
    if (!reboot) {
        printMessage(QStringLiteral("The module takes the written settings when it restarts (restore --reboot restarts it)."));
        return finish(verdict, {}, skipped);
    }

    // One restart, through the setup window's action: the Wi-Fi mode switch is one by itself.
    c.screen.setup.radioButton6 = file->wifiModeAp;
    c.screen.setup.radioButton7 = !file->wifiModeAp;
    if ((switchMode ? SwitchWifiMode(c) : RebootDevice(c)) != MaintenanceOutcome::Done) {
        lastMessage_.clear();
        return fail(Outcome::NotSent, QStringLiteral("the settings were written, but the module was not restarted"));
    }
    report_.details.insert("rebooted", true);
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
        return fail(Outcome::Unreachable, QStringLiteral("the module did not answer at %1 within %2 s of the restart")
                                              .arg(c.session.deviceIp)
                                              .arg(waitS));
    noteModule();
    report_.details.insert("verified", differing.isEmpty());
    if (!differing.isEmpty()) {
        report_.details.insert("differing", QJsonArray::fromStringList(differing));
        for (const QString& line : differing) printMessage(line);
        return fail(Outcome::Mismatch, QStringLiteral("after the restart the module does not report the file's settings"));
    }
    return finish(verdict,
                  {QStringLiteral("Verified: after the restart the module reports the file's settings%1.")
                       .arg(plan.skips() ? QStringLiteral(" (but for the skipped groups)") : QString())},
                  skipped);
}

}  // namespace rzl::cli
