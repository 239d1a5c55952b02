#include "ui/main/tform1.h"

#include "core/context.h"
#include "filestore/retry_timer.h"
#include "link/device_link_check.h"
#include "link/link_supervisor.h"
#include "link/target_address.h"
#include "protocol/request_builders.h"
#include "core/io_panel.h"

namespace rzl {

TForm1::TForm1(Context& ctx) : ctx_(ctx) {
    timer1.setInterval(100);
    timer3.setInterval(100);
    connect(&timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(&timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    timer1.start();  // the re-send timer runs as long as the window exists
}

// The indicator palette is fixed (io_panel.cpp), so creation is the no-module look,
// polling allowed, and the supervision timer restarted.
void TForm1::FormCreate() {
    ResetIoPanel(ctx_);
    ctx_.session.pollingEnabled = true;
    timer3.stop();
    timer3.setInterval(100);
    timer3.start();
}

void TForm1::FormActivate() { FirstActivation(ctx_); }

void TForm1::CheckBox1Click() { MarkerCheckBoxClicked(ctx_); }

void TForm1::Timer3Timer() {
    // Stopped while the handler runs, so an exchange that pumps events cannot re-enter it.
    const bool wasActive = timer3.isActive();
    timer3.stop();
    LinkSupervisorTick(ctx_);
    if (wasActive) timer3.start();
}

void TForm1::Timer1Timer() { RetryTimerTick(ctx_); }

void TForm1::DoButtonClick(int output) {
    if (output < 0 || output > 5 || !ctx_.screen.main.doButtons[output].enabled) return;
    const bool on = (ctx_.session.doState >> output) & 1;
    QueueSetOutput(ctx_, static_cast<std::uint8_t>(output + 1), on ? 0 : 1);
}

// The setup and counter windows are modal, and the address change resets the panel and the
// target: handled during an exchange's wait, they run once that exchange has ended.
void TForm1::Image1Click() {
    ctx_.idle.run([this] {
        if (!ctx_.screen.main.image1Enabled) return;
        ctx_.session.pollingEnabled = false;
        ctx_.dialogs.showSetupModal();
    });
}

void TForm1::Image2Click() {
    ctx_.session.retryCount = 0;
    QueueIdentify(ctx_);
}

void TForm1::Image3Click() {
    if (!ctx_.screen.main.image3Enabled) return;
    QueueLocate(ctx_);
}

void TForm1::Image4Click() {
    ctx_.idle.run([this] {
        if (!ctx_.screen.main.image4Enabled) return;
        QueueCounterRead(ctx_);
        ctx_.session.pollingEnabled = false;
        ctx_.dialogs.showCounterModal();
    });
}

void TForm1::SpeedButton5Click() {
    ctx_.idle.run([this] {
        if (!ChangeTargetAddress(ctx_)) return;
        ResetIoPanel(ctx_);
        Image2Click();
    });
}

}  // namespace rzl
