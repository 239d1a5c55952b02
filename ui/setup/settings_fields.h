#pragma once
// The setup window's fields as the module's settings: the checks of what was typed (with their
// error texts and captions), the values the core's operations take, and the confirmation texts.
// The setup window reads its records into these; rzlctl its arguments. Each check that measures
// a text logs its byte length first, as the window always has (a length line of the hidden log).

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "core/device_info.h"
#include "filestore/settings_writes.h"
#include "ui/operation_texts.h"

namespace rzl {

// The length of an AP or station key the module takes, in bytes.
inline constexpr int kMinKeyBytes = 8;
inline constexpr int kMaxKeyBytes = 16;

// A length line for the hidden log, and whether it measures a key (rzlctl shows a key's length
// only with --verbose; the desktop program logs every one).
enum class Measured { Text, Key };
using LengthLog = std::function<void(const QString& line, Measured what)>;

// A value that passed its checks, or the error box that says why not.
template <typename T>
struct Checked {
    std::optional<T> value;
    Box problem;
    bool ok() const { return value.has_value(); }
};

struct WifiValues {
    QByteArray ssid;
    QByteArray key;  // empty for an open network
    KeyType type = KeyType::Open;
};
struct StaticIpValues {
    Ipv4Bytes ip{}, mask{}, gateway{};
};
struct ModbusValues {
    std::uint16_t port = 0;
    std::uint16_t idleTimeout = 0;
};

// SSID of 1 to 31 bytes; unless open, a key of 8 to 16 (the key is not read when open).
Checked<WifiValues> CheckWifi(const QString& ssid, const QString& key, KeyType type, const LengthLog& log);
// Three dotted addresses, each group read as decimal, checked in the order address, mask, gateway;
// then the mask must be a subnet mask (its ones first) and the gateway, unless 0.0.0.0 (none), in
// the address's subnet.
Checked<StaticIpValues> CheckStaticIp(const QString& ip, const QString& mask, const QString& gateway);
Checked<QByteArray> CheckWebKey(const QString& key, const LengthLog& log);      // 1 to 5 bytes
Checked<QByteArray> CheckLocation(const QString& text, const LengthLog& log);   // 1 to 31 bytes
// Port 1..65535 but 80 and 13577, then idle timeout 1..65000 (read only once the port passed).
Checked<ModbusValues> CheckModbus(const QString& port, const QString& idleTimeout);

// The confirmations, as typed (a key shown as typed, addresses as the module will get them).
QString WifiConfirmation(bool ap, const QString& ssid, KeyType type, const QString& key);
QString StaticIpConfirmation(const QString& ip, const QString& mask, const QString& gateway);
QString ClearStaticIpConfirmation();
QString WebKeyConfirmation(const QString& key);
QString LocationConfirmation(const QString& text);
QString ModbusConfirmation(const ModbusValues& values);
QString WifiModeConfirmation(bool ap);
QString ResetConfirmation();
QString RebootConfirmation();
QString FirmwareConfirmation();

// A dotted IPv4 address of four decimal groups, each 0..255 (leading zeros allowed).
bool IsValidIpText(const QString& text);

// Text IsValidIpText accepted, each group read as decimal and written without leading zeros
// ("010.0.0.005" is "10.0.0.5"): the address the module is given.
QString NormalIpText(const QString& text);

}  // namespace rzl
