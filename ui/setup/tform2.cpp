#include "ui/setup/tform2.h"

#include <algorithm>

#include "core/context.h"
#include "protocol/identify_reply.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"
#include "ui/setup/maintenance.h"
#include "ui/setup/settings_writes.h"
#include "ui/setup/setup_operation.h"

namespace rzl {

TForm2::TForm2(Context& ctx) : ctx_(ctx) {}

void TForm2::FormCreate() { ShowStaticIpFields(false); }
void TForm2::FormShow() { fillOnActivate_ = true; }
// The first activation after opening shows what the module last reported. Later ones (back
// from another program) keep what the user has typed meanwhile: the settings cannot have
// changed, polling stops while this window is open.
void TForm2::FormActivate() {
    if (!fillOnActivate_) return;
    fillOnActivate_ = false;
    const DeviceInfo& info = ctx_.info;
    SetupView& v = ctx_.screen.setup;

    v.edit1 = fromAnsi(info.apSsid);
    v.radioButton1 = !info.apSecured;
    v.radioButton2 = info.apSecured;
    if (!info.apSecured) v.edit2.clear();

    v.edit3 = fromAnsi(info.staSsid);
    v.radioButton3 = info.staKeyType == 0;
    v.radioButton4 = info.staKeyType == 1;
    v.radioButton5 = info.staKeyType > 1;
    if (info.staKeyType == 0) v.edit4.clear();

    v.edit5 = fromAnsi(info.location);
    v.edit7 = QString::number(info.modbusPort);
    v.edit11 = QString::number(info.modbusIdleTimeout);
    v.radioButton6 = info.wifiModeAp;
    v.radioButton7 = !info.wifiModeAp;

    ShowStaticIpFields(info.staticIpEnabled);
    if (info.staticIpEnabled) {
        v.edit8 = dottedText(info.staIp);
        v.edit9 = dottedText(info.staNetmask);
        v.edit10 = dottedText(info.staGateway);
    } else {
        v.edit8.clear();
        v.edit10.clear();
    }
    v.gauge.position = 0;
    ctx_.screen.changed();
}

// Polling always resumes, or a module identified later would never be polled. Before the
// first identification the supervisor re-identifies on its own, so nothing is queued then.
void TForm2::FormClose() {
    ctx_.session.pollingEnabled = true;
    if (ctx_.session.settingsKnown) QueueIdentify(ctx_);
}
void TForm2::CheckBox1Click() { ShowStaticIpFields(ctx_.screen.setup.checkBox1); }

void TForm2::ShowStaticIpFields(bool on) {
    ctx_.screen.setup.staticFieldsEnabled = on;
    ctx_.screen.setup.checkBox1 = on;
    ctx_.screen.changed();
}

// Every image starts one operation of the window; a click while one runs does nothing.
void TForm2::Image1Click() { if (SetupOperation op(operationRunning_); op.started()) StartFirmwareUpdate(ctx_); }
void TForm2::Image2Click() { if (SetupOperation op(operationRunning_); op.started()) ApSsidWrite(ctx_); }
void TForm2::Image3Click() { if (SetupOperation op(operationRunning_); op.started()) StationSsidWrite(ctx_); }
void TForm2::Image4Click() { if (SetupOperation op(operationRunning_); op.started()) SwitchWifiMode(ctx_); }
void TForm2::Image5Click() { if (SetupOperation op(operationRunning_); op.started()) WebKeyWrite(ctx_); }
void TForm2::Image6Click() { if (SetupOperation op(operationRunning_); op.started()) LocationWrite(ctx_); }
void TForm2::Image7Click() { if (SetupOperation op(operationRunning_); op.started()) ResetToDefault(ctx_); }
void TForm2::Image8Click() { if (SetupOperation op(operationRunning_); op.started()) RebootDevice(ctx_); }
void TForm2::Image9Click() { if (SetupOperation op(operationRunning_); op.started()) ModbusWrite(ctx_); }
void TForm2::Image10Click() { if (SetupOperation op(operationRunning_); op.started()) StaticIpWrite(ctx_); }

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
