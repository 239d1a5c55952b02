#include "ui/setup/settings_writes.h"

#include <functional>

#include "filestore/settings_writes.h"
#include "ui/program.h"
#include "ui/setup/settings_fields.h"
#include "ui/setup/writer_lock.h"

namespace rzl {

namespace {

// One click of an apply image: its boxes and what it ended in.
class Click {
public:
    explicit Click(Program& p) : p_(p) {}

    LengthLog log() {
        return [this](const QString& line, Measured) { p_.ctx.log(line); };
    }
    WriteResult invalid(const Box& box) {
        show(box);
        return {WriteOutcome::InvalidInput, box.text};
    }
    // The confirmation, then the write; its box.
    WriteResult run(const QString& confirmation, SettingsWrite write, const std::function<OperationResult()>& operation) {
        if (!p_.dialogs.confirm(confirmation, QStringLiteral("Confirm"))) return {WriteOutcome::Cancelled};
        QString busy;
        const std::unique_ptr<ModuleLock> lock = TakeWriterLock(p_, &busy);
        if (!lock) return {WriteOutcome::Busy, busy};
        const OperationResult result = operation();
        const Box box = SettingsWriteBox(write, result);
        show(box);
        WriteResult shown{outcomeOf(result), box.text};
        if (result.done()) {
            shown.warning = SettingsWarnings(result).join(QStringLiteral("\n"));
        } else if (result.failedStep()) {
            shown.changed = result.changed();
            shown.notSent = result.notDone();
        }
        return shown;
    }

private:
    static WriteOutcome outcomeOf(const OperationResult& result) {
        switch (result.end) {
        case OperationResult::End::Done: return WriteOutcome::Done;
        case OperationResult::End::NotLinked:
        case OperationResult::End::Stopped: return WriteOutcome::NotLinked;
        case OperationResult::End::Failed: break;
        }
        const Step* failed = result.failedStep();
        return failed && failed->verdict.refused() ? WriteOutcome::Refused : WriteOutcome::Failed;
    }
    void show(const Box& box) {
        if (box.shown()) p_.dialogs.message(box.text, box.caption, box.icon);
    }

    Program& p_;
};

WriteResult wifiWrite(Program& p, bool ap, const QString& ssid, const QString& key, KeyType type) {
    Click click(p);
    const Checked<WifiValues> values = CheckWifi(ssid, key, type, click.log());
    if (!values.ok()) return click.invalid(values.problem);
    const WifiValues& v = *values.value;
    return click.run(WifiConfirmation(ap, ssid, type, key), ap ? SettingsWrite::Ap : SettingsWrite::Station, [&] {
        return ap ? WriteAp(p.ctx, v.ssid, v.type != KeyType::Open, v.key) : WriteStation(p.ctx, v.ssid, v.type, v.key);
    });
}

}  // namespace

WriteResult ApSsidWrite(Program& p) {
    const SetupView& v = p.screen.setup;
    return wifiWrite(p, true, v.edit1, v.edit2, v.radioButton1 ? KeyType::Open : KeyType::Wpa);
}

WriteResult StationSsidWrite(Program& p) {
    const SetupView& v = p.screen.setup;
    return wifiWrite(p, false, v.edit3, v.edit4,
                     v.radioButton3 ? KeyType::Open : v.radioButton4 ? KeyType::Wep : KeyType::Wpa);
}

WriteResult StaticIpWrite(Program& p) {
    const SetupView& v = p.screen.setup;
    Click click(p);
    if (!v.checkBox1)
        return click.run(ClearStaticIpConfirmation(), SettingsWrite::ClearStaticIp, [&] { return ClearStaticIp(p.ctx); });
    const Checked<StaticIpValues> values = CheckStaticIp(v.edit8, v.edit9, v.edit10);
    if (!values.ok()) return click.invalid(values.problem);
    return click.run(StaticIpConfirmation(v.edit8, v.edit9, v.edit10), SettingsWrite::StaticIp, [&] {
        return WriteStaticIp(p.ctx, values.value->ip, values.value->mask, values.value->gateway);
    });
}

WriteResult WebKeyWrite(Program& p) {
    const QString text = p.screen.setup.edit6;
    Click click(p);
    const Checked<QByteArray> key = CheckWebKey(text, click.log());
    if (!key.ok()) return click.invalid(key.problem);
    return click.run(WebKeyConfirmation(text), SettingsWrite::WebKey, [&] { return WriteWebKey(p.ctx, *key.value); });
}

WriteResult LocationWrite(Program& p) {
    const QString text = p.screen.setup.edit5;
    Click click(p);
    const Checked<QByteArray> location = CheckLocation(text, click.log());
    if (!location.ok()) return click.invalid(location.problem);
    return click.run(LocationConfirmation(text), SettingsWrite::Location,
                     [&] { return WriteLocation(p.ctx, *location.value); });
}

WriteResult ModbusWrite(Program& p) {
    const SetupView& v = p.screen.setup;
    Click click(p);
    const Checked<ModbusValues> values = CheckModbus(v.edit7, v.edit11);
    if (!values.ok()) return click.invalid(values.problem);
    return click.run(ModbusConfirmation(*values.value), SettingsWrite::Modbus,
                     [&] { return WriteModbus(p.ctx, values.value->port, values.value->idleTimeout); });
}

}  // namespace rzl
