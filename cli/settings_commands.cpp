#include "cli/settings_commands.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <iterator>

#include "cli/controller.h"
#include "cli/key_sources.h"
#include "ui/setup/settings_writes.h"
#include "core/context.h"

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

Outcome outcomeOf(WriteOutcome outcome) {
    switch (outcome) {
    case WriteOutcome::Done: return Outcome::Done;
    case WriteOutcome::InvalidInput: return Outcome::Invalid;
    case WriteOutcome::Cancelled: return Outcome::Cancelled;
    case WriteOutcome::NotLinked: return Outcome::NotLinked;
    case WriteOutcome::Failed: return Outcome::NotSent;
    case WriteOutcome::Refused: return Outcome::Refused;
    }
    return Outcome::Invalid;
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
    out->name = command;

    if (command == QLatin1String("set-ap")) {
        const bool open = a.size() == 1;  // no key: an open access point
        out->operation = &ApSsidWrite;
        out->fill = [a, open](SetupView& v) {
            v.edit1 = a[0];
            v.edit2 = a.value(1);
            v.radioButton1 = open;
            v.radioButton2 = !open;
        };
    } else if (command == QLatin1String("set-station")) {
        const QString type = keyType.isEmpty() ? (a.size() == 2 ? QStringLiteral("wpa") : QStringLiteral("open")) : keyType;
        if (type != QLatin1String("open") && type != QLatin1String("wep") && type != QLatin1String("wpa")) {
            *problem = QStringLiteral("--type open, wep or wpa");
            return false;
        }
        out->operation = &StationSsidWrite;
        out->fill = [a, type](SetupView& v) {
            v.edit3 = a[0];
            v.edit4 = a.value(1);
            v.radioButton3 = type == QLatin1String("open");
            v.radioButton4 = type == QLatin1String("wep");
            v.radioButton5 = type == QLatin1String("wpa");
        };
    } else if (command == QLatin1String("set-static-ip")) {
        out->operation = &StaticIpWrite;
        out->fill = [a](SetupView& v) {
            v.checkBox1 = true;
            v.edit8 = a[0];
            v.edit9 = a[1];
            v.edit10 = a[2];
        };
    } else if (command == QLatin1String("clear-static-ip")) {
        out->operation = &StaticIpWrite;
        out->fill = [](SetupView& v) { v.checkBox1 = false; };
    } else if (command == QLatin1String("set-web-key")) {
        out->operation = &WebKeyWrite;
        out->fill = [a](SetupView& v) { v.edit6 = a[0]; };
    } else if (command == QLatin1String("set-location")) {
        out->operation = &LocationWrite;
        out->fill = [a](SetupView& v) { v.edit5 = a[0]; };
    } else {
        out->operation = &ModbusWrite;
        out->fill = [a](SetupView& v) {
            v.edit7 = a[0];
            v.edit11 = a[1];
        };
    }
    return true;
}

WriteResult Controller::runSetting(const SettingsCommand& command) {
    command.fill(ctx().screen.setup);
    return command.operation(ctx());
}

std::optional<Key> Controller::readKey(const KeySource& source, bool required, QString* problem) {
    std::optional<Key> key = keys_.read(source, required, problem);
    if (key && key->given()) hideKey(key->text);
    return key;
}

ExitCode Controller::writeSetting(QStringList args, const QString& keyType, const std::optional<QString>& keyFile) {
    QString problem;
    if (!TakeSettingKey(args, keyType, keyFile, keys_, &problem)) return fail(Outcome::Invalid, problem);
    for (const QString& key : keys_.keysRead()) hideKey(key);
    SettingsCommand command;
    if (!ParseSettingsCommand(args, keyType, &command, &problem))
        return fail(Outcome::Invalid, args.value(0) + QStringLiteral(" takes ") + problem);
    const WriteResult result = runSetting(command);
    const Outcome outcome = outcomeOf(result.outcome);

    // The operation's boxes have reached standard error already; a refusal or cancellation
    // without a box of its own gets its line here.
    QString message = result.message;
    if (result.outcome == WriteOutcome::Cancelled)
        message = refusalText();
    else if (result.outcome == WriteOutcome::NotLinked)
        message = QStringLiteral("the link check failed: nothing more was sent");

    report_.details = {{"message", message}};
    // A write that stopped part way says what the module got and what it did not.
    if (!result.changed.isEmpty() || !result.notSent.isEmpty()) {
        report_.details.insert("changed", QJsonArray::fromStringList(result.changed));
        report_.details.insert("notSent", QJsonArray::fromStringList(result.notSent));
    }
    if (!result.warning.isEmpty()) {
        report_.details.insert("warning", result.warning);
        if (!options_.json) printMessage(QStringLiteral("rzlctl: warning: ") + result.warning);
    }
    if (outcome == Outcome::Done) return finish(outcome, {message});
    // The operation's error box said it already; its text is not repeated.
    lastMessage_ = result.message.isEmpty() ? QString() : message;
    return finish(outcome, {}, message);
}

}  // namespace rzl::cli
