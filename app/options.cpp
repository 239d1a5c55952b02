#include "app/options.h"

#include <QRegularExpression>

#include "core/context.h"
#include "link/target_address.h"
#include "ui/setup/settings_fields.h"

namespace rzl {

namespace {

bool fail(QString* problem, const QString& text) {
    if (problem) *problem = text;
    return false;
}

std::optional<std::uint16_t> portNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 5) return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    const int value = text.toInt();
    if (value < 1 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// The same values the address field sets, without the link check (the first activation runs it).
void setTarget(Context& ctx, const QString& host) {
    ctx.host.typedIp = host;
    ctx.session.deviceIp = host;
    ctx.display.target(host);
    if (const auto prefix = TargetSubnetPrefix(host)) {
        ctx.host.subnetPrefix = *prefix;
        ctx.host.subnetPrefix8 = prefix->toLatin1();
    }
}

// Letters, digits and hyphens in dot-separated labels, not all of it digits and dots.
bool isHostName(const QString& text) {
    static const QRegularExpression name(QStringLiteral(
        "^(?=.*[A-Za-z])[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*\\.?$"));
    return text.size() <= 253 && name.match(text).hasMatch();
}

}  // namespace

bool ParseDeviceOption(const QString& text, LaunchOptions& options, QString* problem, HostNames names) {
    const QString bad = QStringLiteral("--device takes HOST or HOST:PORT, not '%1'").arg(text);
    QString host = text;
    QString port;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        if (close < 0) return fail(problem, bad);
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':'))) return fail(problem, bad);
            port = rest.mid(1);
            if (port.isEmpty()) return fail(problem, bad);
        }
    } else if (text.count(QLatin1Char(':')) == 1) {
        const int colon = text.indexOf(QLatin1Char(':'));
        host = text.left(colon);
        port = text.mid(colon + 1);
        if (port.isEmpty()) return fail(problem, bad);
    }
    // More than one colon without brackets: an IPv6 address without a port.
    if (host.isEmpty() || host.contains(QLatin1Char(' ')) || host.contains(QLatin1Char('\t')))
        return fail(problem, bad);
    // The exchanges connect to a dotted IPv4 address only, and an identify reply counts only
    // when the module's address text equals the target: an IPv6 address could never be reached
    // or identified, and a name only once it is looked up (rzlctl does that before it sends).
    options.deviceHost.reset();
    options.deviceName.reset();
    if (IsValidIpText(host))
        options.deviceHost = host;
    else if (names == HostNames::Accepted && isHostName(host) && !text.startsWith(QLatin1Char('[')))
        options.deviceName = host;
    else if (names == HostNames::Accepted)
        return fail(problem, QStringLiteral("--device: '%1' is neither an IPv4 address nor a host name").arg(host));
    else
        return fail(problem, QStringLiteral("--device: '%1' is not an IPv4 address (four numbers 0-255 joined by dots)")
                                  .arg(host));
    options.devicePort.reset();
    if (!port.isEmpty()) {
        const auto number = portNumber(port);
        if (!number) return fail(problem, QStringLiteral("--device: '%1' is not a port number (1-65535)").arg(port));
        options.devicePort = number;
    }
    return true;
}

QList<OptionRow<LaunchOptions>> LaunchOptionRows(HostNames names) {
    const QString conflict = QStringLiteral("--demo runs its own module; it cannot be combined with --device");
    const QString help = names == HostNames::Accepted
                             ? QStringLiteral("the module (default 192.168.77.1:13577); HOST an IPv4 address or a\n"
                                              "host name, looked up (IPv4) before anything is sent")
                             : QStringLiteral("the module (default 192.168.77.1:13577)");
    return {
        {{{"device"}, "HOST[:PORT]", help},
         [conflict, names](const QString& value, LaunchOptions& options) {
             if (options.deviceHost || options.deviceName) return QStringLiteral("--device given more than once");
             if (options.demo) return conflict;
             QString problem;
             return ParseDeviceOption(value, options, &problem, names) ? QString() : problem;
         }},
        {{{"no-link-check"}, QString(),
          "skip the check that this PC is on the module's Wi-Fi network\n"
          "(a file rzl_dacr.cfg in the current directory does the same)"},
         [](const QString&, LaunchOptions& options) {
             options.noLinkCheck = true;
             return QString();
         }},
        {{{"demo"}, QString(), "run against a built-in demo module on loopback"},
         [conflict](const QString&, LaunchOptions& options) {
             if (options.deviceHost || options.deviceName) return conflict;
             options.demo = true;
             return QString();
         }},
    };
}

bool ApplyLaunchOptions(const LaunchOptions& options, Context& ctx, LaunchResources& resources, QString* problem) {
    if (options.demo) {
        auto demo = std::make_unique<DemoModule>();
        if (!demo->start(problem)) return false;
        setTarget(ctx, QStringLiteral("127.0.0.1"));
        ctx.session.tcpPort = demo->port();
        ctx.linkCheck = [] { return true; };
        resources.demo = std::move(demo);
        return true;
    }
    if (options.deviceName && !options.deviceHost)
        return fail(problem, QStringLiteral("--device: %1 was not looked up").arg(*options.deviceName));
    if (options.deviceHost) setTarget(ctx, *options.deviceHost);
    if (options.devicePort) ctx.session.tcpPort = *options.devicePort;
    if (options.noLinkCheck) ctx.linkCheck = [] { return true; };
    return true;
}

}  // namespace rzl
