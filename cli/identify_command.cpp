// rzlctl identify and status.

#include "cli/commands.h"
#include "cli/output_lines.h"
#include "cli/session.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"
#include "ui/setup/settings_backup.h"

namespace rzl::cli {

namespace {

QString keyTypeName(int type) {
    return type == 0 ? QStringLiteral("open") : type == 1 ? QStringLiteral("WEP") : QStringLiteral("WPA/WPA2");
}

}  // namespace

ExitCode RunIdentify(Session& session) {
    ExitCode ended = kExitDone;
    const std::optional<Module> module = session.identify(&ended);
    if (!module) return ended;
    const IdentifyReply& r = module->reply;
    const DeviceInfo& info = r.settings;
    const DeviceSession& s = session.ctx().session;
    const SavedSettings settings = SettingsOf(info, module->modelName, r.model, r.mac, r.firmware);
    QJsonObject details{{"rssi", RssiJson(r.rssiRaw)}, {"settings", SettingsGroupsJson(settings)}};
    Merge(details, IoJson(s));

    const QStringList lines{
        QStringLiteral("Model:        %1 (code %2)").arg(module->modelName).arg(r.model),
        r.address == s.deviceIp ? QStringLiteral("Address:      %1").arg(r.address)
                                : QStringLiteral("Address:      %1 (the module reports %2)").arg(s.deviceIp, r.address),
        QStringLiteral("MAC:          %1").arg(r.mac),
        QStringLiteral("Firmware:     V%1").arg(r.firmware),
        QStringLiteral("RSSI:         %1").arg(RssiText(r.rssiRaw)),
        QStringLiteral("Location:     %1").arg(fromAnsi(info.location)),
        QStringLiteral("DO:           %1 (mask %2)").arg(Hex2(s.doState), Hex2(s.doMask)),
        QStringLiteral("DI:           %1 (mask %2)").arg(Hex2(s.diState), Hex2(s.diMask)),
        QStringLiteral("Wi-Fi mode:   %1").arg(info.wifiModeAp ? QStringLiteral("AP") : QStringLiteral("Station")),
        QStringLiteral("AP SSID:      %1 (%2)").arg(fromAnsi(info.apSsid), info.apSecured ? QStringLiteral("WPA/WPA2") : QStringLiteral("open")),
        QStringLiteral("Station SSID: %1 (%2)").arg(fromAnsi(info.staSsid), keyTypeName(info.staKeyType)),
        QStringLiteral("Static IP:    %1").arg(info.staticIpEnabled
                                                    ? QStringLiteral("%1 mask %2 gateway %3")
                                                          .arg(dottedText(info.staIp), dottedText(info.staNetmask),
                                                               dottedText(info.staGateway))
                                                    : QStringLiteral("off")),
        QStringLiteral("Modbus:       port %1, idle timeout %2 s").arg(info.modbusPort).arg(info.modbusIdleTimeout),
    };
    return session.done(details, lines);
}

ExitCode RunStatus(Session& session) {
    // The model's masks come from the identify reply; the state is read through them.
    ExitCode ended = kExitDone;
    if (!session.identify(&ended)) return ended;
    const ExchangeOutcome poll = SendPoll(session.ctx());
    if (const std::optional<ExitCode> failed = session.judged(poll, Role::Read)) return *failed;
    const DeviceSession& s = session.ctx().session;
    const int rssiRaw = ReplyReader(reinterpret_cast<const std::uint8_t*>(poll.reply.constData()),
                                    static_cast<int>(poll.reply.size()))
                            .u16(shortReply::kPollRssi);
    QJsonObject details{{"rssi", RssiJson(rssiRaw)}};
    Merge(details, IoJson(s));
    return session.done(details, {QStringLiteral("DO: %1  DI: %2  RSSI: %3").arg(Hex2(s.doState), Hex2(s.diState), RssiText(rssiRaw))});
}

}  // namespace rzl::cli
