#include "cli/settings_commands.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <iterator>

#include "cli/commands.h"
#include "cli/key_sources.h"
#include "cli/session.h"

namespace rzl::cli {

namespace {

struct Shape {
    const char* name;
    int minArgs;
    int maxArgs;
    const char* usage;
};

// What each command takes, in the words of a usage error ("set-modbus takes ...").
const Shape kShapes[] = {
    {"set-ap", 1, 2, "an SSID and, for WPA/WPA2, a key"},
    {"set-station", 1, 2, "an SSID and, unless --type open, a key"},
    {"set-static-ip", 3, 3, "an address, a subnet mask and a gateway"},
    {"clear-static-ip", 0, 0, "no arguments"},
    {"set-web-key", 0, 1, "the login key (or --key-file, RZL_WEB_KEY, - for standard input)"},
    {"set-location", 1, 1, "the location text"},
    {"set-modbus", 2, 2, "a port and an idle timeout in seconds"},
};

const Shape* shapeOf(const QString& command) {
    for (const Shape& shape : kShapes)
        if (command == QLatin1String(shape.name)) return &shape;
    return nullptr;
}

bool is(const SettingsCommand& command, const char* name) { return command.name == QLatin1String(name); }

// The write ended: the role of its steps' replies in the outcome table; a stop by its signal.
Judgement judged(const Session& session, const OperationResult& result) {
    switch (result.end) {
    case OperationResult::End::Done: return {Outcome::Done, result.confirmed(), {}};
    case OperationResult::End::NotLinked:
        return {Outcome::NotLinked, true, QStringLiteral("the link check failed: nothing more was sent")};
    case OperationResult::End::Stopped: {
        const QStringList changed = result.changed();
        return {session.stoppedOutcome(), true,
                session.stoppedText() +
                    (changed.isEmpty() ? QStringLiteral(" before anything was sent")
                                       : QStringLiteral(" after ") + changed.join(QStringLiteral(", "))) +
                    QStringLiteral("; not sent: ") + result.notDone().join(QStringLiteral(", "))};
    }
    case OperationResult::End::Failed: break;
    }
    return Judge(*result.failedStep(), Role::Step);
}

}  // namespace

bool TakeSettingKey(QStringList& args, const QString& keyType, const std::optional<QString>& keyFile,
                    KeyReader& keys, QString* problem) {
    const QString& command = args.value(0);
    struct KeyPlace {
        const char* command;
        int index;  // of the key in args
        const char* what;
        const char* variable;
    };
    static const KeyPlace places[] = {
        {"set-ap", 2, "the AP key", "RZL_AP_KEY"},
        {"set-station", 2, "the station key", "RZL_STATION_KEY"},
        {"set-web-key", 1, "the web key", "RZL_WEB_KEY"},
    };
    const auto place = std::find_if(std::begin(places), std::end(places),
                                    [&](const KeyPlace& p) { return command == QLatin1String(p.command); });
    if (place == std::end(places)) return true;
    if (args.size() < place->index) return true;  // too few arguments: the command's own check says so
    // An open station network takes no key: none is read (nor asked for).
    if (command == QLatin1String("set-station") && keyType == QLatin1String("open")) return true;
    const bool required = command == QLatin1String("set-web-key") || (command == QLatin1String("set-station") && !keyType.isEmpty());
    const KeySource source{QString::fromLatin1(place->what),
                           args.size() > place->index ? std::optional(args[place->index]) : std::nullopt, keyFile,
                           QStringLiteral("--key-file"), QString::fromLatin1(place->variable)};
    const std::optional<Key> key = keys.read(source, required, problem);
    if (!key) return false;
    args = args.mid(0, place->index);
    if (key->given()) args.append(key->text);
    return true;
}

bool ParseSettingsCommand(const QStringList& args, const QString& keyType, SettingsCommand* out, QString* problem) {
    const QString command = args.value(0);
    const Shape* shape = shapeOf(command);
    const QStringList a = args.mid(1);
    if (!shape || a.size() < shape->minArgs || a.size() > shape->maxArgs) {
        *problem = shape ? QString::fromLatin1(shape->usage) : QStringLiteral("no such setting");
        return false;
    }
    if (!keyType.isEmpty() && command != QLatin1String("set-station")) {
        *problem = QStringLiteral("no --type (only set-station does)");
        return false;
    }
    *out = {command, a, KeyType::Open};
    if (command == QLatin1String("set-ap")) {
        out->keyType = a.size() == 2 ? KeyType::Wpa : KeyType::Open;  // no key: an open access point
    } else if (command == QLatin1String("set-station")) {
        const QString type = keyType.isEmpty() ? (a.size() == 2 ? QStringLiteral("wpa") : QStringLiteral("open")) : keyType;
        if (type == QLatin1String("open")) out->keyType = KeyType::Open;
        else if (type == QLatin1String("wep")) out->keyType = KeyType::Wep;
        else if (type == QLatin1String("wpa")) out->keyType = KeyType::Wpa;
        else {
            *problem = QStringLiteral("--type open, wep or wpa");
            return false;
        }
    }
    return true;
}

namespace {

Checked<PreparedWrite> prepared(PreparedWrite write) { return {std::move(write), {}}; }

}  // namespace

Checked<PreparedWrite> PrepareWifi(bool ap, const QString& ssid, const QString& key, KeyType type, const LengthLog& log) {
    const Checked<WifiValues> values = CheckWifi(ssid, key, type, log);
    if (!values.ok()) return {std::nullopt, values.problem};
    const WifiValues v = *values.value;
    return prepared({WifiConfirmation(ap, ssid, type, key), ap ? SettingsWrite::Ap : SettingsWrite::Station,
                     [ap, v](Context& ctx, const StopRequested& stop) {
                         return ap ? WriteAp(ctx, v.ssid, v.type != KeyType::Open, v.key, stop)
                                   : WriteStation(ctx, v.ssid, v.type, v.key, stop);
                     }});
}

Checked<PreparedWrite> PrepareStaticIp(const QString& ip, const QString& mask, const QString& gateway) {
    const Checked<StaticIpValues> values = CheckStaticIp(ip, mask, gateway);
    if (!values.ok()) return {std::nullopt, values.problem};
    const StaticIpValues v = *values.value;
    return prepared({StaticIpConfirmation(ip, mask, gateway), SettingsWrite::StaticIp,
                     [v](Context& ctx, const StopRequested& stop) { return WriteStaticIp(ctx, v.ip, v.mask, v.gateway, stop); }});
}

Checked<PreparedWrite> PrepareClearStaticIp() {
    return prepared({ClearStaticIpConfirmation(), SettingsWrite::ClearStaticIp,
                     [](Context& ctx, const StopRequested& stop) { return ClearStaticIp(ctx, stop); }});
}

Checked<PreparedWrite> PrepareWebKey(const QString& text, const LengthLog& log) {
    const Checked<QByteArray> key = CheckWebKey(text, log);
    if (!key.ok()) return {std::nullopt, key.problem};
    return prepared({WebKeyConfirmation(text), SettingsWrite::WebKey,
                     [k = *key.value](Context& ctx, const StopRequested& stop) { return WriteWebKey(ctx, k, stop); }});
}

Checked<PreparedWrite> PrepareLocation(const QString& text, const LengthLog& log) {
    const Checked<QByteArray> location = CheckLocation(text, log);
    if (!location.ok()) return {std::nullopt, location.problem};
    return prepared({LocationConfirmation(text), SettingsWrite::Location,
                     [t = *location.value](Context& ctx, const StopRequested& stop) { return WriteLocation(ctx, t, stop); }});
}

Checked<PreparedWrite> PrepareModbus(const ModbusValues& v) {
    return prepared({ModbusConfirmation(v), SettingsWrite::Modbus,
                     [v](Context& ctx, const StopRequested& stop) { return WriteModbus(ctx, v.port, v.idleTimeout, stop); }});
}

Checked<PreparedWrite> PrepareSettingsWrite(const SettingsCommand& command, const LengthLog& log) {
    const QStringList& a = command.args;
    if (is(command, "set-ap") || is(command, "set-station"))
        return PrepareWifi(is(command, "set-ap"), a[0], a.value(1), command.keyType, log);
    if (is(command, "set-static-ip")) return PrepareStaticIp(a[0], a[1], a[2]);
    if (is(command, "clear-static-ip")) return PrepareClearStaticIp();
    if (is(command, "set-web-key")) return PrepareWebKey(a.value(0), log);
    if (is(command, "set-location")) return PrepareLocation(a[0], log);
    const Checked<ModbusValues> values = CheckModbus(a[0], a[1]);
    if (!values.ok()) return {std::nullopt, values.problem};
    return PrepareModbus(*values.value);
}

ExitCode RunPreparedWrite(Session& session, const PreparedWrite& write) {
    if (!session.confirm(write.confirmation)) {
        session.details().insert("message", session.refusalText());
        return session.refusedConfirmation();
    }
    if (const std::optional<ExitCode> ended = session.beginWrite()) return *ended;
    const OperationResult result = write.run(session.ctx(), session.stop());
    const Box box = SettingsWriteBox(write.group, result);
    session.show(box);
    const Judgement judgement = judged(session, result);
    const QString message = box.shown() ? box.text : judgement.error;
    session.details().insert("message", message);
    session.details().insert("confirmed", judgement.confirmed);
    // A write that stopped part way says what the module got and what it did not.
    if (result.end == OperationResult::End::Failed || result.end == OperationResult::End::Stopped) {
        session.details().insert("changed", QJsonArray::fromStringList(result.changed()));
        session.details().insert("notSent", QJsonArray::fromStringList(result.notDone()));
    }
    session.warn(SettingsWarnings(result));
    if (judgement.outcome == Outcome::Done) return session.finish(Outcome::Done, {message});
    // The box said it already; its text is not repeated.
    session.out().lastMessage = box.shown() ? message : QString();
    return session.finish(judgement.outcome, {}, message);
}

ExitCode RunSetting(Session& session, QStringList args, const QString& keyType, const std::optional<QString>& keyFile) {
    QString problem;
    if (!TakeSettingKey(args, keyType, keyFile, session.keys(), &problem)) return session.fail(Outcome::Invalid, problem);
    for (const QString& key : session.keys().keysRead()) session.hideKey(key);
    session.warnTypedKeys();
    SettingsCommand command;
    if (!ParseSettingsCommand(args, keyType, &command, &problem))
        return session.fail(Outcome::Invalid, args.value(0) + QStringLiteral(" takes ") + problem);
    const Checked<PreparedWrite> write =
        PrepareSettingsWrite(command, session.lengthLog());
    if (!write.ok()) {
        session.show(write.problem);
        session.details().insert("message", write.problem.text);
        session.out().lastMessage = write.problem.text;
        return session.fail(Outcome::Invalid, write.problem.text);
    }
    return RunPreparedWrite(session, *write.value);
}

}  // namespace rzl::cli
