#include "cli/settings_commands.h"

#include <QJsonArray>
#include <QJsonObject>

#include "cli/controller.h"
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
    {"set-web-key", 1, 1, "the login key"},
    {"set-location", 1, 1, "the location text"},
    {"set-modbus", 2, 2, "a port and an idle timeout in seconds"},
};

const Shape* shapeOf(const QString& command) {
    for (const Shape& shape : kShapes)
        if (command == QLatin1String(shape.name)) return &shape;
    return nullptr;
}

QString outcomeName(WriteOutcome outcome) {
    switch (outcome) {
    case WriteOutcome::Done: return QStringLiteral("done");
    case WriteOutcome::InvalidInput: return QStringLiteral("invalid-input");
    case WriteOutcome::Cancelled: return QStringLiteral("cancelled");
    case WriteOutcome::NotLinked: return QStringLiteral("not-linked");
    case WriteOutcome::Failed: return QStringLiteral("failed");
    case WriteOutcome::Refused: return QStringLiteral("refused");
    }
    return {};
}

ExitCode exitCodeOf(WriteOutcome outcome) {
    switch (outcome) {
    case WriteOutcome::Done: return kExitDone;
    case WriteOutcome::InvalidInput:
    case WriteOutcome::Cancelled: return kExitUsage;
    case WriteOutcome::NotLinked: return kExitNotLinked;
    case WriteOutcome::Failed: return kExitUnreachable;
    case WriteOutcome::Refused: return kExitNoReply;
    }
    return kExitUsage;
}

}  // namespace

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

ExitCode Controller::writeSetting(const SettingsCommand& command) {
    Context& c = ctx();
    command.fill(c.screen.setup);
    const WriteResult result = command.operation(c);
    const ExitCode code = exitCodeOf(result.outcome);

    // The operation's boxes have reached standard error already; a refusal or cancellation
    // without a box of its own gets its line here.
    QString message = result.message;
    if (result.outcome == WriteOutcome::Cancelled)
        message = refusalText();
    else if (result.outcome == WriteOutcome::NotLinked)
        message = QStringLiteral("the link check failed: nothing more was sent");

    if (options_.json) {
        QJsonObject json{{"command", command.name}, {"result", outcomeName(result.outcome)}, {"message", message}};
        if (!result.changed.isEmpty() || !result.notSent.isEmpty()) {
            json.insert("changed", QJsonArray::fromStringList(result.changed));
            json.insert("notSent", QJsonArray::fromStringList(result.notSent));
        }
        if (!result.warning.isEmpty()) json.insert("warning", result.warning);
        if (code != kExitDone) {
            json.insert("error", message);
            json.insert("exit", code);
        }
        emitResult(json, {});
    } else if (code == kExitDone) {
        emitResult({}, {message});
        if (!result.warning.isEmpty()) printMessage(QStringLiteral("rzlctl: warning: ") + result.warning);
    } else if (result.message.isEmpty()) {
        printMessage(QStringLiteral("rzlctl: ") + message);
    }
    return code;
}

}  // namespace rzl::cli
