#include "cli/target_options.h"

// Placeholder until the shared start-up options land.
#include "app/program.h"

namespace rzl::cli {

void addTargetOptions(QCommandLineParser& parser) {
    parser.addOption(QCommandLineOption(QStringLiteral("device"), QString(), QStringLiteral("HOST[:PORT]")));
    parser.addOption(QCommandLineOption(QStringLiteral("no-link-check")));
}

bool applyTargetOptions(const QCommandLineParser& parser, Program& program, QString* problem) {
    Context& ctx = program.ctx;
    if (parser.isSet(QStringLiteral("no-link-check"))) ctx.linkCheck = [] { return true; };
    if (parser.isSet(QStringLiteral("device"))) {
        const QString value = parser.value(QStringLiteral("device"));
        const int colon = value.lastIndexOf(u':');
        QString host = colon < 0 ? value : value.left(colon);
        if (colon >= 0) {
            bool ok = false;
            const uint port = value.mid(colon + 1).toUInt(&ok);
            if (!ok || port == 0 || port > 65535) {
                *problem = QStringLiteral("bad port in --device ") + value;
                return false;
            }
            ctx.session.tcpPort = static_cast<std::uint16_t>(port);
        }
        ctx.session.deviceIp = host;
        ctx.host.typedIp = host;
        const int third = host.split(u'.').size() >= 4 ? host.section(u'.', 0, 2).size() + 1 : -1;
        if (third > 0) {
            ctx.host.subnetPrefix = host.left(third);
            ctx.host.subnetPrefix8 = ctx.host.subnetPrefix.toLatin1();
        }
        ctx.screen.main.edit2 = host;
    }
    return true;
}

}  // namespace rzl::cli
