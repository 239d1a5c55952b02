#include "sim/module_state.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace rzl::sim {

namespace {

const QByteArray kLocalDir = "/local/";
const QByteArray kSysDir = "/sys/";

bool IsPlainName(const QByteArray& name) {
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x21 || u > 0x7E || c == '/' || c == '\\')
            return false;
    }
    return true;
}

QString Dotted(const std::array<std::uint8_t, 4>& a) {
    return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}

bool ParseDotted(const QJsonValue& v, std::array<std::uint8_t, 4>& out) {
    const QStringList parts = v.toString().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    std::array<std::uint8_t, 4> result{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint n = parts[i].toUInt(&ok);
        if (!ok || n > 255)
            return false;
        result[i] = static_cast<std::uint8_t>(n);
    }
    out = result;
    return true;
}

QString Text(const QByteArray& bytes) { return QString::fromLatin1(bytes); }
QByteArray Bytes(const QJsonValue& v) { return v.toString().toLatin1(); }

}  // namespace

IoMasks MasksForModel(std::uint8_t model) {
    switch (model) {
    case 176: return {0x07, 0x0F};
    case 179:
    case 180: return {0x03, 0x0F};
    case 177: return {0x00, 0xFF};
    case 178: return {0x3F, 0x00};
    case 188:
    case 208: return {0x1F, 0x00};
    default: return {};
    }
}

std::uint32_t ByteSum32(const QByteArray& bytes) {
    std::uint64_t sum = 0;
    for (char c : bytes)
        sum += static_cast<unsigned char>(c);
    return static_cast<std::uint32_t>(sum);
}

bool IsAcceptedFileName(const QByteArray& name) {
    if (name == "mcuimg.bin")
        return true;
    for (const QByteArray& dir : {kLocalDir, kSysDir}) {
        if (name.startsWith(dir))
            return IsPlainName(name.mid(dir.size()));
    }
    return false;
}

QString StoreRefusal(const ModuleState& state, const QByteArray& name, qint64 length) {
    if (length > kMaxFileBytes)
        return QStringLiteral("%1 bytes exceed the largest file the store takes (%2)").arg(length).arg(kMaxFileBytes);
    const QString key = QString::fromLatin1(name);
    qint64 used = length;
    for (auto it = state.files.cbegin(); it != state.files.cend(); ++it) {
        if (it.key() != key)
            used += it.value().size();
    }
    if (used > kStoreBytes)
        return QStringLiteral("%1 bytes do not fit the store (%2 of %3 bytes in use)")
            .arg(length)
            .arg(used - length)
            .arg(kStoreBytes);
    if (!state.files.contains(key) && state.files.size() >= kMaxFiles)
        return QStringLiteral("the store holds %1 files already").arg(kMaxFiles);
    return {};
}

QByteArray StoredFirmwareImage(const ModuleState& state) {
    if (state.files.contains(QStringLiteral("/sys/mcuimg.bin")))
        return state.files.value(QStringLiteral("/sys/mcuimg.bin"));
    return state.files.value(QStringLiteral("mcuimg.bin"));
}

void ApplySettingsFiles(ModuleState& state) {
    const auto file = [&](const char* name) -> std::optional<QByteArray> {
        const QString key = QStringLiteral("/local/") + QLatin1String(name);
        if (!state.files.contains(key))
            return std::nullopt;
        return state.files.value(key);
    };
    // Text fields are as wide as the identify reply's fields; longer files are cut there.
    if (auto v = file("ap_ssid.cfg"); v && !v->isEmpty())
        state.apSsid = v->left(31);
    if (auto v = file("ap_key.cfg")) {
        state.apKey = v->left(14);
        state.apKeyType = 2;
    } else {
        state.apKey.clear();
        state.apKeyType = 0;
    }
    if (auto v = file("sta_ssid.cfg"); v && !v->isEmpty())
        state.staSsid = v->left(31);
    if (auto v = file("sta_key.cfg"))
        state.staKey = v->left(14);
    else
        state.staKey.clear();
    if (auto v = file("sta_keyT.cfg"); v && v->size() == 1)
        state.staKeyType = static_cast<std::uint8_t>(v->at(0));
    if (auto v = file("sta_ip.cfg"); v && v->size() == 12) {
        state.staticIp = true;
        for (int i = 0; i < 4; ++i) {
            state.staIp[i] = static_cast<std::uint8_t>(v->at(i));
            state.staNetmask[i] = static_cast<std::uint8_t>(v->at(4 + i));
            state.staGateway[i] = static_cast<std::uint8_t>(v->at(8 + i));
        }
    } else {
        state.staticIp = false;
    }
    if (auto v = file("locate.cfg"); v && !v->isEmpty())
        state.location = v->left(31);
    if (auto v = file("mbport.cfg"); v && v->size() >= 4) {
        const auto b = [&](int i) { return static_cast<std::uint8_t>(v->at(i)); };
        state.modbusPort = static_cast<std::uint16_t>(b(0) << 8 | b(1));
        state.idleTimeout = static_cast<std::uint16_t>(b(2) << 8 | b(3));
    }
    // The restart runs the stored firmware image, which reports the version in its bytes 16, 17.
    const QByteArray image = StoredFirmwareImage(state);
    if (image.size() > kFirmwareVersionOffset + 1) {
        state.fwMajor = static_cast<std::uint8_t>(image.at(kFirmwareVersionOffset));
        state.fwMinor = static_cast<std::uint8_t>(image.at(kFirmwareVersionOffset + 1));
    }
}

void RestoreDefaults(ModuleState& state) {
    const ModuleState factory;
    for (auto it = state.files.begin(); it != state.files.end();) {
        if (it.key().startsWith(QStringLiteral("/local/")))
            it = state.files.erase(it);
        else
            ++it;
    }
    state.location = factory.location;
    state.apSsid = factory.apSsid;
    state.apKey = factory.apKey;
    state.apKeyType = factory.apKeyType;
    state.staSsid = factory.staSsid;
    state.staKey = factory.staKey;
    state.staKeyType = factory.staKeyType;
    state.wifiModeAp = factory.wifiModeAp;
    state.modbusPort = factory.modbusPort;
    state.staticIp = factory.staticIp;
    state.staIp = factory.staIp;
    state.staNetmask = factory.staNetmask;
    state.staGateway = factory.staGateway;
    state.idleTimeout = factory.idleTimeout;
    state.webKey = factory.webKey;
}

QByteArray StateToJson(const ModuleState& s) {
    QJsonObject o;
    o[QStringLiteral("model")] = s.model;
    o[QStringLiteral("address")] = Dotted(s.address);
    o[QStringLiteral("mac")] = QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(s.mac.data()), 6).toHex(':'));
    o[QStringLiteral("fwMajor")] = s.fwMajor;
    o[QStringLiteral("fwMinor")] = s.fwMinor;
    o[QStringLiteral("location")] = Text(s.location);
    o[QStringLiteral("apSsid")] = Text(s.apSsid);
    o[QStringLiteral("apKey")] = Text(s.apKey);
    o[QStringLiteral("apKeyType")] = s.apKeyType;
    o[QStringLiteral("staSsid")] = Text(s.staSsid);
    o[QStringLiteral("staKey")] = Text(s.staKey);
    o[QStringLiteral("staKeyType")] = s.staKeyType;
    o[QStringLiteral("wifiModeAp")] = s.wifiModeAp;
    o[QStringLiteral("doBits")] = s.doBits;
    o[QStringLiteral("diBits")] = s.diBits;
    o[QStringLiteral("modbusPort")] = s.modbusPort;
    o[QStringLiteral("staticIp")] = s.staticIp;
    o[QStringLiteral("staIp")] = Dotted(s.staIp);
    o[QStringLiteral("staNetmask")] = Dotted(s.staNetmask);
    o[QStringLiteral("staGateway")] = Dotted(s.staGateway);
    o[QStringLiteral("rssi")] = s.rssi;
    o[QStringLiteral("idleTimeout")] = s.idleTimeout;
    o[QStringLiteral("webKey")] = Text(s.webKey);
    QJsonArray counters;
    for (std::uint32_t c : s.counters)
        counters.append(static_cast<qint64>(c));
    o[QStringLiteral("counters")] = counters;
    QJsonObject files;
    for (auto it = s.files.cbegin(); it != s.files.cend(); ++it)
        files[it.key()] = QString::fromLatin1(it.value().toBase64());
    o[QStringLiteral("files")] = files;
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool StateFromJson(const QByteArray& json, ModuleState& state, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject())
        return fail(QStringLiteral("not a state file: %1").arg(parseError.errorString()));
    const QJsonObject o = doc.object();
    const auto byte = [&](const char* key, std::uint8_t& out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isDouble() && v.toInt(-1) >= 0 && v.toInt(-1) <= 255)
            out = static_cast<std::uint8_t>(v.toInt());
    };
    const auto word = [&](const char* key, std::uint16_t& out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isDouble() && v.toInt(-1) >= 0 && v.toInt(-1) <= 65535)
            out = static_cast<std::uint16_t>(v.toInt());
    };
    const auto text = [&](const char* key, QByteArray& out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isString())
            out = Bytes(v);
    };
    const auto flag = [&](const char* key, bool& out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isBool())
            out = v.toBool();
    };
    const auto address = [&](const char* key, std::array<std::uint8_t, 4>& out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isUndefined() && !ParseDotted(v, out))
            return false;
        return true;
    };

    ModuleState s;
    byte("model", s.model);
    if (!address("address", s.address) || !address("staIp", s.staIp) || !address("staNetmask", s.staNetmask)
        || !address("staGateway", s.staGateway))
        return fail(QStringLiteral("an address in the state file is not dotted IPv4"));
    const QByteArray mac = QByteArray::fromHex(o.value(QLatin1String("mac")).toString().remove(QLatin1Char(':')).toLatin1());
    if (mac.size() == 6)
        std::copy(mac.begin(), mac.end(), s.mac.begin());
    byte("fwMajor", s.fwMajor);
    byte("fwMinor", s.fwMinor);
    text("location", s.location);
    text("apSsid", s.apSsid);
    text("apKey", s.apKey);
    byte("apKeyType", s.apKeyType);
    text("staSsid", s.staSsid);
    text("staKey", s.staKey);
    byte("staKeyType", s.staKeyType);
    flag("wifiModeAp", s.wifiModeAp);
    byte("doBits", s.doBits);
    byte("diBits", s.diBits);
    word("modbusPort", s.modbusPort);
    flag("staticIp", s.staticIp);
    word("rssi", s.rssi);
    word("idleTimeout", s.idleTimeout);
    text("webKey", s.webKey);
    const QJsonArray counters = o.value(QLatin1String("counters")).toArray();
    for (int i = 0; i < 8 && i < counters.size(); ++i)
        s.counters[i] = static_cast<std::uint32_t>(counters[i].toInteger());
    const QJsonObject files = o.value(QLatin1String("files")).toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        // 8-bit names only: a wider character would turn into "?" and name another file.
        const QByteArray name = it.key().toLatin1();
        if (QString::fromLatin1(name) != it.key() || !IsAcceptedFileName(name))
            return fail(QStringLiteral("the state file holds a file name the module refuses: %1").arg(it.key()));
        const QByteArray content = QByteArray::fromBase64(it.value().toString().toLatin1());
        // The store never took more than its bounds, so a file beyond them was not written here.
        if (const QString why = StoreRefusal(s, name, content.size()); !why.isEmpty())
            return fail(QStringLiteral("the state file holds more than the store takes: %1: %2").arg(it.key(), why));
        s.files.insert(it.key(), content);
    }
    state = s;
    return true;
}

}  // namespace rzl::sim
