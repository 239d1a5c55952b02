#include "ui/setup/settings_writes.h"

#include <QStringList>
#include <array>
#include <cstring>
#include <optional>

#include "core/context.h"
#include "filestore/file_transfer.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"
#include "ui/setup/tform2.h"

namespace rzl {

namespace {

const QString kErrorCaption = QStringLiteral("Error found!");
const QString kRebootReminder = QStringLiteral(",\n    . Manual Reboot to take effect!");

constexpr int kMaxSsidBytes = 31;
constexpr int kMinKeyBytes = 8;
constexpr int kMaxKeyBytes = 16;
constexpr int kMaxWebKeyBytes = 5;
constexpr int kMaxLocationBytes = 31;
constexpr int kBetweenFilesMs = 200;
constexpr int kBeforeModbusNoticeMs = 300;

enum KeyType : std::uint8_t { kOpen = 0, kWep = 1, kWpa = 2 };

QString keyTypeName(std::uint8_t type) {
    return type == kOpen ? QStringLiteral("OPEN") : type == kWep ? QStringLiteral("WEP") : QStringLiteral("WPA/WPA2");
}

// One run of an operation: its boxes, its steps, and what it ended in.
class Run {
public:
    explicit Run(Context& ctx) : ctx_(ctx) {}

    // A field as the module stores it, with its length line. Empty text stays empty (no line);
    // text that cannot be written in 8 bits, or holds a control character, refuses the
    // operation with the reason.
    std::optional<QByteArray> field(const QString& text) {
        if (text.isEmpty()) return QByteArray();
        QString why;
        std::optional<QByteArray> bytes = toModuleText(text, &why);
        if (!bytes) {
            invalid(why);
            return std::nullopt;
        }
        ctx_.screen.log(QString::number(bytes->size()));
        return bytes;
    }

    WriteResult invalid(const QString& text, const QString& caption = kErrorCaption, BoxIcon icon = BoxIcon::Error) {
        ctx_.dialogs.message(text, caption, icon);
        return end(WriteOutcome::InvalidInput, text);
    }

    // The confirmation, then the link check; false (with the outcome set) when either says no.
    bool confirmedAndLinked(const QString& text) {
        if (!ctx_.dialogs.confirm(text, QStringLiteral("Confirm"))) {
            end(WriteOutcome::Cancelled, {});
            return false;
        }
        if (!ctx_.linkCheck()) {
            end(WriteOutcome::NotLinked, {});
            return false;
        }
        return true;
    }

    // What the operation will send, in order ("write /local/ap_key.cfg", "command 50"), so
    // that a step that fails can say what the module already has and what it did not get.
    void plan(const QStringList& steps) { planned_ = steps; }

    // The steps: each false (error box shown, outcome set) when it did not reach the module.
    bool write(const QString& name, const QByteArray& content) {
        std::memcpy(ctx_.transfer.data(), content.constData(), static_cast<std::size_t>(content.size()));
        return transferred(SendFile(ctx_, name, content.size()));
    }
    bool remove(const QString& name) { return transferred(KillFile(ctx_, name)); }
    bool command(const ExchangeOutcome& sent, const QString& what) {
        if (sent.result == ExchangeResult::NotLinked) {
            end(WriteOutcome::NotLinked, {});
            return false;
        }
        if (sent.delivered()) return stepDone();
        failed(what + QStringLiteral("\n    . Not sent: ") + sent.reason, WriteOutcome::Failed);
        return false;
    }

    void log(const QString& line) { ctx_.screen.log(line); }
    void pause(int milliseconds) { ctx_.clock.pause(milliseconds); }

    WriteResult done(const QString& information, const QString& warning = {}) {
        const QString text = warning.isEmpty() ? information : information + QStringLiteral("\n    . ") + warning;
        ctx_.dialogs.message(text, QStringLiteral("Information"), BoxIcon::Information);
        end(WriteOutcome::Done, text);
        result_.warning = warning;
        return result_;
    }

    // The last step did not reach the module; the ones before it did and are kept.
    QString lastStepMissed(const ExchangeOutcome& sent, const QString& what) {
        if (sent.delivered()) {
            stepDone();
            return {};
        }
        const QString why = sent.result == ExchangeResult::NotLinked ? QStringLiteral("the link check failed") : sent.reason;
        return what + QStringLiteral(" did not reach the module: ") + why;
    }

    const WriteResult& result() const { return result_; }

private:
    bool stepDone() {
        ++stepsDone_;
        return true;
    }
    bool transferred(const TransferOutcome& outcome) {
        if (outcome.done()) return stepDone();
        failed(outcome.errorText, outcome.refusedStatus >= 0 ? WriteOutcome::Refused : WriteOutcome::Failed);
        return false;
    }
    void failed(QString text, WriteOutcome outcome) {
        const QStringList changed = planned_.mid(0, stepsDone_);
        const QStringList notSent = planned_.mid(stepsDone_);
        if (!changed.isEmpty()) {
            text += QStringLiteral("\n    . Done before it: ") + changed.join(QStringLiteral(", "));
            text += QStringLiteral("\n    . Not done: ") + notSent.join(QStringLiteral(", "));
        }
        ctx_.dialogs.message(text, kErrorCaption, BoxIcon::Error);
        end(outcome, text);
        result_.changed = changed;
        result_.notSent = notSent;
    }
    WriteResult end(WriteOutcome outcome, const QString& message) {
        result_ = {outcome, message, {}, {}, {}};
        return result_;
    }

    Context& ctx_;
    WriteResult result_;
    QStringList planned_;
    int stepsDone_ = 0;
};

QString written(const QString& file) { return QStringLiteral("write ") + file; }
QString deleted(const QString& file) { return QStringLiteral("delete ") + file; }

// The AP and Station groups differ only in their fields, texts and files.
struct WifiGroup {
    QString ssidText;
    QString keyText;
    std::uint8_t type;
    QString confirmHead;
    QString keyFile;
    QString keyLog;
    QString typeFile;  // empty: the group has no key-type file
    QString typeLog;
    QString ssidFile;
    QString ssidLog;
    QString information;
};

WriteResult wifiWrite(Context& ctx, const WifiGroup& g) {
    Run run(ctx);
    const std::optional<QByteArray> ssid = run.field(g.ssidText);
    if (!ssid) return run.result();
    // With Open no key is sent, so the key field is not read: text left in it changes nothing.
    const std::optional<QByteArray> key = g.type == kOpen ? QByteArray() : run.field(g.keyText);
    if (!key) return run.result();
    const bool ssidValid = !ssid->isEmpty() && ssid->size() <= kMaxSsidBytes;
    const bool keyValid = key->size() >= kMinKeyBytes && key->size() <= kMaxKeyBytes;
    if (!ssidValid || (g.type != kOpen && !keyValid))
        return run.invalid(QStringLiteral("    . SSID must less then 31 chars.\n"
                                          "    . Key must around chars  8~14.\n"
                                          "    . If Open type selected, Key can be ignore."));

    if (!run.confirmedAndLinked(g.confirmHead + QStringLiteral("\n    . SSID: ") + g.ssidText +
                                QStringLiteral("\n    . Type: [%1] ").arg(g.type) + keyTypeName(g.type) +
                                QStringLiteral("\n    . KEY: ") + g.keyText))
        return run.result();

    QStringList steps{g.type == kOpen ? deleted(g.keyFile) : written(g.keyFile)};
    if (!g.typeFile.isEmpty()) steps.append(written(g.typeFile));
    steps.append(written(g.ssidFile));
    run.plan(steps);
    if (g.type == kOpen) {
        if (!run.remove(g.keyFile)) return run.result();
    } else {
        if (!run.write(g.keyFile, *key)) return run.result();
        run.log(g.keyLog + g.keyText);
    }
    run.pause(kBetweenFilesMs);
    if (!g.typeFile.isEmpty()) {
        if (!run.write(g.typeFile, QByteArray(1, static_cast<char>(g.type)))) return run.result();
        run.log(g.typeLog + QString::number(g.type));
        run.pause(kBetweenFilesMs);
    }
    if (!run.write(g.ssidFile, *ssid)) return run.result();
    run.log(g.ssidLog + g.ssidText);
    return run.done(g.information);
}

// The four address bytes of text IsValidIpText accepted, each group read as decimal.
std::array<char, 4> addressBytes(const QString& text) {
    std::array<char, 4> bytes{};
    const QStringList groups = text.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(groups[i].toInt(nullptr, 10));
    return bytes;
}

// A Modbus field as a signed 32-bit integer, or the conversion's complaint.
std::optional<int> integerField(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

QString notInteger(const QString& text) { return QStringLiteral("'%1' is not a valid integer value").arg(text); }

}  // namespace

WriteResult ApSsidWrite(Context& ctx) {
    const SetupView& v = ctx.screen.setup;
    return wifiWrite(ctx, {v.edit1, v.edit2, v.radioButton1 ? kOpen : kWpa, QStringLiteral("Modify AP SSID, execute?"),
                           QStringLiteral("/local/ap_key.cfg"), QStringLiteral("AP_KEY ="), {}, {},
                           QStringLiteral("/local/ap_ssid.cfg"), QStringLiteral("AP_SSID ="),
                           QStringLiteral("AP SSID write complete") + kRebootReminder});
}

WriteResult StationSsidWrite(Context& ctx) {
    const SetupView& v = ctx.screen.setup;
    const std::uint8_t type = v.radioButton3 ? kOpen : v.radioButton4 ? kWep : kWpa;
    return wifiWrite(ctx, {v.edit3, v.edit4, type, QStringLiteral("Modify STA SSID, execute?"),
                           QStringLiteral("/local/sta_key.cfg"), QStringLiteral("STA_KEY ="),
                           QStringLiteral("/local/sta_keyT.cfg"), QStringLiteral("STA_KTYPE ="),
                           QStringLiteral("/local/sta_ssid.cfg"), QStringLiteral("STA_SSID ="),
                           QStringLiteral("STA SSID write complete") + kRebootReminder});
}

WriteResult StaticIpWrite(Context& ctx) {
    const SetupView& v = ctx.screen.setup;
    Run run(ctx);
    const QString file = QStringLiteral("/local/sta_ip.cfg");
    if (!v.checkBox1) {
        if (!run.confirmedAndLinked(QStringLiteral("Delete Station Static IP config, execute?\n"))) return run.result();
        run.plan({deleted(file)});
        if (!run.remove(file)) return run.result();
        return run.done(QStringLiteral("Station Static IP delete complete") + kRebootReminder);
    }

    QByteArray content;
    for (const QString& text : {v.edit8, v.edit9, v.edit10}) {
        if (!IsValidIpText(text)) return run.invalid(QStringLiteral("    . IP, Mask, Gateway input error.\n"));
        const std::array<char, 4> bytes = addressBytes(text);
        content.append(bytes.data(), bytes.size());
    }
    // The confirmation shows the addresses as the module will get them: leading zeros are
    // read as decimal, so "010.0.0.5" is shown as 10.0.0.5, not left to be read as octal.
    if (!run.confirmedAndLinked(QStringLiteral("Modify Station Static IP, Mask, Gateway, execute?\n    . IP: ") +
                                NormalIpText(v.edit8) + QStringLiteral("\n    . Mask: ") + NormalIpText(v.edit9) +
                                QStringLiteral("\n    . Gateway: ") + NormalIpText(v.edit10)))
        return run.result();
    run.plan({written(file)});
    if (!run.write(file, content)) return run.result();
    return run.done(QStringLiteral("Station Static IP write complete") + kRebootReminder);
}

WriteResult WebKeyWrite(Context& ctx) {
    const QString& text = ctx.screen.setup.edit6;
    Run run(ctx);
    const std::optional<QByteArray> key = run.field(text);
    if (!key) return run.result();
    if (key->isEmpty() || key->size() > kMaxWebKeyBytes) return run.invalid(QStringLiteral("    . WEB Key must be 5 chars."));
    if (!run.confirmedAndLinked(QStringLiteral("Modify WEB Key, execute?\n    . WEB Key: ") + text + QStringLiteral(".\n")))
        return run.result();

    run.plan({QStringLiteral("command 50")});
    if (!run.command(SendWebKey(ctx, *key), QStringLiteral("Send WEB Key (command 50)"))) return run.result();
    run.log(QStringLiteral("WEB Key =") + text);
    return run.done(QStringLiteral("WEB Key write complete,\n    .Take effect immediately."));
}

WriteResult LocationWrite(Context& ctx) {
    const QString& text = ctx.screen.setup.edit5;
    Run run(ctx);
    const std::optional<QByteArray> location = run.field(text);
    if (!location) return run.result();
    if (location->isEmpty() || location->size() > kMaxLocationBytes)
        return run.invalid(QStringLiteral("    . Location string must less then 31 chars."));
    if (!run.confirmedAndLinked(QStringLiteral("Modify Location string, execute?\n    . Location: ") + text +
                                QStringLiteral(".\n")))
        return run.result();
    run.plan({written(QStringLiteral("/local/locate.cfg"))});
    if (!run.write(QStringLiteral("/local/locate.cfg"), *location)) return run.result();
    run.log(QStringLiteral("Location =") + text);
    return run.done(QStringLiteral("Location string write complete") + kRebootReminder);
}

WriteResult ModbusWrite(Context& ctx) {
    const SetupView& v = ctx.screen.setup;
    Run run(ctx);
    const QString portInput = QStringLiteral("Modbus port input Error");
    const QString timeoutInput = QStringLiteral("Modbus Idle Timeout input Error");

    const std::optional<int> port = integerField(v.edit7);
    if (!port) return run.invalid(notInteger(v.edit7), portInput, BoxIcon::None);
    if (*port == 13577 || *port == 80) return run.invalid(QStringLiteral("Port already used!"), portInput, BoxIcon::None);
    if (*port < 1 || *port > 65535)
        return run.invalid(QStringLiteral("Port number over range!"), QStringLiteral("Modbus port range Error"),
                           BoxIcon::None);
    // The timeout is read only once the port has passed.
    const std::optional<int> timeout = integerField(v.edit11);
    if (!timeout) return run.invalid(notInteger(v.edit11), timeoutInput, BoxIcon::None);
    if (*timeout < 1 || *timeout > 65000)
        return run.invalid(QStringLiteral("Timeout range must in 1 ~ 65000 Sec! Recommend 30 Sec."), timeoutInput,
                           BoxIcon::None);

    if (!run.confirmedAndLinked(QStringLiteral("Modify Modbus Port & Idle Timeout, execute?\n    . Port: %1, Idle Timeout: %2.")
                                    .arg(*port)
                                    .arg(*timeout)))
        return run.result();

    // Port and timeout most significant byte first; the last six bytes stay zero.
    QByteArray content(10, '\0');
    content[0] = static_cast<char>(*port >> 8);
    content[1] = static_cast<char>(*port);
    content[2] = static_cast<char>(*timeout >> 8);
    content[3] = static_cast<char>(*timeout);
    run.plan({written(QStringLiteral("/local/mbport.cfg")), QStringLiteral("command 220")});
    if (!run.write(QStringLiteral("/local/mbport.cfg"), content)) return run.result();
    run.log(QStringLiteral("Modbus Port =%1, Idle Timeout: %2").arg(*port).arg(*timeout));
    run.pause(kBeforeModbusNoticeMs);
    // The port file is stored and takes effect at the next reboot whether or not the notice
    // arrives, so the information box stands either way, saying when the notice was missed.
    const ExchangeOutcome notice = SendModbusNotice(ctx);
    return run.done(QStringLiteral("Modify Modbus Port, Timeout write complete") + kRebootReminder,
                    run.lastStepMissed(notice, QStringLiteral("The Modbus notice (command 220)")));
}

}  // namespace rzl
