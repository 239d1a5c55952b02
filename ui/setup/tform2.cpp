#include "ui/setup/tform2.h"

#include "protocol/identify_reply.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"
#include "ui/setup/maintenance.h"
#include "ui/setup/settings_writes.h"
#include "ui/program.h"
#include "ui/setup/setup_operation.h"

namespace rzl {

TForm2::TForm2(Program& program) : p_(program) {}

void TForm2::FormCreate() { ShowStaticIpFields(false); }
void TForm2::FormShow() { fillOnActivate_ = true; }
// The first activation after opening shows what the module last reported. Later ones (back
// from another program) keep what the user has typed meanwhile: the settings cannot have
// changed, polling stops while this window is open.
void TForm2::FormActivate() {
    if (!fillOnActivate_) return;
    fillOnActivate_ = false;
    const DeviceInfo& info = p_.ctx.info;
    SetupView& v = p_.screen.setup;

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
    p_.screen.changed();
}

// Polling always resumes, or a module identified later would never be polled. Before the
// first identification the supervisor re-identifies on its own, so nothing is queued then.
void TForm2::FormClose() {
    p_.ctx.session.pollingEnabled = true;
    if (p_.ctx.session.settingsKnown) QueueIdentify(p_.ctx);
}
void TForm2::CheckBox1Click() { ShowStaticIpFields(p_.screen.setup.checkBox1); }

void TForm2::ShowStaticIpFields(bool on) {
    p_.screen.setup.staticFieldsEnabled = on;
    p_.screen.setup.checkBox1 = on;
    p_.screen.changed();
}

// Every image starts one operation of the window; a click while one runs does nothing.
void TForm2::Image1Click() { if (SetupOperation op(operationRunning_); op.started()) StartFirmwareUpdate(p_); }
void TForm2::Image2Click() { if (SetupOperation op(operationRunning_); op.started()) ApSsidWrite(p_); }
void TForm2::Image3Click() { if (SetupOperation op(operationRunning_); op.started()) StationSsidWrite(p_); }
void TForm2::Image4Click() { if (SetupOperation op(operationRunning_); op.started()) SwitchWifiMode(p_); }
void TForm2::Image5Click() { if (SetupOperation op(operationRunning_); op.started()) WebKeyWrite(p_); }
void TForm2::Image6Click() { if (SetupOperation op(operationRunning_); op.started()) LocationWrite(p_); }
void TForm2::Image7Click() { if (SetupOperation op(operationRunning_); op.started()) ResetToDefault(p_); }
void TForm2::Image8Click() { if (SetupOperation op(operationRunning_); op.started()) RebootDevice(p_); }
void TForm2::Image9Click() { if (SetupOperation op(operationRunning_); op.started()) ModbusWrite(p_); }
void TForm2::Image10Click() { if (SetupOperation op(operationRunning_); op.started()) StaticIpWrite(p_); }

}  // namespace rzl
