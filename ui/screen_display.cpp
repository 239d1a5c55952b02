#include "ui/screen_display.h"

namespace rzl {

namespace {

constexpr ShapeColours kOutputOn{colours::kOutputOn, colours::kOutputOn};
constexpr ShapeColours kInputActive{colours::kInputActive, colours::kInputActive};
constexpr ShapeColours kOff{Colour::menu(), Colour::light3D()};

const QString kConnectTimeout = QStringLiteral("Connect Timeout");
const QString kChecksumMatch = QStringLiteral("F/W update Complete! Reboot to take effect");
const QString kChecksumMismatch = QStringLiteral("Update F/W fail with Error! Please retry again.");

// "DO0 Off" .. "DO5 On", made once and shared: the panel is redrawn on every state reply.
const QString& doCaption(int output, bool on) {
    static const auto captions = [] {
        std::array<std::array<QString, 2>, 6> made;
        for (int k = 0; k < 6; ++k) {
            made[k][0] = QStringLiteral("DO%1 Off").arg(k);
            made[k][1] = QStringLiteral("DO%1 On").arg(k);
        }
        return made;
    }();
    return captions[output][on ? 1 : 0];
}

QString hex(qint64 value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

// What a layout makes of the I/O panel.
struct LayoutLook {
    const char* moduleText;
    const char* inputText;
    const char* outputText;
    std::uint8_t usableInputs;   // bit k: DIk caption label enabled
    std::uint8_t usableOutputs;  // bit k: DOk button enabled
    bool dimDoTitle;
    bool dimDiTitle;
    bool counterImage;
};

LayoutLook lookOf(PanelLayout layout) {
    switch (layout) {
    case PanelLayout::A:
        return {"4DI + 3DO Module", "4 Digital Input", "3 Relay Output", 0x0F, 0x07, false, false, true};
    case PanelLayout::B:
        return {"4DI + 2DO Module", "4 Digital Input", "2 AC SSR Output", 0x0F, 0x03, false, false, true};
    case PanelLayout::C:
        return {"4DI + 2DO Module", "4 Digital Input", "2 DC SSR Output", 0x0F, 0x03, false, false, true};
    case PanelLayout::D:
        return {"8DI Module", "8 Digital Input", "No Relay Output", 0xFF, 0x00, true, false, true};
    case PanelLayout::E:
        break;
    }
    return {"8DO Module", "No Digital Input", "6 Relay Output", 0x00, 0x3F, false, true, false};
}

}  // namespace

QString NoticeText(const Notice& n) {
    switch (n.kind) {
    case Notice::Kind::ConnectTimeout: return kConnectTimeout;
    case Notice::Kind::InvalidHeader: return QStringLiteral("InValid Header package!");
    case Notice::Kind::LocatorDone: return QStringLiteral("Set Locator done!");
    case Notice::Kind::FileDeleted: return QStringLiteral("Kill file in Flash Done!");
    case Notice::Kind::SettingsReset: return QStringLiteral("Flash Config been kill!");
    case Notice::Kind::OutputSet: return QStringLiteral("Set DO Done! DI:") + hex(n.number, 2);
    case Notice::Kind::SendingFile: return QStringLiteral("Send FileName: ") + n.text;
    case Notice::Kind::DeletingFile: return QStringLiteral("Del File: ") + n.text;
    case Notice::Kind::TransferLength: return QStringLiteral("Transfer Length => ") + QString::number(n.number);
    case Notice::Kind::ImageLength: return QStringLiteral("MCUImg FileLength => ") + QString::number(n.number);
    case Notice::Kind::ImageTooLarge: return QStringLiteral("File Lengths > Buffer Size, Abort!");
    case Notice::Kind::ImageSum: return QStringLiteral("Send MCUImg CheckSum => ") + hex(n.number, 8);
    case Notice::Kind::RetryTransfer: return QStringLiteral("Retry transfer ") + QString::number(n.number);
    case Notice::Kind::RetryTimeout: return QStringLiteral("Retry timeout, abort transfer!");
    case Notice::Kind::TargetChanged: return QStringLiteral("Change IP => ") + n.text;
    case Notice::Kind::WaitingForWriter:
        return (n.number > 0 ? QStringLiteral("Waiting for PID %1").arg(n.number) : QStringLiteral("Waiting for another program")) +
               QStringLiteral(" writing to ") + n.text;
    case Notice::Kind::Refused:
        return QStringLiteral("The module at %1 refuses requests (status %2)").arg(n.text).arg(n.number);
    }
    return {};
}

void ScreenDisplay::notice(const Notice& n) {
    screen_.showStatus(NoticeText(n));
    if (n.kind == Notice::Kind::ConnectTimeout && !n.text.isEmpty()) {
        screen_.main.statusDetail = QStringLiteral("No connection: ") + n.text;
        screen_.changed();
    }
}

void ScreenDisplay::connected() {
    if (screen_.main.statusBar2[0] == kConnectTimeout) screen_.showStatus(QString());
}

void ScreenDisplay::log(const QString& line) { screen_.log(line); }

void ScreenDisplay::layout(PanelLayout layout) {
    const LayoutLook look = lookOf(layout);
    MainView& main = screen_.main;
    main.label4.hint = QString::fromUtf8(look.moduleText);
    main.groupBox1Hint = QString::fromUtf8(look.inputText);
    main.groupBox2Hint = QString::fromUtf8(look.outputText);
    for (int k = 0; k < 8; ++k) main.diLabelEnabled[k] = (look.usableInputs >> k) & 1;
    for (int k = 0; k < 6; ++k) main.doButtons[k].enabled = (look.usableOutputs >> k) & 1;
    main.label13.font = look.dimDoTitle ? colours::kDimmedTitle : colours::kBlack;
    main.label14.font = look.dimDiTitle ? colours::kDimmedTitle : colours::kBlack;
    main.image1Enabled = true;
    main.image3Enabled = true;
    main.image4Enabled = look.counterImage;
    screen_.changed();
}

void ScreenDisplay::identified(const Identity& identity) {
    MainView& main = screen_.main;
    main.label4.font = colours::kNavy;
    screen_.setStatusPanel(1, 0, QStringLiteral("Get Device Linked!!"));
    main.label4.caption = identity.modelName;
    if (identity.ofTarget) {
        screen_.setStatusPanel(1, 0, QStringLiteral("Dev MAC: ") + identity.mac);
        main.label5.font = colours::kLocation;
        main.label5.caption = QStringLiteral("Locate: ") + identity.location;
        screen_.setStatusPanel(2, 1, QStringLiteral("FW: V") + identity.firmware);
    }
    screen_.changed();
}

void ScreenDisplay::ioState(std::uint8_t doBits, std::uint8_t diBits) {
    MainView& main = screen_.main;
    for (int k = 0; k < 6; ++k) {
        const bool on = (doBits >> k) & 1;
        main.doBars[k] = on ? kOutputOn : kOff;
        main.doButtons[k].caption = doCaption(k, on);
    }
    for (int k = 0; k < 8; ++k) main.diShapes[k] = ((diBits >> k) & 1) ? kInputActive : kOff;
    screen_.changed();
}

QString TimeOfDay(const QDateTime& time) { return time.toLocalTime().toString(QStringLiteral("HH:mm:ss")); }

QString NoAnswerSince(const QDateTime& lastRead) {
    if (!lastRead.isValid()) return QStringLiteral("No answer");
    return QStringLiteral("No answer since ") + TimeOfDay(lastRead);
}

void ScreenDisplay::readingsStale(const QDateTime& lastRead) {
    screen_.main.stale = true;
    screen_.main.staleNote = NoAnswerSince(lastRead);
    screen_.changed();
}

void ScreenDisplay::readingsLive() {
    screen_.main.stale = false;
    screen_.main.staleNote.clear();
    screen_.changed();
}

void ScreenDisplay::rssi(int dbm) {
    screen_.main.label12.caption = QStringLiteral("RSSI: %1dBm").arg(dbm);
    screen_.changed();
}

void ScreenDisplay::counters(const std::array<std::uint32_t, 8>& values, const QDateTime& readAt) {
    for (int i = 0; i < 8; ++i) screen_.counter.values[i] = QString::number(values[i]);
    screen_.counter.note = QStringLiteral("Read at ") + TimeOfDay(readAt);
    screen_.changed();
}

void ScreenDisplay::countersNotRead(ReadFailure why, const QDateTime& lastRead) {
    const QString reason = why == ReadFailure::Refused   ? QStringLiteral("refused")
                           : why == ReadFailure::NotValid ? QStringLiteral("the reply was not valid")
                                                          : QStringLiteral("no answer");
    CounterView& counter = screen_.counter;
    if (lastRead.isValid()) {
        // The last values stay, with their time: older, never made up.
        counter.note = QStringLiteral("Read at %1; not read since: %2").arg(TimeOfDay(lastRead), reason);
    } else {
        counter.values.fill(QString(kNotRead));
        counter.note = QStringLiteral("Not read: ") + reason;
    }
    screen_.changed();
}

void ScreenDisplay::checksumCompared(bool match) {
    const QString& text = match ? kChecksumMatch : kChecksumMismatch;
    screen_.showStatus(text);
    dialogs_.message(text, text, match ? BoxIcon::None : BoxIcon::Error);
}

void ScreenDisplay::noModule() {
    MainView& main = screen_.main;
    for (ButtonView& button : main.doButtons) button.enabled = false;
    main.diLabelEnabled.fill(false);
    main.image1Enabled = false;
    main.image3Enabled = false;
    main.image4Enabled = false;
    main.label12.caption = QStringLiteral("RSSI:");
    main.stale = false;
    main.staleNote.clear();
    ioState(0, 0);
    main.label4.caption.clear();
    main.label5.caption.clear();
    main.label12.font = colours::kRssiAfterReset;
    screen_.changed();
}

void ScreenDisplay::linkFound(const QString& deviceIp) { screen_.setStatusPanel(1, 1, QStringLiteral("IP: ") + deviceIp); }

void ScreenDisplay::linkFailed(LinkFailure why) {
    MainView& main = screen_.main;
    // Ambiguous: the I/O panel keeps its look.
    main.label4.caption = why == LinkFailure::NoCandidate ? QStringLiteral("Device not found!!")
                                                          : QStringLiteral("Same multiple IP found!!");
    main.label4.font = colours::kRed;
    main.label5.caption.clear();
    screen_.changed();
}

void ScreenDisplay::target(const QString& deviceIp) {
    screen_.main.edit2 = deviceIp;
    screen_.changed();
}

void ScreenDisplay::targetChanged(const QString& deviceIp) {
    notice({Notice::Kind::TargetChanged, deviceIp});
    screen_.setStatusPanel(1, 0, QString());
    screen_.setStatusPanel(1, 1, QStringLiteral("IP: ") + deviceIp);
    screen_.setStatusPanel(2, 1, QString());
    // The counts shown were another module's.
    screen_.counter.values.fill(QString(kNotRead));
    screen_.counter.note.clear();
    screen_.changed();
}

void ScreenDisplay::transfer(const TransferProgress& progress) {
    GaugeView& gauge = screen_.setup.gauge;
    switch (progress.phase) {
    case TransferProgress::Phase::Cleared: gauge.position = 0; return;
    case TransferProgress::Phase::Started:
        gauge.minimum = 0;
        gauge.maximum = static_cast<int>(progress.value);
        gauge.position = 0;
        gauge.bar = colours::kRed;
        return;
    case TransferProgress::Phase::Moved: gauge.position = static_cast<int>(progress.value); return;
    }
}

void ScreenDisplay::refresh() { screen_.changed(); }

}  // namespace rzl
