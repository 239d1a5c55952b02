#include "ui/setup/settings_backup.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

#include "protocol/identify_reply.h"
#include "protocol/text_codec.h"
#include "ui/setup/settings_fields.h"

namespace rzl {

namespace {

const QLatin1String kFormat("rzl-ctrl settings");
constexpr int kMaxTextBytes = 31;  // the identify reply's text fields; the writes take as many

QString keyTypeWord(int type) {
    return type == 0 ? QStringLiteral("open") : type == 1 ? QStringLiteral("wep") : QStringLiteral("wpa");
}
QString keyTypeName(int type) {
    return type == 0 ? QStringLiteral("open") : type == 1 ? QStringLiteral("WEP") : QStringLiteral("WPA/WPA2");
}
QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// Reads the fields of a file, remembering the first that is missing or wrong.
class FieldReader {
public:
    QString error;

    QJsonObject object(const QJsonObject& in, const QString& key) {
        if (!in.value(key).isObject()) fault(key, QStringLiteral("an object"));
        return in.value(key).toObject();
    }
    QString text(const QJsonObject& in, const QString& key, const QString& path = {}) {
        if (!in.value(key).isString()) fault(path + key, QStringLiteral("a string"));
        return in.value(key).toString();
    }
    // Text the module can hold: 8-bit, no control characters, at most 31 bytes.
    QString moduleText(const QJsonObject& in, const QString& key, const QString& path = {}) {
        const QString value = text(in, key, path);
        QString why;
        const std::optional<QByteArray> bytes = toModuleText(value, &why);
        if (!bytes)
            fault(path + key, QStringLiteral("a text the module can hold (%1)").arg(why));
        else if (bytes->size() > kMaxTextBytes)
            fault(path + key, QStringLiteral("a text of at most %1 8-bit characters").arg(kMaxTextBytes));
        return value;
    }
    int number(const QJsonObject& in, const QString& key, int min, int max, const QString& path = {}) {
        const QJsonValue v = in.value(key);
        const double d = v.toDouble(-1);
        if (!v.isDouble() || d != std::floor(d) || d < min || d > max) {
            fault(path + key, QStringLiteral("a whole number from %1 to %2").arg(min).arg(max));
            return min;  // 1e20 has no int: only a number in range is converted
        }
        return static_cast<int>(d);
    }
    bool flag(const QJsonObject& in, const QString& key, const QString& path = {}) {
        if (!in.value(key).isBool()) fault(path + key, QStringLiteral("true or false"));
        return in.value(key).toBool();
    }
    QString address(const QJsonObject& in, const QString& key, const QString& path) {
        const QString value = text(in, key, path);
        // Leading zeros are read as decimal, as in the setup window ("010" is 10).
        if (!IsValidIpText(value)) {
            fault(path + key, QStringLiteral("a dotted IPv4 address"));
            return value;
        }
        return NormalIpText(value);
    }
    // One of `words`; its index.
    int choice(const QJsonObject& in, const QString& key, const QStringList& words, const QString& path = {}) {
        const int index = words.indexOf(in.value(key).toString());
        if (index < 0) fault(path + key, words.join(QStringLiteral(" or ")));
        return index;
    }
    void fault(const QString& field, const QString& wanted) {
        if (error.isEmpty()) error = QStringLiteral("\"%1\" must be %2").arg(field, wanted);
    }
    // A field this format does not have would be silently dropped: a key, a misspelt name.
    void onlyKnown(const QJsonObject& in, const QStringList& known, const QString& path = {}) {
        for (const QString& key : in.keys()) {
            if (known.contains(key) || !error.isEmpty()) continue;
            error = QStringLiteral("\"%1\" is not a field of a settings file").arg(path + key);
            if (key.contains(QLatin1String("key"), Qt::CaseInsensitive))
                error += QStringLiteral(" (keys are never read from it: restore takes them with --ap-key-file, "
                                        "--station-key-file or the environment)");
        }
    }
};

}  // namespace

SavedSettings SettingsOf(const DeviceInfo& info, const QString& model, int modelCode, const QString& mac,
                         const QString& firmware) {
    SavedSettings s;
    s.model = model;
    s.modelCode = modelCode;
    s.mac = mac;
    s.firmware = firmware;
    s.apSsid = fromAnsi(info.apSsid);
    s.apSecured = info.apSecured;
    s.staSsid = fromAnsi(info.staSsid);
    s.staKeyType = info.staKeyType > 2 ? 2 : info.staKeyType;  // any other value is WPA/WPA2
    s.staticIp = info.staticIpEnabled;
    s.staIp = dottedText(info.staIp);
    s.staNetmask = dottedText(info.staNetmask);
    s.staGateway = dottedText(info.staGateway);
    s.location = fromAnsi(info.location);
    s.modbusPort = static_cast<int>(info.modbusPort);
    s.modbusIdleTimeout = static_cast<int>(info.modbusIdleTimeout);
    s.wifiModeAp = info.wifiModeAp;
    return s;
}

QJsonObject ModuleAboutJson(const SavedSettings& s) { return ModuleAboutJson(s.model, s.modelCode, s.mac, s.firmware); }

QJsonObject ModuleAboutJson(const QString& model, int modelCode, const QString& mac, const QString& firmware) {
    return {{"model", model}, {"modelCode", modelCode}, {"mac", mac}, {"firmware", firmware}};
}

QJsonObject SettingsGroupsJson(const SavedSettings& s) {
    return {
        {"ap", QJsonObject{{"ssid", s.apSsid}, {"keyType", s.apSecured ? "wpa" : "open"}}},
        {"station", QJsonObject{{"ssid", s.staSsid}, {"keyType", keyTypeWord(s.staKeyType)}}},
        {"staticIp",
         QJsonObject{{"enabled", s.staticIp}, {"ip", s.staIp}, {"mask", s.staNetmask}, {"gateway", s.staGateway}}},
        {"location", s.location},
        {"modbus", QJsonObject{{"port", s.modbusPort}, {"idleTimeout", s.modbusIdleTimeout}}},
        {"wifiMode", s.wifiModeAp ? "AP" : "Station"},
    };
}

QByteArray SettingsFileText(const SavedSettings& s) {
    QJsonObject json = SettingsGroupsJson(s);
    json.insert("format", kFormat);
    json.insert("version", kSettingsFileVersion);
    json.insert("module", ModuleAboutJson(s));
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

std::optional<SavedSettings> ReadSettingsFile(const QByteArray& text, QString* error) {
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parse);
    if (!doc.isObject() || doc.object().value("format").toString() != kFormat) {
        *error = parse.error != QJsonParseError::NoError
                     ? QStringLiteral("not a settings file: %1 at byte %2").arg(parse.errorString()).arg(parse.offset)
                     : QStringLiteral("not a settings file: no \"format\": \"%1\"").arg(kFormat);
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    const QJsonValue version = root.value("version");
    if (version != QJsonValue(kSettingsFileVersion)) {
        const QString which = version.isUndefined() ? QStringLiteral("without a format version")
                              : version.isDouble()  ? QStringLiteral("of format version %1").arg(version.toDouble())
                                                    : QStringLiteral("whose format version is not a number");
        *error = QStringLiteral("a settings file %1; this program reads format version %2 only")
                     .arg(which)
                     .arg(kSettingsFileVersion);
        return std::nullopt;
    }

    FieldReader r;
    SavedSettings s;
    r.onlyKnown(root, {"format", "version", "module", "ap", "station", "staticIp", "location", "modbus", "wifiMode"});
    const QJsonObject module = r.object(root, "module");
    r.onlyKnown(module, {"model", "modelCode", "mac", "firmware"}, "module.");
    s.model = r.text(module, "model", "module.");
    s.modelCode = r.number(module, "modelCode", 0, 255, "module.");
    s.mac = r.text(module, "mac", "module.");
    s.firmware = r.text(module, "firmware", "module.");

    const QJsonObject ap = r.object(root, "ap");
    r.onlyKnown(ap, {"ssid", "keyType"}, "ap.");
    s.apSsid = r.moduleText(ap, "ssid", "ap.");
    s.apSecured = r.choice(ap, "keyType", {"open", "wpa"}, "ap.") == 1;
    const QJsonObject sta = r.object(root, "station");
    r.onlyKnown(sta, {"ssid", "keyType"}, "station.");
    s.staSsid = r.moduleText(sta, "ssid", "station.");
    s.staKeyType = r.choice(sta, "keyType", {"open", "wep", "wpa"}, "station.");
    const QJsonObject ip = r.object(root, "staticIp");
    r.onlyKnown(ip, {"enabled", "ip", "mask", "gateway"}, "staticIp.");
    s.staticIp = r.flag(ip, "enabled", "staticIp.");
    s.staIp = r.address(ip, "ip", "staticIp.");
    s.staNetmask = r.address(ip, "mask", "staticIp.");
    s.staGateway = r.address(ip, "gateway", "staticIp.");
    s.location = r.moduleText(root, "location");
    const QJsonObject modbus = r.object(root, "modbus");
    r.onlyKnown(modbus, {"port", "idleTimeout"}, "modbus.");
    s.modbusPort = r.number(modbus, "port", 1, 65535, "modbus.");
    if (s.modbusPort == 80 || s.modbusPort == 13577) r.fault("modbus.port", QStringLiteral("a port other than 80 and 13577"));
    s.modbusIdleTimeout = r.number(modbus, "idleTimeout", 1, 65000, "modbus.");
    s.wifiModeAp = r.choice(root, "wifiMode", {"Station", "AP"}) == 1;

    if (!r.error.isEmpty()) {
        *error = r.error;
        return std::nullopt;
    }
    return s;
}

const QList<SettingsGroup>& SettingsGroups() {
    static const QList<SettingsGroup> groups{SettingsGroup::Ap,       SettingsGroup::Station,
                                             SettingsGroup::StaticIp, SettingsGroup::Location,
                                             SettingsGroup::Modbus,   SettingsGroup::WifiMode};
    return groups;
}

QString GroupName(SettingsGroup group) {
    switch (group) {
    case SettingsGroup::Ap: return QStringLiteral("AP");
    case SettingsGroup::Station: return QStringLiteral("Station");
    case SettingsGroup::StaticIp: return QStringLiteral("Static IP");
    case SettingsGroup::Location: return QStringLiteral("Location");
    case SettingsGroup::Modbus: return QStringLiteral("Modbus");
    case SettingsGroup::WifiMode: return QStringLiteral("Wi-Fi mode");
    }
    return {};
}

QString GroupText(SettingsGroup group, const SavedSettings& s) {
    switch (group) {
    case SettingsGroup::Ap: return QStringLiteral("%1 (%2)").arg(quoted(s.apSsid), keyTypeName(s.apSecured ? 2 : 0));
    case SettingsGroup::Station: return QStringLiteral("%1 (%2)").arg(quoted(s.staSsid), keyTypeName(s.staKeyType));
    case SettingsGroup::StaticIp:
        return s.staticIp ? QStringLiteral("%1 mask %2 gateway %3").arg(s.staIp, s.staNetmask, s.staGateway)
                          : QStringLiteral("off");
    case SettingsGroup::Location: return quoted(s.location);
    case SettingsGroup::Modbus:
        return QStringLiteral("port %1, idle timeout %2 s").arg(s.modbusPort).arg(s.modbusIdleTimeout);
    case SettingsGroup::WifiMode: return s.wifiModeAp ? QStringLiteral("AP") : QStringLiteral("Station");
    }
    return {};
}

bool GroupDiffers(SettingsGroup group, const SavedSettings& a, const SavedSettings& b) {
    switch (group) {
    case SettingsGroup::Ap: return a.apSsid != b.apSsid || a.apSecured != b.apSecured;
    case SettingsGroup::Station: return a.staSsid != b.staSsid || a.staKeyType != b.staKeyType;
    case SettingsGroup::StaticIp:
        // A static address that is off is not in use: its fields do not count.
        return a.staticIp != b.staticIp ||
               (a.staticIp && (a.staIp != b.staIp || a.staNetmask != b.staNetmask || a.staGateway != b.staGateway));
    case SettingsGroup::Location: return a.location != b.location;
    case SettingsGroup::Modbus: return a.modbusPort != b.modbusPort || a.modbusIdleTimeout != b.modbusIdleTimeout;
    case SettingsGroup::WifiMode: return a.wifiModeAp != b.wifiModeAp;
    }
    return false;
}

bool RestorePlan::skips() const {
    for (const GroupChange& change : changes)
        if (change.action == GroupChange::Skip) return true;
    return false;
}

namespace {

// The key of a secured group: why it cannot be used, empty when it can.
QString keyProblem(const std::optional<QString>& key, bool secured, const QString& option, const QString& group) {
    if (!key) return {};
    if (!secured) return QStringLiteral("%1 was given, but the file's %2 is open").arg(option, group);
    const std::optional<QByteArray> bytes = toModuleText(*key);
    if (!bytes || bytes->size() < kMinKeyBytes || bytes->size() > kMaxKeyBytes)
        return QStringLiteral("%1 takes a key of %2 to %3 8-bit characters").arg(option).arg(kMinKeyBytes).arg(kMaxKeyBytes);
    return {};
}

}  // namespace

RestorePlan PlanRestore(const SavedSettings& module, const SavedSettings& file, const RestoreKeys& keys, bool reboot) {
    RestorePlan plan;
    const auto about = [&](const char* what, const QString& here, const QString& there) {
        if (here != there)
            plan.about.append(QStringLiteral("%1: %2 on the module, %3 in the file").arg(QLatin1String(what), here, there));
    };
    about("Model", QStringLiteral("%1 (code %2)").arg(module.model).arg(module.modelCode),
          QStringLiteral("%1 (code %2)").arg(file.model).arg(file.modelCode));
    about("MAC", module.mac, file.mac);
    about("Firmware", module.firmware, file.firmware);

    plan.error = keyProblem(keys.ap, file.apSecured, QStringLiteral("--ap-key"), QStringLiteral("access point"));
    if (plan.error.isEmpty())
        plan.error = keyProblem(keys.station, file.staKeyType != 0, QStringLiteral("--station-key"),
                                QStringLiteral("station"));
    if (!plan.error.isEmpty()) return plan;

    for (SettingsGroup group : SettingsGroups()) {
        GroupChange change{group, GroupChange::Apply, GroupText(group, module), GroupText(group, file), {}};
        const bool differs = GroupDiffers(group, module, file);
        // The keys are not reported by the module: a secured group needs its key given, and
        // with its key given it is written even when the rest of it is the same.
        const bool ap = group == SettingsGroup::Ap, station = group == SettingsGroup::Station;
        const bool secured = (ap && file.apSecured) || (station && file.staKeyType != 0);
        const bool keyGiven = (ap && keys.ap) || (station && keys.station);
        const QString& text = ap ? file.apSsid : station ? file.staSsid : file.location;
        if (!differs && !keyGiven) continue;
        if (!differs) {
            change.why = QStringLiteral("the key given is written (the module does not report its key)");
        } else if (secured && !keyGiven) {
            change.action = GroupChange::Skip;
            change.why = QStringLiteral("skipped: secured in the file and no %1 given; it is not written open")
                             .arg(ap ? QStringLiteral("--ap-key") : QStringLiteral("--station-key"));
        } else if ((ap || station || group == SettingsGroup::Location) && text.isEmpty()) {
            change.action = GroupChange::Skip;
            change.why = QStringLiteral("skipped: empty in the file, and an empty text cannot be written");
        } else if (group == SettingsGroup::WifiMode && !reboot) {
            change.action = GroupChange::Later;
            change.why = QStringLiteral("not switched: switching restarts the module at once (restore --reboot or rzlctl wifi-mode switches it)");
        }
        plan.changes.append(change);
    }
    return plan;
}

}  // namespace rzl
