// rzlctl: the module controller without a display.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "cli/controller.h"
#include "app/options.h"

using namespace rzl::cli;

namespace {

const char* const kUsage =
    "Usage: rzlctl [options] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  identify              model, address, MAC, firmware, RSSI, location, I/O and settings\n"
    "  status                output and input bits and RSSI\n"
    "  set-do N on|off       switch output DO N (0-5)\n"
    "  locate                make the module signal its location\n"
    "  counters              read the eight input counters\n"
    "  clear-counter N       clear the counter of input DI N (0-7), then read them all\n"
    "  watch                 poll until interrupted; print each change of the I/O state\n"
    "\n"
    "Options:\n"
    "  --device HOST[:PORT]  the module (default 192.168.77.1:13577)\n"
    "  --no-link-check       skip the check that this PC is on the module's Wi-Fi\n"
    "                        (a file rzl_dacr.cfg in the current directory does the same)\n"
    "  --demo                use the built-in simulated module on loopback\n"
    "  --yes                 answer Yes to confirmations\n"
    "  --json                one JSON object per result on standard output\n"
    "  --trace               every frame sent and received, in hex, on standard error\n"
    "  --interval-ms M       watch: poll every M milliseconds (default 500)\n"
    "  --count N             watch: stop after N changes\n"
    "\n"
    "Exit codes: 0 done, 1 usage error, 2 module not reachable, 3 no reply or reply not accepted,\n"
    "4 link check failed, 5 the identify reply came from a module at another address.\n";

int usage(const QString& problem) {
    if (!problem.isEmpty()) std::fprintf(stderr, "rzlctl: %s\n\n", qPrintable(problem));
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

bool parseIndex(const QString& text, int max, int* value) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0 || n > max || text.trimmed() != text) return false;
    *value = n;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rzlctl"));

    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    rzl::AddLaunchOptions(parser);
    const QCommandLineOption yes(QStringLiteral("yes"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption trace(QStringLiteral("trace"));
    const QCommandLineOption interval(QStringLiteral("interval-ms"), QString(), QStringLiteral("M"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({yes, json, trace, interval, count, help});
    if (!parser.parse(app.arguments())) return usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return kExitDone;
    }

    ControllerOptions options;
    options.json = parser.isSet(json);
    options.trace = parser.isSet(trace);
    options.assumeYes = parser.isSet(yes);
    if (parser.isSet(interval) && !parseIndex(parser.value(interval), 3600000, &options.watchIntervalMs))
        return usage(QStringLiteral("--interval-ms takes a number of milliseconds"));
    if (options.watchIntervalMs < 10) options.watchIntervalMs = 10;
    if (parser.isSet(count) && !parseIndex(parser.value(count), 1000000000, &options.watchMaxChanges))
        return usage(QStringLiteral("--count takes a number"));

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty()) return usage(QStringLiteral("no command given"));
    const QString command = args.first();

    rzl::LaunchOptions launch;
    QString problem;
    if (!rzl::ReadLaunchOptions(parser, launch, &problem)) return usage(problem);
    Controller controller(options);
    rzl::LaunchResources resources;
    if (!rzl::ApplyLaunchOptions(launch, controller.ctx(), resources, &problem)) return usage(problem);

    const auto expectArgs = [&](int n) { return args.size() == n + 1; };
    int index = 0;
    if (command == QLatin1String("set-do")) {
        if (!expectArgs(2) || !parseIndex(args[1], 5, &index) ||
            (args[2] != QLatin1String("on") && args[2] != QLatin1String("off")))
            return usage(QStringLiteral("set-do takes an output number 0-5 and on or off"));
    } else if (command == QLatin1String("clear-counter")) {
        if (!expectArgs(1) || !parseIndex(args[1], 7, &index))
            return usage(QStringLiteral("clear-counter takes an input number 0-7"));
    } else if (command == QLatin1String("identify") || command == QLatin1String("status") ||
               command == QLatin1String("locate") || command == QLatin1String("counters") ||
               command == QLatin1String("watch")) {
        if (!expectArgs(0)) return usage(command + QStringLiteral(" takes no arguments"));
    } else {
        return usage(QStringLiteral("unknown command: ") + command);
    }

    if (const ExitCode code = controller.checkLink(); code != kExitDone) return code;

    if (command == QLatin1String("identify")) return controller.identify();
    if (command == QLatin1String("status")) return controller.status();
    if (command == QLatin1String("set-do")) return controller.setOutput(index, args[2] == QLatin1String("on"));
    if (command == QLatin1String("locate")) return controller.locate();
    if (command == QLatin1String("counters")) return controller.counters();
    if (command == QLatin1String("clear-counter")) return controller.clearCounter(index);
    return controller.watch();
}
