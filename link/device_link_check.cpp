#include "link/device_link_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/context.h"
#include "link/network_probe.h"
#include "protocol/request_builders.h"
#include "core/io_panel.h"

namespace rzl {

bool CheckDeviceLink(Context& ctx) {
    MainView& main = ctx.screen.main;
    if (main.checkBox1) return true;  // "ACR Disable": no probe, nothing shown

    const std::uint8_t candidates = RunNetworkProbe(ctx);
    if (candidates == 1) {
        ctx.screen.setStatusPanel(1, 1, QStringLiteral("IP: ") + ctx.session.deviceIp);
        return true;
    }
    if (candidates == 0) {
        ResetIoPanel(ctx);
        main.label4.caption = QStringLiteral("Device not found!!");
    } else {
        // Ambiguous: the I/O panel keeps its look.
        main.label4.caption = QStringLiteral("Same multiple IP found!!");
    }
    main.label4.font = colours::kRed;
    main.label5.caption.clear();
    ctx.session.deviceIdentified = false;
    ctx.screen.changed();
    return false;
}

QString MarkerFilePath(const Context& ctx) {
    return QDir::toNativeSeparators(QDir(ctx.host.workingDirectory).filePath(QLatin1String(kMarkerFileName)));
}

void MarkerCheckBoxClicked(Context& ctx) {
    // Failures to create or delete are not shown: the box keeps its state for this run.
    const QString path = MarkerFilePath(ctx);
    if (ctx.screen.main.checkBox1) {
        // Only the presence counts. Created only where nothing of that name is, so an
        // existing file keeps its content and a symbolic link is never followed.
        QFile file(path);
        if (file.open(QIODevice::NewOnly)) file.close();
    } else if (QFileInfo::exists(path)) {
        QFile::remove(path);
    }
}

void FirstActivation(Context& ctx) {
    DeviceSession& session = ctx.session;
    if (session.firstActivationDone) return;
    session.firstActivationDone = true;

    ctx.host.workingDirectory = QDir::toNativeSeparators(QDir::currentPath());
    session.pendingCommand = 0;
    session.retryCount = 0;
    session.retryPending = false;
    session.retryTicks = 0;

    MainView& main = ctx.screen.main;
    ctx.screen.setStatusPanel(1, 1, QString());
    main.edit2 = session.deviceIp;

    // The marker is read once per run. Checking the box leaves the file as it is.
    const bool markerPresent = QFileInfo::exists(MarkerFilePath(ctx));
    if (markerPresent != main.checkBox1) {
        main.checkBox1 = markerPresent;
        MarkerCheckBoxClicked(ctx);
    }
    ctx.screen.changed();

    if (ctx.linkCheck()) {
        ctx.screen.setStatusPanel(1, 1, QStringLiteral("IP: ") + session.deviceIp);
        main.edit2 = session.deviceIp;
        ctx.screen.changed();
        QueueIdentify(ctx);
    } else {
        ctx.dialogs.message(QStringLiteral("Please check device whether in AP mode!"), QStringLiteral("Device not found"),
                            BoxIcon::Exclamation);
    }
}

}  // namespace rzl
