#include "ui/operation_texts.h"

namespace rzl {

namespace {

const QString kRebootReminder = QStringLiteral(",\n    . Manual Reboot to take effect!");
const QString kLine = QStringLiteral("\n    . ");

QString garbleWords(Verdict::Garble garble) {
    switch (garble) {
    case Verdict::Garble::Signature: return QStringLiteral("another signature");
    case Verdict::Garble::Command: return QStringLiteral("another command in byte 4");
    case Verdict::Garble::Length: break;
    }
    return QStringLiteral("too short for its command");
}

// The module's answer that ended a step.
QString answerText(const Step& step, const QString& what) {
    if (step.verdict.refused()) return what + QStringLiteral(" refused by the module (status %1)").arg(step.verdict.status);
    return what + QStringLiteral(": ") + NotValidText(step.verdict);
}

QString commandName(std::uint8_t command) {
    switch (command) {
    case kCmdWebKey: return QStringLiteral("Send WEB Key (command 50)");
    case kCmdModbusNotice: return QStringLiteral("The Modbus notice (command 220)");
    default: break;
    }
    return QStringLiteral("Command %1").arg(command);
}

// What a step is, in a sentence: "the header of /local/locate.cfg", "the web key (command 50)".
QString stepWords(const Step& step) {
    switch (step.kind) {
    case Step::Kind::Write: return QStringLiteral("the header of ") + step.name;
    case Step::Kind::Delete: return QStringLiteral("the delete of ") + step.name;
    case Step::Kind::Command:
    case Step::Kind::SendOnly: break;
    }
    switch (step.command) {
    case kCmdWebKey: return QStringLiteral("the web key (command 50)");
    case kCmdModbusNotice: return QStringLiteral("the Modbus notice (command 220)");
    case kCmdLocate: return QStringLiteral("the locate request (command 29)");
    case kCmdCounterClear: return QStringLiteral("the counter clear (command 97)");
    default: break;
    }
    return QStringLiteral("command %1").arg(step.command);
}

QString settingsInformation(SettingsWrite write) {
    switch (write) {
    case SettingsWrite::Ap: return QStringLiteral("AP SSID write complete") + kRebootReminder;
    case SettingsWrite::Station: return QStringLiteral("STA SSID write complete") + kRebootReminder;
    case SettingsWrite::StaticIp: return QStringLiteral("Station Static IP write complete") + kRebootReminder;
    case SettingsWrite::ClearStaticIp: return QStringLiteral("Station Static IP delete complete") + kRebootReminder;
    case SettingsWrite::WebKey: return QStringLiteral("WEB Key write complete,\n    .Take effect immediately.");
    case SettingsWrite::Location: return QStringLiteral("Location string write complete") + kRebootReminder;
    case SettingsWrite::Modbus: break;
    }
    return QStringLiteral("Modify Modbus Port, Timeout write complete") + kRebootReminder;
}

struct Action {
    QString name;         // names the action in the error box
    QString information;  // shown once the command went out
};

Action actionOf(Maintenance action) {
    switch (action) {
    case Maintenance::WifiMode:
        return {QStringLiteral("Wi-Fi Mode write"), QStringLiteral("Wi-Fi Mode write complete,\n    . Reboot complete.")};
    case Maintenance::Reset:
        return {QStringLiteral("Reset default"), QStringLiteral("Reset default complete,\n    . Reboot complete.")};
    case Maintenance::Reboot: break;
    }
    return {QStringLiteral("Reboot device"), QStringLiteral("Reboot complete.")};
}

QString notReached(ExchangeResult result, const QString& otherwise) {
    switch (result) {
    case ExchangeResult::NoConnection: return QStringLiteral("Connect Timeout");
    case ExchangeResult::Busy: return QStringLiteral("another request to the device is still running");
    default: return otherwise;
    }
}

}  // namespace

QString NotValidText(const Verdict& verdict) {
    return QStringLiteral("the module's reply was not valid (%1)").arg(garbleWords(verdict.garble));
}

QString StepFailureText(const Step& step) {
    const bool write = step.kind == Step::Kind::Write;
    const bool file = write || step.kind == Step::Kind::Delete;
    const QString head = file ? (write ? QStringLiteral("Send FileName: ") : QStringLiteral("Del File: ")) + step.name
                              : commandName(step.command);
    const auto withReason = [&](const QString& what) {
        return step.reason.isEmpty() ? what : what + QStringLiteral(": ") + step.reason;
    };
    QString what;
    switch (step.failure) {
    case Step::Failure::None: return {};
    case Step::Failure::DoesNotFit: what = step.reason; break;
    case Step::Failure::Busy:
        what = file ? QStringLiteral("Module busy with another request, nothing sent. Try again.")
                    : withReason(QStringLiteral("Not sent"));
        break;
    case Step::Failure::NotDelivered:
        what = withReason(write ? QStringLiteral("File header not sent")
                          : file ? QStringLiteral("Delete not sent")
                                 : QStringLiteral("Not sent"));
        break;
    case Step::Failure::Answer:
        what = answerText(step, write ? QStringLiteral("File header") : file ? QStringLiteral("Delete") : QStringLiteral("Command"));
        break;
    case Step::Failure::Content: what = withReason(QStringLiteral("Content transfer failed")); break;
    }
    return head + kLine + what;
}

QString TransferErrorText(const TransferOutcome& outcome) {
    return outcome.done() ? QString() : StepFailureText(FileStep(outcome));
}

QString UnconfirmedText(const Step& step) {
    return QStringLiteral("sent; the module did not confirm ") + stepWords(step);
}

QStringList SettingsWarnings(const OperationResult& result) {
    QStringList lines;
    for (const Step& step : result.unconfirmed()) lines.append(UnconfirmedText(step));
    if (result.missed) {
        const QString why = result.missed->reason.isEmpty() ? QStringLiteral("not sent") : result.missed->reason;
        lines.append(commandName(result.missed->command) + QStringLiteral(" did not reach the module: ") + why);
    }
    return lines;
}

Box SettingsWriteBox(SettingsWrite write, const OperationResult& result) {
    if (result.done()) {
        QString text = settingsInformation(write);
        for (const QString& line : SettingsWarnings(result)) text += kLine + line;
        return {text, kInformationCaption, BoxIcon::Information};
    }
    const Step* failed = result.failedStep();
    if (!failed) return {};
    QString text = StepFailureText(*failed);
    const QStringList changed = result.changed();
    if (!changed.isEmpty()) {
        text += QStringLiteral("\n    . Done before it: ") + changed.join(QStringLiteral(", "));
        text += QStringLiteral("\n    . Not done: ") + result.notDone().join(QStringLiteral(", "));
    }
    return {text, kErrorCaption, BoxIcon::Error};
}

Box MaintenanceBox(Maintenance action, const OperationResult& result) {
    const Action a = actionOf(action);
    if (result.done()) return {a.information, kInformationCaption, BoxIcon::Information};
    const Step* failed = result.failedStep();
    if (!failed) return {};
    QString reason;
    if (failed->failure == Step::Failure::Answer) {
        reason = failed->verdict.refused() ? QStringLiteral("refused by the module (status %1)").arg(failed->verdict.status)
                                           : NotValidText(failed->verdict);
    } else {
        reason = notReached(failed->reached, QStringLiteral("the command could not be written"));
    }
    return {a.name + QStringLiteral(" fail,\n    . ") + reason + QStringLiteral("."), kErrorCaption, BoxIcon::Error};
}

Box FirmwareBox(const FirmwareResult& result, const QString& path) {
    using Stop = FirmwareResult::Stop;
    switch (result.stoppedAt) {
    case Stop::Unreadable:
        return {QStringLiteral("Cannot read F/W image file,\n    . %1\n    . %2").arg(path, result.reason), kErrorCaption,
                BoxIcon::Error};
    case Stop::Header:
        return {QStringLiteral("F/W update stopped, header not sent,\n    . %1.")
                    .arg(notReached(result.header.result, QStringLiteral("the header could not be written"))),
                kErrorCaption, BoxIcon::Error};
    case Stop::Stream:
        return {QStringLiteral("F/W image stream fail,\n    . %1").arg(result.reason), kErrorCaption, BoxIcon::Error};
    default: return {};
    }
}

}  // namespace rzl
