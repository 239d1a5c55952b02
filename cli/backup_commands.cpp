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

#include "cli/commands.h"
#include "cli/file_streams.h"
#include "cli/session.h"
#include "core/standard_text.h"
#include "cli/settings_commands.h"
#include "protocol/module_commands.h"
#include "ui/setup/settings_backup.h"

namespace rzl::cli {

namespace {

constexpr qint64 kMaxSettingsFileBytes = 64 * 1024;  // a settings file is well under 1 KiB
constexpr int kRestartPollMs = 1000;

// The module's settings from its identify reply.
SavedSettings ModuleSettings(const Module& m) {
    return SettingsOf(m.reply.settings, m.modelName, m.reply.model, m.reply.mac, m.reply.firmware);
}

// The write of a group as the file has it: the setup window's checks on the file's values, then
// the core's operation with them. Nothing, with the error box, when a value does not pass.
Checked<PreparedWrite> GroupWrite(SettingsGroup group, const SavedSettings& file, const RestoreKeys& keys,
                                  const LengthLog& log) {
    switch (group) {
    case SettingsGroup::Ap:
        return PrepareWifi(true, file.apSsid, file.apSecured ? keys.ap.value_or(QString()) : QString(),
                           file.apSecured ? KeyType::Wpa : KeyType::Open, log);
    case SettingsGroup::Station:
        return PrepareWifi(false, file.staSsid, file.staKeyType != 0 ? keys.station.value_or(QString()) : QString(),
                           static_cast<KeyType>(file.staKeyType), log);
    case SettingsGroup::StaticIp:
        return file.staticIp ? PrepareStaticIp(file.staIp, file.staNetmask, file.staGateway) : PrepareClearStaticIp();
    case SettingsGroup::Location: return PrepareLocation(file.location, log);
    case SettingsGroup::Modbus:
        return PrepareModbus({static_cast<std::uint16_t>(file.modbusPort), static_cast<std::uint16_t>(file.modbusIdleTimeout)});
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

ExitCode RunBackup(Session& session, const QString& path) {
    const bool toStandardOutput = IsStandardOutput(path);
    const QString shownPath = toStandardOutput ? QStringLiteral("standard output") : path;
    session.details().insert("file", path);
    if (toStandardOutput && session.options().json)
        return session.fail(Outcome::Invalid, QStringLiteral("backup to standard output leaves no room for --json there; "
                                                             "nothing was sent"));
    ExitCode ended = kExitDone;
    const std::optional<Module> module = session.identify(&ended);
    if (!module) return ended;
    const SavedSettings settings = ModuleSettings(*module);
    const QByteArray text = SettingsFileText(settings);
    session.details().insert("settings", SettingsGroupsJson(settings));
    QString problem;
    if (toStandardOutput) {
        // Written like any result: a write that fails is found when standard output is closed (exit 6).
        WriteStandardText(stdout, text);
    } else if (!WriteFile(path, text, &problem)) {
        return session.fail(Outcome::Invalid, QStringLiteral("cannot write %1: %2").arg(path, problem));
    }
    const QString saved = QStringLiteral("Saved the settings of %1 %2 to %3 (the AP and Station keys are not saved)")
                              .arg(settings.model, settings.mac, shownPath);
    if (toStandardOutput) {
        session.message(saved);  // standard output holds the file alone
        return session.finish(Outcome::Done);
    }
    return session.finish(Outcome::Done, {saved});
}

namespace {

// A key read, and kept out of what is printed.
std::optional<Key> readKey(Session& session, const KeySource& source, bool required, QString* problem) {
    std::optional<Key> key = session.keys().read(source, required, problem);
    if (key && key->given()) session.hideKey(key->text);
    return key;
}

// The restore's keys as given: typed, on standard input or in a file.
std::optional<RestoreKeys> givenRestoreKeys(Session& session, const RestoreOptions& options, QString* problem) {
    RestoreKeys keys;
    for (auto [source, into] : {std::pair{options.apKey, &keys.ap}, std::pair{options.stationKey, &keys.station}}) {
        source.variable.clear();
        const std::optional<Key> key = readKey(session, source, false, problem);
        if (!key) return std::nullopt;
        if (key->given()) *into = key->text;
    }
    return keys;
}

// The environment's keys, for the groups the file has secured and no key was given for: an
// exported RZL_AP_KEY says nothing about a file with an open access point.
void environmentRestoreKeys(Session& session, const SavedSettings& file, const RestoreOptions& options, RestoreKeys& keys) {
    QString unused;
    for (auto [source, into, secured] : {std::tuple{options.apKey, &keys.ap, file.apSecured},
                                         std::tuple{options.stationKey, &keys.station, file.staKeyType != 0}}) {
        if (*into || !secured) continue;
        source.value.reset();
        source.file.reset();
        if (const std::optional<Key> key = readKey(session, source, false, &unused); key && key->given()) *into = key->text;
    }
}

// Asks a terminal user for the keys of the secured groups the plan skips for want of them.
bool askSkippedKeys(Session& session, const RestorePlan& plan, const RestoreOptions& options, RestoreKeys& keys,
                    QString* problem) {
    bool asked = false;
    for (const GroupChange& change : plan.changes) {
        const bool ap = change.group == SettingsGroup::Ap;
        if (change.action != GroupChange::Skip || (!ap && change.group != SettingsGroup::Station)) continue;
        std::optional<QString>& key = ap ? keys.ap : keys.station;
        if (key) continue;  // skipped for another reason (an empty SSID)
        KeySource source = ap ? options.apKey : options.stationKey;
        source.variable.clear();
        if (!session.keys().canAsk()) return asked;
        const std::optional<Key> typed = readKey(session, source, true, problem);
        if (!typed) return false;
        key = typed->text;
        asked = true;
    }
    return asked;
}

// Writes one group as the file has it, its box printed. Nothing when it was done; otherwise the
// outcome it ended the restore with.
std::optional<Outcome> writeGroup(Session& session, SettingsGroup group, const SavedSettings& file, const RestoreKeys& keys) {
    const Checked<PreparedWrite> write =
        GroupWrite(group, file, keys, session.lengthLog());
    if (!write.ok()) {
        session.show(write.problem);
        return Outcome::Invalid;
    }
    const OperationResult result = write.value->run(session.ctx(), session.stop());
    session.show(SettingsWriteBox(write.value->group, result));
    session.warn(SettingsWarnings(result));
    if (result.end == OperationResult::End::Stopped || result.end == OperationResult::End::Failed) {
        // The group's own files: which the module got before the write ended.
        session.details().insert("changed", QJsonArray::fromStringList(result.changed()));
        session.details().insert("notSent", QJsonArray::fromStringList(result.notDone()));
    }
    switch (result.end) {
    case OperationResult::End::Done: return std::nullopt;
    case OperationResult::End::NotLinked: return Outcome::NotLinked;
    case OperationResult::End::Stopped: return session.stoppedOutcome();
    case OperationResult::End::Failed: break;
    }
    return Judge(*result.failedStep(), Role::Step).outcome;
}

}  // namespace

ExitCode RunRestore(Session& session, const QString& path, const RestoreOptions& options) {
    // The keys and the file first: what cannot be used sends nothing.
    session.details().insert("file", path);
    QString why;
    if (path == QLatin1String("-")) session.keys().takeStandardInput(QStringLiteral("restore -"));
    std::optional<RestoreKeys> keys = givenRestoreKeys(session, options, &why);
    if (!keys) return session.fail(Outcome::Invalid, why + QStringLiteral("; nothing was sent"));
    session.warnTypedKeys();
    std::optional<QByteArray> text;
    if (path == QLatin1String("-")) {
        text = ReadStandardInput(kMaxSettingsFileBytes, &why);
    } else {
        text = ReadRegularFile(path, kMaxSettingsFileBytes, &why);
    }
    const QString shownPath = path == QLatin1String("-") ? QStringLiteral("standard input") : path;
    if (!text) return session.fail(Outcome::Invalid, QStringLiteral("%1: %2; nothing was sent").arg(shownPath, why));
    const std::optional<SavedSettings> file =
        text->size() > kMaxSettingsFileBytes ? std::nullopt : ReadSettingsFile(*text, &why);
    if (!file) {
        if (why.isEmpty()) why = QStringLiteral("not a settings file: larger than %1 bytes").arg(kMaxSettingsFileBytes);
        return session.fail(Outcome::Invalid, QStringLiteral("%1: %2; nothing was sent").arg(shownPath, why));
    }
    environmentRestoreKeys(session, *file, options, *keys);

    ExitCode ended = kExitDone;
    const std::optional<Module> module = session.identify(&ended);
    if (!module) return ended;
    Context& c = session.ctx();
    const bool reboot = session.options().rebootAfter;
    RestorePlan plan = PlanRestore(ModuleSettings(*module), *file, *keys, reboot);
    QString notTyped;
    if (plan.error.isEmpty() && askSkippedKeys(session, plan, options, *keys, &notTyped))
        plan = PlanRestore(ModuleSettings(*module), *file, *keys, reboot);
    if (!notTyped.isEmpty()) return session.fail(Outcome::Invalid, notTyped + QStringLiteral("; nothing was written"));
    if (!plan.error.isEmpty()) return session.fail(Outcome::Invalid, plan.error + QStringLiteral("; nothing was written"));

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
    session.details().insert("about", QJsonArray::fromStringList(plan.about));
    session.details().insert("changes", changes);
    session.details().insert("written", QJsonArray());
    session.out().lines(lines);
    // A group left for want of its key makes the restore "skipped", however well the rest went.
    const Outcome verdict = plan.skips() ? Outcome::Skipped : Outcome::Done;
    const QString skipped = QStringLiteral("groups were skipped: their keys were not given");
    const bool writes = std::any_of(plan.changes.begin(), plan.changes.end(),
                                    [](const GroupChange& g) { return g.action == GroupChange::Apply; });
    if (!writes) return session.finish(verdict, {}, skipped);

    if (!session.confirm(reboot ? QStringLiteral("Write these settings and restart the module?")
                                : QStringLiteral("Write these settings?")))
        return session.refusedConfirmation();
    if (const std::optional<ExitCode> ended = session.beginWrite()) return *ended;

    bool switchMode = false;
    QJsonArray written;
    for (const GroupChange& change : plan.changes) {
        if (change.action != GroupChange::Apply) continue;
        if (change.group == SettingsGroup::WifiMode) {
            switchMode = true;
            continue;
        }
        if (const std::optional<Outcome> stopped = writeGroup(session, change.group, *file, *keys)) {
            session.details().insert("stoppedAt", GroupName(change.group));
            const QString where = QStringLiteral("the restore stopped at %1: the groups after it were not written")
                                      .arg(GroupName(change.group));
            return session.stopped() ? session.failStopped(where) : session.fail(*stopped, where);
        }
        written.append(GroupName(change.group));
        session.details().insert("written", written);
    }
    if (!reboot) {
        session.message(QStringLiteral("The module takes the written settings when it restarts (restore --reboot restarts it)."));
        return session.finish(verdict, {}, skipped);
    }

    // One restart, as the setup window's action makes it: the Wi-Fi mode switch is one by itself.
    const OperationResult restart = switchMode ? SetWifiMode(c, file->wifiModeAp, session.stop()) : Reboot(c, session.stop());
    session.show(MaintenanceBox(switchMode ? Maintenance::WifiMode : Maintenance::Reboot, restart));
    if (restart.end == OperationResult::End::Stopped)
        return session.failStopped(QStringLiteral("the settings were written; the module was not restarted"));
    if (!restart.done()) {
        session.out().lastMessage.clear();
        return session.fail(Outcome::NotSent, QStringLiteral("the settings were written, but the module was not restarted"));
    }
    session.details().insert("rebooted", true);
    const int waitS = session.options().rebootWaitS;
    session.message(QStringLiteral("Waiting up to %1 s for the module to come back with the file's settings").arg(waitS));
    const QDeadlineTimer deadline(std::chrono::seconds{waitS});
    std::optional<Module> back;
    QStringList differing;
    do {
        // A module that has not gone down yet still answers with its old settings: ask again.
        c.clock.pause(static_cast<int>(std::min<qint64>(kRestartPollMs, deadline.remainingTime())));
        const std::optional<Module> answer = session.tryIdentify();  // quietly: it may be down
        if (!answer) continue;
        back = answer;
        differing = StillDiffering(ModuleSettings(*back), *file, plan);
    } while ((!back || !differing.isEmpty()) && !deadline.hasExpired() && !session.stopped());
    if (session.stopped())
        return session.failStopped(QStringLiteral("the settings were written and the module restarted; not checked"));

    if (!back)
        return session.fail(Outcome::Unreachable, QStringLiteral("the module did not answer at %1 within %2 s of the restart")
                                                      .arg(c.session.deviceIp)
                                                      .arg(waitS));
    session.noteModule(*back);
    session.details().insert("verified", differing.isEmpty());
    if (!differing.isEmpty()) {
        session.details().insert("differing", QJsonArray::fromStringList(differing));
        for (const QString& line : differing) session.message(line);
        return session.fail(Outcome::Mismatch, QStringLiteral("after the restart the module does not report the file's settings"));
    }
    return session.finish(verdict,
                          {QStringLiteral("Verified: after the restart the module reports the file's settings%1.")
                               .arg(plan.skips() ? QStringLiteral(" (but for the skipped groups)") : QString())},
                          skipped);
}

}  // namespace rzl::cli
