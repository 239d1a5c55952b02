// rzl-sim: a simulated module on a TCP port, for trying the controller without hardware.

#include <QCoreApplication>
#include <QHostAddress>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "core/standard_text.h"
#include "core/usage.h"
#include "platform/stop_signals.h"
#include "sim/module_server.h"

namespace {

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
        {QStringLiteral("slow"), FaultMode::Slow},       {QStringLiteral("stuck"), FaultMode::Stuck},
        {QStringLiteral("restart"), FaultMode::Restart}};
    if (!modes.contains(text))
        return std::nullopt;
    return modes.value(text);
}

QList<rzl::OptionRow<rzl::sim::SimOptions>> SimOptionRows() {
    using rzl::sim::SimOptions;
    return {
        {{{"listen"}, "ADDR:PORT", "where to listen (default 127.0.0.1:13577; port 0 picks a free one)"},
         [](const QString& value, SimOptions& options) {
             const qsizetype colon = value.lastIndexOf(':');
             const QHostAddress address(value.left(colon));
             uint port = 0;
             if (colon <= 0 || address.isNull() || !ParseUnsigned(value.mid(colon + 1), 65535, port))
                 return QStringLiteral("--listen wants ADDR:PORT, not %1").arg(value);
             options.listenAddress = address;
             options.port = std::uint16_t(port);
             return QString();
         }},
        {{{"model"}, "CODE", "model code the module reports (default 176)"},
         [](const QString& value, SimOptions& options) {
             uint code = 0;
             if (!ParseUnsigned(value, 255, code)) return QStringLiteral("--model wants a code 0 to 255, not %1").arg(value);
             options.model = std::uint8_t(code);
             return QString();
         }},
        {{{"address"}, "A.B.C.D", "address the module reports (default: the listen address)"},
         [](const QString& value, SimOptions& options) {
             options.reportedAddress = ParseDotted(value);
             return options.reportedAddress ? QString() : QStringLiteral("--address wants A.B.C.D, not %1").arg(value);
         }},
        {{{"state"}, "FILE", "keep outputs, counters, settings and stored files in FILE"},
         [](const QString& value, SimOptions& options) {
             options.stateFile = value;
             return value.isEmpty() ? QStringLiteral("--state wants a file name") : QString();
         }},
        {{{"fault"}, "MODE", "silent, garbage, reject, split, close, slow, stuck or restart"},
         [](const QString& value, SimOptions& options) {
             const auto fault = ParseFault(value);
             if (!fault) return QStringLiteral("unknown fault mode %1").arg(value);
             options.fault = *fault;
             return QString();
         }},
        {{{"slow-ms"}, "N", "reply delay of the slow fault in ms (default 1500)"},
         [](const QString& value, SimOptions& options) {
             uint ms = 0;
             if (!ParseUnsigned(value, 600000, ms)) return QStringLiteral("--slow-ms wants milliseconds, not %1").arg(value);
             options.slowDelayMs = int(ms);
             return QString();
         }},
        {{{"boot-ms"}, "N", "after a reboot or Wi-Fi mode change the module is away N ms (default 0)"},
         [](const QString& value, SimOptions& options) {
             uint ms = 0;
             if (!ParseUnsigned(value, 3600000, ms)) return QStringLiteral("--boot-ms wants milliseconds, not %1").arg(value);
             options.bootMs = int(ms);
             return QString();
         }},
        {{{"inputs"}, "PATTERN", "toggling inputs, e.g. DI0:500,DI2:1500 (DIn toggles every N ms)"},
         [](const QString& value, SimOptions& options) {
             std::array<int, 8> periods{};
             QString why;
             if (!rzl::sim::ParseInputsPattern(value, periods, &why)) return why;
             options.inputsPattern = value;
             return QString();
         }},
        {{{"verbose"}, QString(), "log every frame received and sent on stderr"},
         [](const QString&, SimOptions& options) {
             options.verbose = true;
             return QString();
         }},
    };
}

rzl::Usage SimUsage() {
    rzl::Usage usage;
    usage.program = QStringLiteral("rzl-sim");
    usage.synopsis = QStringLiteral("[options]");
    usage.summary = QStringLiteral("simulated rZL Wi-Fi I/O module on a TCP port");
    usage.description = QStringLiteral(
        "rzl-sim answers every command of the module's protocol like a module: identify, polling, "
        "outputs, input counters, locate, the flash file store, firmware checksum, Wi-Fi mode, web "
        "key and reset to defaults. It is for trying rzl-ctrl and rzlctl without hardware and for "
        "tests.\n\n"
        "A firmware image written to the module (\"/sys/mcuimg.bin\" or \"mcuimg.bin\") runs after "
        "the next restart (reboot or Wi-Fi mode change): the module then reports bytes 16 and 17 of "
        "the image as its firmware version (major, minor).\n\n"
        "It prints the address and port it listens on, then serves until SIGINT or SIGTERM, after "
        "which the state file, if any, is written.");
    usage.options = rzl::UsageOptions(SimOptionRows());
    usage.exitCodes = {{0, "stopped by a signal"}, {1, "usage error"}, {2, "cannot listen"}};
    usage.seeAlso = {QStringLiteral("rzl-ctrl(1)"), QStringLiteral("rzlctl(1)")};
    return usage;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    rzl::sim::SimOptions options;
    options.port = 13577;

    const rzl::ParsedArguments parsed = rzl::ParseArguments(SimUsage(), SimOptionRows(), app.arguments(), options);
    if (const auto code = rzl::AnswerArguments(parsed, SimUsage().program, 1)) return *code;

    auto shared = std::make_shared<rzl::sim::SharedRecord>();
    shared->fault = options.fault;
    shared->keepsArrivals = false;  // nothing in this process reads them
    rzl::sim::ModuleServer server(options, shared);
    if (!server.listen()) {
        rzl::WriteStandardText(stderr, QStringLiteral("rzl-sim: %1\n").arg(server.errorString()));
        return 2;
    }

    // SIGINT and SIGTERM (on Windows also closing the console) end the event loop, so the state
    // file is written before exit. The handler's thread only posts the quit.
    const rzl::platform::StopSignals stop(
        [&app](int) { QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection); });

    rzl::WriteStandardText(stdout, QStringLiteral("rzl-sim listening on %1:%2\n")
                                       .arg(options.listenAddress.toString())
                                       .arg(server.port()));
    const int code = app.exec();
    server.shutdown();
    return code;
}
