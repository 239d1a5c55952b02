// rzl-sim: a simulated module on a TCP port, for trying the controller without hardware.

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/module_server.h"

namespace {

const char* const kUsage =
    "usage: rzl-sim [--listen ADDR:PORT] [--model CODE] [--address A.B.C.D] [--state FILE]\n"
    "               [--fault MODE] [--slow-ms N] [--inputs PATTERN] [--verbose]\n"
    "\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:13577; port 0 picks a free one)\n"
    "  --model CODE        model code the module reports (default 176)\n"
    "  --address A.B.C.D   address the module reports (default: the listen address)\n"
    "  --state FILE        keep outputs, counters, settings and stored files in FILE\n"
    "  --fault MODE        silent, garbage, reject, split, close or slow\n"
    "  --slow-ms N         reply delay of the slow fault in ms (default 1500)\n"
    "  --inputs PATTERN    toggling inputs, e.g. DI0:500,DI2:1500 (DIn toggles every N ms)\n"
    "  --verbose           log every frame received and sent on stderr\n"
    "  --help              this text\n";

int Usage(const QString& problem) {
    if (!problem.isEmpty())
        std::fprintf(stderr, "rzl-sim: %s\n", problem.toLocal8Bit().constData());
    std::fputs(kUsage, stderr);
    return 1;
}

bool ParseUnsigned(const QString& text, uint max, uint& out) {
    bool ok = false;
    out = text.toUInt(&ok, 10);
    return ok && out <= max;
}

std::optional<std::array<std::uint8_t, 4>> ParseDotted(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    std::array<std::uint8_t, 4> a{};
    for (int i = 0; i < 4; ++i) {
        uint n = 0;
        if (parts[i].isEmpty() || !ParseUnsigned(parts[i], 255, n))
            return std::nullopt;
        a[i] = std::uint8_t(n);
    }
    return a;
}

std::optional<rzl::sim::FaultMode> ParseFault(const QString& text) {
    using rzl::sim::FaultMode;
    static const QMap<QString, FaultMode> modes{
        {QStringLiteral("none"), FaultMode::None},       {QStringLiteral("silent"), FaultMode::Silent},
        {QStringLiteral("garbage"), FaultMode::Garbage}, {QStringLiteral("reject"), FaultMode::Reject},
        {QStringLiteral("split"), FaultMode::Split},     {QStringLiteral("close"), FaultMode::Close},
        {QStringLiteral("slow"), FaultMode::Slow}};
    if (!modes.contains(text))
        return std::nullopt;
    return modes.value(text);
}

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    rzl::sim::SimOptions options;
    options.port = 13577;

    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == QLatin1String("--verbose")) {
            options.verbose = true;
            continue;
        }
        static const QStringList withValue{QStringLiteral("--listen"), QStringLiteral("--model"),
                                           QStringLiteral("--address"), QStringLiteral("--state"),
                                           QStringLiteral("--fault"), QStringLiteral("--slow-ms"),
                                           QStringLiteral("--inputs")};
        if (!withValue.contains(arg))
            return Usage(QStringLiteral("unknown option %1").arg(arg));
        if (i + 1 >= args.size())
            return Usage(QStringLiteral("%1 needs a value").arg(arg));
        const QString value = args[++i];
        uint n = 0;
        if (arg == QLatin1String("--listen")) {
            const int colon = value.lastIndexOf(QLatin1Char(':'));
            QHostAddress address(value.left(colon));
            if (colon <= 0 || address.isNull() || !ParseUnsigned(value.mid(colon + 1), 65535, n))
                return Usage(QStringLiteral("--listen wants ADDR:PORT, not %1").arg(value));
            options.listenAddress = address;
            options.port = std::uint16_t(n);
        } else if (arg == QLatin1String("--model")) {
            if (!ParseUnsigned(value, 255, n))
                return Usage(QStringLiteral("--model wants a code 0 to 255, not %1").arg(value));
            options.model = std::uint8_t(n);
        } else if (arg == QLatin1String("--address")) {
            options.reportedAddress = ParseDotted(value);
            if (!options.reportedAddress)
                return Usage(QStringLiteral("--address wants A.B.C.D, not %1").arg(value));
        } else if (arg == QLatin1String("--state")) {
            if (value.isEmpty())
                return Usage(QStringLiteral("--state wants a file name"));
            options.stateFile = value;
        } else if (arg == QLatin1String("--fault")) {
            const auto fault = ParseFault(value);
            if (!fault)
                return Usage(QStringLiteral("unknown fault mode %1").arg(value));
            options.fault = *fault;
        } else if (arg == QLatin1String("--slow-ms")) {
            if (!ParseUnsigned(value, 600000, n))
                return Usage(QStringLiteral("--slow-ms wants milliseconds, not %1").arg(value));
            options.slowDelayMs = int(n);
        } else if (arg == QLatin1String("--inputs")) {
            std::array<int, 8> periods{};
            QString why;
            if (!rzl::sim::ParseInputsPattern(value, periods, &why))
                return Usage(why);
            options.inputsPattern = value;
        }
    }

    auto shared = std::make_shared<rzl::sim::SharedRecord>();
    shared->fault = options.fault;
    rzl::sim::ModuleServer server(options, shared);
    if (!server.listen()) {
        std::fprintf(stderr, "rzl-sim: %s\n", server.errorString().toLocal8Bit().constData());
        return 2;
    }

    // SIGINT and SIGTERM end the event loop, so the state file is written before exit.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
    }

    std::printf("rzl-sim listening on %s:%u\n", options.listenAddress.toString().toLocal8Bit().constData(),
                unsigned(server.port()));
    std::fflush(stdout);
    const int code = app.exec();
    server.shutdown();
    return code;
}
