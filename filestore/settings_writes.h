#pragma once
// The module's settings, written as the files of its flash store (and the web key, one
// command): the operations the setup window's apply images and rzlctl's set-* commands run.
// Each takes its values already checked (ui/setup/settings_fields), runs the link check, then
// its steps in their fixed order with their pauses and log lines, and stops at the first step
// that fails. `stop` is asked before each step.
//
//   WriteLocation(ctx, "Roof")  ->  header + content of /local/locate.cfg, "Location =Roof"

#include <QByteArray>
#include <cstdint>

#include "core/device_info.h"
#include "filestore/file_transfer.h"
#include "protocol/operation.h"

namespace rzl {

class Context;

enum class KeyType : std::uint8_t { Open = 0, Wep = 1, Wpa = 2 };

// The access point: its key file written (WPA/WPA2) or deleted (open), then its SSID file.
OperationResult WriteAp(Context& ctx, const QByteArray& ssid, bool secured, const QByteArray& key,
                        const StopRequested& stop = {});
// The station: its key file written or deleted, its key-type file, then its SSID file.
OperationResult WriteStation(Context& ctx, const QByteArray& ssid, KeyType type, const QByteArray& key,
                             const StopRequested& stop = {});
// The station's static address, mask and gateway (12 bytes), or its file deleted (DHCP).
OperationResult WriteStaticIp(Context& ctx, const Ipv4Bytes& ip, const Ipv4Bytes& mask, const Ipv4Bytes& gateway,
                              const StopRequested& stop = {});
OperationResult ClearStaticIp(Context& ctx, const StopRequested& stop = {});
// The web login key: command 50, in effect at once (its builder checks the link once more).
OperationResult WriteWebKey(Context& ctx, const QByteArray& key, const StopRequested& stop = {});
OperationResult WriteLocation(Context& ctx, const QByteArray& text, const StopRequested& stop = {});
// The Modbus port and idle timeout (10 bytes), then the notice (command 220). The file takes
// effect at the next restart whether or not the notice arrives: a notice that did not reach the
// module is `missed`, not a failure.
OperationResult WriteModbus(Context& ctx, std::uint16_t port, std::uint16_t idleTimeout,
                            const StopRequested& stop = {});

// Whether the module's file `name` holds a key (the AP's or the station's): its length is a
// key's length.
bool HoldsKey(const QString& name);

// A file step from its transfer.
Step FileStep(const TransferOutcome& outcome);

}  // namespace rzl
