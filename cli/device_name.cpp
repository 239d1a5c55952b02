#include "cli/device_name.h"

#include <QHostAddress>
#include <QHostInfo>

namespace rzl::cli {

bool LookUpDeviceName(LaunchOptions& options, QString* problem) {
    if (!options.deviceName) return true;
    // A blocking lookup is fine here: nothing else runs until the target is known.
    const QHostInfo info = QHostInfo::fromName(*options.deviceName);
    for (const QHostAddress& address : info.addresses()) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol) continue;
        options.deviceHost = address.toString();
        return true;
    }
    *problem = info.error() != QHostInfo::NoError
                   ? QStringLiteral("%1: %2").arg(*options.deviceName, info.errorString())
                   : QStringLiteral("%1 has no IPv4 address").arg(*options.deviceName);
    return false;
}

}  // namespace rzl::cli
