#include "ui/setup/settings_fields.h"

#include <QStringList>
#include <algorithm>

#include "protocol/text_codec.h"

namespace rzl {

namespace {

constexpr int kMaxSsidBytes = 31;
constexpr int kMaxWebKeyBytes = 5;
constexpr int kMaxLocationBytes = 31;

const QString kWifiError = QStringLiteral(
    "    . SSID must less then 31 chars.\n    . Key must around chars  8~14.\n    . If Open type selected, Key can be ignore.");

Box error(const QString& text, const QString& caption = kErrorCaption, BoxIcon icon = BoxIcon::Error) {
    return {text, caption, icon};
}

template <typename T>
Checked<T> refused(const Box& box) {
    return {std::nullopt, box};
}

// A field as the module stores it, with its length line. Empty text stays empty (no line);
// text that cannot be written in 8 bits, or holds a control character, is refused with the reason.
Checked<QByteArray> field(const QString& text, const LengthLog& log, Measured what = Measured::Text) {
    if (text.isEmpty()) return {QByteArray(), {}};
    QString why;
    std::optional<QByteArray> bytes = toModuleText(text, &why);
    if (!bytes) return refused<QByteArray>(error(why));
    if (log) log(QString::number(bytes->size()), what);
    return {*bytes, {}};
}

QString keyTypeName(KeyType type) {
    return type == KeyType::Open  ? QStringLiteral("OPEN")
           : type == KeyType::Wep ? QStringLiteral("WEP")
                                  : QStringLiteral("WPA/WPA2");
}

// The four address bytes of text IsValidIpText accepted, each group read as decimal.
Ipv4Bytes addressBytes(const QString& text) {
    Ipv4Bytes bytes{};
    const QStringList groups = text.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(groups[i].toInt(nullptr, 10));
    return bytes;
}

std::uint32_t addressValue(const Ipv4Bytes& bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

// A Modbus field as a signed 32-bit integer, or the conversion's complaint.
std::optional<int> integerField(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

QString notInteger(const QString& text) { return QStringLiteral("'%1' is not a valid integer value").arg(text); }

}  // namespace

Checked<WifiValues> CheckWifi(const QString& ssidText, const QString& keyText, KeyType type, const LengthLog& log) {
    const Checked<QByteArray> ssid = field(ssidText, log);
    if (!ssid.ok()) return refused<WifiValues>(ssid.problem);
    // With Open no key is sent, so the key field is not read: text left in it changes nothing.
    const Checked<QByteArray> key =
        type == KeyType::Open ? Checked<QByteArray>{QByteArray(), {}} : field(keyText, log, Measured::Key);
    if (!key.ok()) return refused<WifiValues>(key.problem);
    const bool ssidValid = !ssid.value->isEmpty() && ssid.value->size() <= kMaxSsidBytes;
    const bool keyValid = key.value->size() >= kMinKeyBytes && key.value->size() <= kMaxKeyBytes;
    if (!ssidValid || (type != KeyType::Open && !keyValid)) return refused<WifiValues>(error(kWifiError));
    return {WifiValues{*ssid.value, *key.value, type}, {}};
}

Checked<StaticIpValues> CheckStaticIp(const QString& ip, const QString& mask, const QString& gateway) {
    for (const QString& text : {ip, mask, gateway})
        if (!IsValidIpText(text)) return refused<StaticIpValues>(error(QStringLiteral("    . IP, Mask, Gateway input error.\n")));
    const StaticIpValues values{addressBytes(ip), addressBytes(mask), addressBytes(gateway)};
    // A module given a mask with holes, or a gateway it cannot reach, is lost on the network
    // after its next restart.
    const std::uint32_t m = addressValue(values.mask);
    if ((~m & (~m + 1)) != 0)
        return refused<StaticIpValues>(error(
            QStringLiteral("    . Mask %1 is not a subnet mask: its ones must come first (such as 255.255.255.0).\n")
                .arg(NormalIpText(mask))));
    const std::uint32_t address = addressValue(values.ip);
    const std::uint32_t router = addressValue(values.gateway);
    if (router != 0 && (router & m) != (address & m))
        return refused<StaticIpValues>(error(QStringLiteral("    . Gateway %1 is outside the subnet of %2 with mask %3.\n")
                                                 .arg(NormalIpText(gateway), NormalIpText(ip), NormalIpText(mask))));
    return {values, {}};
}

Checked<QByteArray> CheckWebKey(const QString& text, const LengthLog& log) {
    const Checked<QByteArray> key = field(text, log, Measured::Key);
    if (!key.ok()) return key;
    if (key.value->isEmpty() || key.value->size() > kMaxWebKeyBytes)
        return refused<QByteArray>(error(QStringLiteral("    . WEB Key must be 5 chars.")));
    return key;
}

Checked<QByteArray> CheckLocation(const QString& text, const LengthLog& log) {
    const Checked<QByteArray> location = field(text, log);
    if (!location.ok()) return location;
    if (location.value->isEmpty() || location.value->size() > kMaxLocationBytes)
        return refused<QByteArray>(error(QStringLiteral("    . Location string must less then 31 chars.")));
    return location;
}

Checked<ModbusValues> CheckModbus(const QString& portText, const QString& timeoutText) {
    const QString portInput = QStringLiteral("Modbus port input Error");
    const QString timeoutInput = QStringLiteral("Modbus Idle Timeout input Error");
    const std::optional<int> port = integerField(portText);
    if (!port) return refused<ModbusValues>(error(notInteger(portText), portInput, BoxIcon::None));
    if (*port == 13577 || *port == 80)
        return refused<ModbusValues>(error(QStringLiteral("Port already used!"), portInput, BoxIcon::None));
    if (*port < 1 || *port > 65535)
        return refused<ModbusValues>(
            error(QStringLiteral("Port number over range!"), QStringLiteral("Modbus port range Error"), BoxIcon::None));
    // The timeout is read only once the port has passed.
    const std::optional<int> timeout = integerField(timeoutText);
    if (!timeout) return refused<ModbusValues>(error(notInteger(timeoutText), timeoutInput, BoxIcon::None));
    if (*timeout < 1 || *timeout > 65000)
        return refused<ModbusValues>(
            error(QStringLiteral("Timeout range must in 1 ~ 65000 Sec! Recommend 30 Sec."), timeoutInput, BoxIcon::None));
    return {ModbusValues{static_cast<std::uint16_t>(*port), static_cast<std::uint16_t>(*timeout)}, {}};
}

QString WifiConfirmation(bool ap, const QString& ssid, KeyType type, const QString& key) {
    return (ap ? QStringLiteral("Modify AP SSID, execute?") : QStringLiteral("Modify STA SSID, execute?")) +
           QStringLiteral("\n    . SSID: ") + ssid + QStringLiteral("\n    . Type: [%1] ").arg(static_cast<int>(type)) +
           keyTypeName(type) + QStringLiteral("\n    . KEY: ") + key;
}

// The addresses as the module will get them: leading zeros are read as decimal, so "010.0.0.5"
// is shown as 10.0.0.5, not left to be read as octal.
QString StaticIpConfirmation(const QString& ip, const QString& mask, const QString& gateway) {
    return QStringLiteral("Modify Station Static IP, Mask, Gateway, execute?\n    . IP: ") + NormalIpText(ip) +
           QStringLiteral("\n    . Mask: ") + NormalIpText(mask) + QStringLiteral("\n    . Gateway: ") + NormalIpText(gateway);
}

QString ClearStaticIpConfirmation() { return QStringLiteral("Delete Station Static IP config, execute?\n"); }

QString WebKeyConfirmation(const QString& key) {
    return QStringLiteral("Modify WEB Key, execute?\n    . WEB Key: ") + key + QStringLiteral(".\n");
}

QString LocationConfirmation(const QString& text) {
    return QStringLiteral("Modify Location string, execute?\n    . Location: ") + text + QStringLiteral(".\n");
}

QString ModbusConfirmation(const ModbusValues& v) {
    return QStringLiteral("Modify Modbus Port & Idle Timeout, execute?\n    . Port: %1, Idle Timeout: %2.")
        .arg(v.port)
        .arg(v.idleTimeout);
}

QString WifiModeConfirmation(bool ap) {
    return QStringLiteral("Modify Wi-Fi Mode, execute?\n    . Wi-Fi Mode: ") +
           (ap ? QStringLiteral("AP Mode") : QStringLiteral("Station Mode")) +
           QStringLiteral(".\n    . Device will Reboot immediately!");
}

QString ResetConfirmation() { return QStringLiteral("Reset to default setting, execute?\n    . Device will Reboot immediately!"); }
QString RebootConfirmation() { return QStringLiteral("Reboot device, execute?"); }
QString FirmwareConfirmation() { return QStringLiteral("F/W Update, execute?"); }

QString NormalIpText(const QString& text) {
    QStringList groups = text.split(QLatin1Char('.'));
    for (QString& group : groups) group = QString::number(group.toInt(nullptr, 10));
    return groups.join(QLatin1Char('.'));
}

bool IsValidIpText(const QString& text) {
    if (text.count(QLatin1Char('.')) != 3) return false;

    int complete = 0;
    int digits = 0;
    int value = 0;
    const auto completeGroup = [&] {
        if (digits == 0 || value > 255) return false;
        ++complete;
        digits = 0;
        value = 0;
        return true;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('.')) {
            if (!completeGroup()) return false;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        ++digits;
        value = std::min(value * 10 + (c.unicode() - '0'), 256);  // capped: long groups cannot overflow
        if (i == text.size() - 1 && complete == 3 && !completeGroup()) return false;
    }
    return complete == 4;
}

}  // namespace rzl
