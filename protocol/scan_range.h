#pragma once
// The IPv4 ranges a network scan walks: a typed "A.B.C.D/N", or the networks of this PC's
// adapters as the host network probe saw them.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "core/network_snapshot.h"

namespace rzl {

inline constexpr int kWidestScanPrefix = 16;     // 65,536 addresses
inline constexpr int kWidestAdapterPrefix = 22;  // 1,024 addresses around the PC's own

struct ScanRange {
    std::uint32_t network = 0;  // host byte order, host bits clear
    int prefix = 32;

    friend bool operator==(const ScanRange&, const ScanRange&) = default;
};

// "A.B.C.D/N" (host bits may be set; they are ignored) or a single "A.B.C.D". Nullopt, with
// the reason, for anything else and for ranges wider than a /16.
std::optional<ScanRange> ParseScanRange(const QString& text, QString* reason);

// The addresses of the range that can hold a host: without the network and broadcast
// addresses, except in a /31 or /32 where every address is a host.
QList<std::uint32_t> HostAddresses(const ScanRange& range);

QString RangeText(const ScanRange& range);        // "10.0.0.0/24"
QString AddressText(std::uint32_t address);       // "10.0.0.5"
// Sorted addresses as runs of consecutive ones: {"10.0.0.5", "10.0.0.7-10.0.0.254"}.
QStringList AddressRuns(const QList<std::uint32_t>& sorted);

struct AdapterRange {
    QByteArray adapter;   // the adapter's name
    ScanRange range;
    int adapterPrefix;    // the adapter's own prefix; wider than the range when narrowed
};

// The IPv4 network of every adapter with an address, loopback excluded, each at most a /22:
// a wider network is narrowed to the /22 that holds the adapter's address. A network shared
// by several adapters is listed once.
QList<AdapterRange> AdapterScanRanges(const NetworkSnapshot& probe);

}  // namespace rzl
