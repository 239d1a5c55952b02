#include "sim/frame_handler.h"

#include "sim/module_state.h"

namespace rzl::sim {

namespace {

enum Code : std::uint8_t {
    Locate = 29,
    Identify = 33,
    Checksum = 37,
    Activate = 38,
    Reboot = 45,
    WifiMode = 48,
    WebKey = 50,
    FirmwareHeader = 90,
    DeleteFile = 93,
    ResetDefaults = 94,
    FileHeader = 95,
    ReadCounters = 96,
    ClearCounter = 97,
    SwitchOutput = 208,
    Poll = 216,
    ModbusNotice = 220,
};

std::uint8_t At(const QByteArray& b, int i) { return static_cast<std::uint8_t>(b.at(i)); }

std::uint32_t U32At(const QByteArray& b, int i) {
    return std::uint32_t(At(b, i)) << 24 | std::uint32_t(At(b, i + 1)) << 16 | std::uint32_t(At(b, i + 2)) << 8
        | At(b, i + 3);
}

void PutU32(QByteArray& b, std::uint32_t v) {
    b.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

void PutText(QByteArray& reply, int offset, const QByteArray& text, int width) {
    const QByteArray t = text.left(width);
    reply.replace(offset, t.size(), t);
}

// The name field shared by the header and delete frames: count at 16, bytes from 17.
std::optional<QByteArray> NameField(const QByteArray& frame) {
    if (frame.size() < 17)
        return std::nullopt;
    const int n = At(frame, 16);
    if (n == 0 || 17 + n > frame.size())
        return std::nullopt;
    return frame.mid(17, n);
}

QString Printable(const QByteArray& name) {
    QString out;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        out += (u >= 0x20 && u < 0x7F) ? QString(QLatin1Char(c)) : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return out;
}

QByteArray StateBytes(const ModuleState& state) {
    QByteArray b;
    b.append(char(state.doBits)).append(char(state.diBits));
    return b;
}

FrameOutcome UploadOutcome(const QByteArray& frame, std::uint8_t code, const ModuleState& state) {
    FrameOutcome out;
    UploadHeader header;
    header.length = U32At(frame, 5);
    header.sum = U32At(frame, 9);
    const auto name = NameField(frame);
    header.name = name.value_or(QByteArray());
    if (!name || !IsAcceptedFileName(*name)) {
        header.refused = true;
        out.refusal = QStringLiteral("file header refused: name \"%1\" is outside the file store").arg(Printable(header.name));
    } else if (const QString why = StoreRefusal(state, header.name, header.length); !why.isEmpty()) {
        header.refused = true;
        out.refusal = QStringLiteral("file header for \"%1\" refused: %2").arg(Printable(header.name), why);
    }
    out.upload = header;
    out.reply = MakeReply(code, header.refused ? kRefused : kAccepted);
    return out;
}

}  // namespace

int RequestLength(const QByteArray& buffer) {
    if (buffer.size() < 5)
        return -1;
    switch (At(buffer, 4)) {
    case Locate:
    case Identify:
    case ReadCounters:
    case SwitchOutput: return 7;
    case Poll:
    case Reboot:
    case ModbusNotice: return 5;
    case WifiMode:
    case ResetDefaults:
    case ClearCounter: return 6;
    case Checksum:
    case Activate: return 9;
    case DeleteFile:
    case FirmwareHeader: return 40;
    case FileHeader: return 60;
    case WebKey: return buffer.size() < 6 ? -1 : 6 + At(buffer, 5);
    default: return 0;
    }
}

int ShortRequestLength(const QByteArray& buffer) {
    if (buffer.size() >= 5 && At(buffer, 4) == FileHeader)
        return 40;
    return RequestLength(buffer);
}

bool AnnouncesContent(const QByteArray& frame) {
    return frame.size() > 4 && (At(frame, 4) == FileHeader || At(frame, 4) == FirmwareHeader);
}

QByteArray MakeReply(std::uint8_t code, std::uint8_t status, const QByteArray& payload) {
    QByteArray reply = kSignature;
    reply.append(char(code)).append(char(status)).append(payload);
    return reply;
}

QByteArray IdentifyReply(const ModuleState& s) {
    QByteArray r(198, '\0');
    r.replace(0, 4, kSignature);
    r[4] = char(Identify);
    r[5] = char(kAccepted);
    r[6] = char(s.model);
    for (int i = 0; i < 4; ++i)
        r[7 + i] = char(s.address[3 - i]);  // least significant octet first
    for (int i = 0; i < 6; ++i)
        r[11 + i] = char(s.mac[i]);
    r[24] = char(s.fwMajor);
    r[25] = char(s.fwMinor);
    PutText(r, 40, s.location, 31);
    PutText(r, 80, s.apSsid, 31);
    r[112] = char(s.apKeyType);
    PutText(r, 113, s.apKey, 14);
    PutText(r, 128, s.staSsid, 31);
    r[160] = char(s.staKeyType);
    PutText(r, 161, s.staKey, 14);
    r[176] = char(s.wifiModeAp ? 1 : 0);
    r[177] = char(s.doBits);
    r[178] = char(s.diBits);
    r[179] = char(s.modbusPort >> 8);
    r[180] = char(s.modbusPort);
    r[181] = char(s.staticIp ? 1 : 0);
    for (int i = 0; i < 4; ++i) {
        r[182 + i] = char(s.staIp[i]);
        r[186 + i] = char(s.staNetmask[i]);
        r[190 + i] = char(s.staGateway[i]);
    }
    r[194] = char(s.rssi >> 8);
    r[195] = char(s.rssi);
    r[196] = char(s.idleTimeout >> 8);
    r[197] = char(s.idleTimeout);
    return r;
}

FrameOutcome HandleFrame(const QByteArray& frame, ModuleState& state, bool outputsStuck) {
    FrameOutcome out;
    const std::uint8_t code = At(frame, 4);
    const auto refuse = [&](const QString& why, const QByteArray& payload = {}) {
        out.refusal = why;
        out.reply = MakeReply(code, kRefused, payload);
        return out;
    };
    switch (code) {
    case Identify:
        out.reply = IdentifyReply(state);
        return out;
    case Poll: {
        QByteArray payload = StateBytes(state);
        payload.append(char(state.rssi >> 8)).append(char(state.rssi));
        out.reply = MakeReply(code, kAccepted, payload);
        return out;
    }
    case SwitchOutput: {
        const int output = At(frame, 5);
        if (output < 1 || output > 6)
            return refuse(QStringLiteral("output %1 does not exist").arg(output), StateBytes(state));
        const std::uint8_t bit = std::uint8_t(1u << (output - 1));
        const bool on = At(frame, 6) != 0 && (MasksForModel(state.model).outputs & bit);
        if (!outputsStuck) {
            state.doBits = on ? (state.doBits | bit) : (state.doBits & ~bit);
            out.stateChanged = true;
        }
        out.reply = MakeReply(code, kAccepted, StateBytes(state));
        return out;
    }
    case ReadCounters: {
        QByteArray payload;
        for (std::uint32_t c : state.counters)
            PutU32(payload, c);
        out.reply = MakeReply(code, kAccepted, payload);
        return out;
    }
    case ClearCounter: {
        const int input = At(frame, 5);
        if (input > 7)
            return refuse(QStringLiteral("counter %1 does not exist").arg(input));
        state.counters[input] = 0;
        out.stateChanged = true;
        out.reply = MakeReply(code, kAccepted);
        return out;
    }
    case Checksum: {
        QByteArray payload;
        PutU32(payload, ByteSum32(StoredFirmwareImage(state)));
        out.reply = MakeReply(code, kAccepted, payload);
        return out;
    }
    case Reboot:
        ApplySettingsFiles(state);
        out.stateChanged = true;
        out.restarts = true;
        out.reply = MakeReply(code, kAccepted);
        return out;
    case WifiMode:
        // The module restarts in the new mode, with its settings files applied.
        state.wifiModeAp = At(frame, 5) != 0;
        ApplySettingsFiles(state);
        out.stateChanged = true;
        out.restarts = true;
        out.reply = MakeReply(code, kAccepted);
        return out;
    case WebKey:
        state.webKey = frame.mid(6, At(frame, 5));
        out.stateChanged = true;
        out.reply = MakeReply(code, kAccepted);
        return out;
    case ResetDefaults:
        RestoreDefaults(state);
        out.stateChanged = true;
        out.reply = MakeReply(code, kAccepted);
        return out;
    case DeleteFile: {
        const auto name = NameField(frame);
        if (!name || !IsAcceptedFileName(*name))
            return refuse(QStringLiteral("delete refused: name \"%1\" is outside the file store").arg(Printable(name.value_or(QByteArray()))));
        if (state.files.remove(QString::fromLatin1(*name)) == 0) {
            out.reply = MakeReply(code, kRefused);  // no such file: not a fault worth a log line
            return out;
        }
        out.stateChanged = true;
        out.reply = MakeReply(code, kAccepted);
        return out;
    }
    case FileHeader:
    case FirmwareHeader:
        return UploadOutcome(frame, code, state);
    case Locate:
    case Activate:
    case ModbusNotice:
        out.reply = MakeReply(code, kAccepted);
        return out;
    default:
        return refuse(QStringLiteral("unknown command %1").arg(code));
    }
}

FrameOutcome RefuseFrame(const QByteArray& frame) {
    FrameOutcome out;
    const std::uint8_t code = frame.size() > 4 ? At(frame, 4) : 0;
    out.reply = MakeReply(code, kRefused);
    if (code == FileHeader || code == FirmwareHeader) {
        UploadHeader header;
        header.refused = true;
        out.upload = header;
    }
    return out;
}

}  // namespace rzl::sim
