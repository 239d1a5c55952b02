#include "ui/main/tform1.h"

#include <QDir>

#include "core/io_panel.h"
#include "filestore/retry_timer.h"
#include "link/device_link_check.h"
#include "link/link_supervisor.h"
#include "link/target_address.h"
#include "protocol/request_builders.h"
#include "ui/program.h"

namespace rzl {

TForm1::TForm1(Program& program) : p_(program) {
    timer1.setInterval(100);
    timer3.setInterval(100);
    connect(&timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(&timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    timer1.start();  // the re-send timer runs as long as the window exists
}

// The indicator palette is fixed (ui/screen_display.cpp), so creation is the no-module look,
// polling allowed, and the supervision timer restarted.
void TForm1::FormCreate() {
    ResetIoPanel(p_.ctx);
    p_.ctx.session.pollingEnabled = true;
    timer3.stop();
    timer3.setInterval(100);
    timer3.start();
}

void TForm1::FormActivate() { FirstActivation(p_); }

void TForm1::CheckBox1Click() { MarkerCheckBoxClicked(p_); }

void TForm1::Timer3Timer() {
    // Stopped while the handler runs, so an exchange that pumps events cannot re-enter it.
    const bool wasActive = timer3.isActive();
    timer3.stop();
    LinkSupervisorTick(p_.ctx);
    if (wasActive) timer3.start();
}

void TForm1::Timer1Timer() { RetryTimerTick(p_.ctx); }

void TForm1::DoButtonClick(int output) {
    if (output < 0 || output > 5 || !p_.screen.main.doButtons[output].enabled) return;
    const DeviceSession& session = p_.ctx.session;
    if (session.readingsStale) {
        // The module is not answering: the user hears so now, and no switch waits to surprise
        // them when it answers again.
        p_.screen.showStatus(QStringLiteral("DO%1 not switched: %2").arg(output).arg(NoAnswerSince(session.stateReadAt).toLower()));
        return;
    }
    const bool on = (p_.ctx.session.doState >> output) & 1;
    QueueSetOutput(p_.ctx, static_cast<std::uint8_t>(output + 1), on ? 0 : 1);
}

// The setup and counter windows are modal, and the address change resets the panel and the
// target: handled during an exchange's wait, they run once that exchange has ended.
void TForm1::Image1Click() {
    p_.ctx.idle.run([this] {
        if (!p_.screen.main.image1Enabled) return;
        p_.ctx.session.pollingEnabled = false;
        p_.dialogs.showSetupModal();
    });
}

void TForm1::Image2Click() {
    p_.ctx.session.retryCount = 0;
    QueueIdentify(p_.ctx);
}

void TForm1::Image3Click() {
    if (!p_.screen.main.image3Enabled) return;
    QueueLocate(p_.ctx);
}

void TForm1::Image4Click() {
    p_.ctx.idle.run([this] {
        if (!p_.screen.main.image4Enabled) return;
        QueueCounterRead(p_.ctx);
        p_.ctx.session.pollingEnabled = false;
        p_.dialogs.showCounterModal();
    });
}

void TForm1::SpeedButton5Click() {
    p_.ctx.idle.run([this] {
        const QString text = p_.screen.main.edit2;
        if (const std::optional<QString> problem = ChangeTargetAddress(p_.ctx, text)) {
            p_.dialogs.message(QStringLiteral("'%1' is not a valid device address: %2.").arg(text, *problem),
                               QStringLiteral("Error found!"), BoxIcon::Error);
            return;
        }
        ResetIoPanel(p_.ctx);
        Image2Click();
    });
}

void MarkerCheckBoxClicked(Program& p) { SetLinkCheckOff(p.ctx, p.screen.main.checkBox1); }

void FirstActivation(Program& p) {
    Context& ctx = p.ctx;
    DeviceSession& session = ctx.session;
    if (session.firstActivationDone) return;
    session.firstActivationDone = true;

    ctx.host.workingDirectory = QDir::toNativeSeparators(QDir::currentPath());
    session.pendingCommand = 0;
    session.retryCount = 0;
    session.retryPending = false;
    session.retryTicks = 0;

    MainView& main = p.screen.main;
    p.screen.setStatusPanel(1, 1, QString());
    main.edit2 = session.deviceIp;

    // The marker is read once per run. Checking the box leaves the file as it is.
    const bool markerPresent = MarkerFilePresent(ctx);
    if (markerPresent != main.checkBox1) {
        main.checkBox1 = markerPresent;
        MarkerCheckBoxClicked(p);
    }
    p.screen.changed();

    if (ctx.linkCheck()) {
        p.screen.setStatusPanel(1, 1, QStringLiteral("IP: ") + session.deviceIp);
        main.edit2 = session.deviceIp;
        p.screen.changed();
        QueueIdentify(ctx);
    } else {
        p.dialogs.message(QStringLiteral("Please check device whether in AP mode!"), QStringLiteral("Device not found"),
                          BoxIcon::Exclamation);
    }
}

}  // namespace rzl
