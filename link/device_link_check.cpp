#include "link/device_link_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/context.h"
#include "core/io_panel.h"
#include "link/network_probe.h"

namespace rzl {

bool CheckDeviceLink(Context& ctx) {
    if (ctx.host.linkCheckOff) return true;  // "ACR Disable": no probe, nothing shown

    const std::uint8_t candidates = RunNetworkProbe(ctx);
    if (candidates == 1) {
        ctx.display.linkFound(ctx.session.deviceIp);
        return true;
    }
    // None: the no-module look. Several: ambiguous, the I/O panel keeps its look.
    if (candidates == 0) ResetIoPanel(ctx);
    ctx.display.linkFailed(candidates == 0 ? LinkFailure::NoCandidate : LinkFailure::SeveralCandidates);
    ctx.session.deviceIdentified = false;
    return false;
}

QString MarkerFilePath(const Context& ctx) {
    return QDir::toNativeSeparators(QDir(ctx.host.workingDirectory).filePath(QLatin1String(kMarkerFileName)));
}

bool MarkerFilePresent(const Context& ctx) { return QFileInfo::exists(MarkerFilePath(ctx)); }

void SetLinkCheckOff(Context& ctx, bool off) {
    ctx.host.linkCheckOff = off;
    const QString path = MarkerFilePath(ctx);
    if (off) {
        // Only the presence counts. Created only where nothing of that name is, so an
        // existing file keeps its content and a symbolic link is never followed.
        QFile file(path);
        if (file.open(QIODevice::NewOnly)) file.close();
    } else if (QFileInfo::exists(path)) {
        QFile::remove(path);
    }
}

}  // namespace rzl
