// rzlctl: the module controller without a display.
//
// Its command line is two tables: the options (OptionRows) and the commands (Commands). A row
// gives the name, the help (also the manual page's) and how the arguments are read; a command's
// row checks its arguments before anything is sent and returns the call to make.

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "app/options.h"
#include "cli/backup_commands.h"
#include "cli/command_result.h"
#include "cli/commands.h"
#include "cli/device_name.h"
#include "cli/output_lines.h"
#include "cli/session.h"
#include "cli/settings_commands.h"
#include "cli/standard_output.h"
#include "filestore/firmware_update.h"
#include "core/usage.h"

using namespace rzl::cli;

namespace {

struct Settings {
    ControllerOptions controller;
    rzl::LaunchOptions launch;
    QString keyType;  // set-station --type
    std::optional<QString> keyFile;  // set-ap, set-station, set-web-key --key-file
    RestoreOptions restore;
};

// A command with its arguments checked, ready to run after the link check.
using Call = std::function<ExitCode(Session&)>;

struct Command {
    rzl::UsageCommand usage;
    // Reads the arguments after the command's name: the call, or no call and what the command
    // takes ("an input number 0-7").
    std::function<Call(const QStringList& args, QString& takes)> bind;
    bool checksLink = true;  // the link check runs first (it looks for the one module targeted)
};

// The supervision's own pace: a watch polls no faster.
constexpr int kShortestWatchIntervalMs = 200;

bool ParseIndex(const QString& text, int max, int* value) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0 || n > max || text.trimmed() != text) return false;
    *value = n;
    return true;
}

// A command without arguments.
std::function<Call(const QStringList&, QString&)> Plain(Call call) {
    return [call](const QStringList& args, QString& takes) -> Call {
        if (args.isEmpty()) return call;
        takes = QStringLiteral("no arguments");
        return {};
    };
}

// One of the setup window's writes, run on its fields filled from the arguments. The arguments
// are checked as typed; a key that comes from elsewhere is read when the command runs.
std::function<Call(const QStringList&, QString&)> Setting(const char* name, const Settings& settings) {
    return [name, keyType = settings.keyType, keyFile = settings.keyFile](const QStringList& args, QString& takes) -> Call {
        const QStringList typed = QStringList{QString::fromLatin1(name)} + args;
        SettingsCommand command;
        if (!ParseSettingsCommand(typed, keyType, &command, &takes)) return {};
        return [typed, keyType, keyFile](Session& c) { return RunSetting(c, typed, keyType, keyFile); };
    };
}

// A command that takes one file name.
std::function<Call(const QStringList&, QString&)> OneFile(std::function<ExitCode(Session&, const QString&)> call) {
    return [call](const QStringList& args, QString& takes) -> Call {
        if (args.size() == 1) return [call, file = args[0]](Session& c) { return call(c, file); };
        takes = QStringLiteral("one file name");
        return {};
    };
}

QList<Command> Commands(const Settings& settings = {}) {
    return {
        {{"identify", "", "model, address, MAC, firmware, RSSI, location, I/O and settings"},
         Plain([](Session& c) { return RunIdentify(c); })},
        {{"status", "", "output and input bits and RSSI"}, Plain([](Session& c) { return RunStatus(c); })},
        {{"set-do", "N on|off", "switch output DO N (0-5)"},
         [](const QStringList& args, QString& takes) -> Call {
             int output = 0;
             if (args.size() != 2 || !ParseIndex(args[0], 5, &output) || (args[1] != "on" && args[1] != "off")) {
                 takes = QStringLiteral("an output number 0-5 and on or off");
                 return {};
             }
             return [output, on = args[1] == "on"](Session& c) { return RunSetOutput(c, output, on); };
         }},
        {{"locate", "", "make the module signal its location"}, Plain([](Session& c) { return RunLocate(c); })},
        {{"counters", "", "read the eight input counters"}, Plain([](Session& c) { return RunCounters(c); })},
        {{"clear-counter", "N", "clear the counter of input DI N (0-7), then read them all"},
         [](const QStringList& args, QString& takes) -> Call {
             int input = 0;
             if (args.size() != 1 || !ParseIndex(args[0], 7, &input)) {
                 takes = QStringLiteral("an input number 0-7");
                 return {};
             }
             return [input](Session& c) { return RunClearCounter(c, input); };
         }},
        {{"watch", "", "poll; print each I/O change; ride through outages (a row each);\n"
                       "end after --max-failures failed polls in a row"},
         Plain([](Session& c) { return RunWatch(c); })},
        {{"scan", "[A.B.C.D/N]",
          "list the modules in the range (at most a /16), or on this PC's\n"
          "networks (each at most a /22); sends only the identify request"},
         [](const QStringList& args, QString& takes) -> Call {
             if (args.size() > 1) {
                 takes = QStringLiteral("at most one range, such as 10.0.0.0/24");
                 return {};
             }
             return [range = args.value(0)](Session& c) { return RunScan(c, range); };
         },
         false},
        {{"set-ap", "SSID [-]", "write the access point's SSID and WPA/WPA2 key, the key read from\n"
                                "standard input (-), --key-file FILE or RZL_AP_KEY (none: open); a KEY\n"
                                "argument in place of - works too, but shows in the process list"},
         Setting("set-ap", settings)},
        {{"set-station", "SSID [-]",
          "write the station SSID, key and key type (--type open|wep|wpa;\ndefault: wpa with a key, else open), "
          "the key read from\nstandard input (-), --key-file FILE or RZL_STATION_KEY; a KEY\nargument works too, "
          "but shows in the process list"},
         Setting("set-station", settings)},
        {{"set-static-ip", "IP MASK GATEWAY", "write the station's static address"}, Setting("set-static-ip", settings)},
        {{"clear-static-ip", "", "delete the station's static address (back to DHCP)"},
         Setting("clear-static-ip", settings)},
        {{"set-web-key", "[-]", "set the web login key (1-5 characters), in effect at once, read from\n"
                                "standard input (-), --key-file FILE or RZL_WEB_KEY, or asked for on a\n"
                                "terminal; a KEY argument works too, but shows in the process list"},
         Setting("set-web-key", settings)},
        {{"set-location", "TEXT", "write the location string"}, Setting("set-location", settings)},
        {{"set-modbus", "PORT IDLE_TIMEOUT", "write the Modbus port and idle timeout in seconds\n"
                                             "(written files take effect when the module reboots)"},
         Setting("set-modbus", settings)},
        {{"wifi-mode", "ap|station", "switch the module's Wi-Fi mode (the module restarts)"},
         [](const QStringList& args, QString& takes) -> Call {
             if (args.size() != 1 || (args[0] != "ap" && args[0] != "station")) {
                 takes = QStringLiteral("ap or station");
                 return {};
             }
             return [ap = args[0] == "ap"](Session& c) { return RunWifiMode(c, ap); };
         }},
        {{"reset-defaults", "", "reset the module's settings to their defaults (it restarts)"},
         Plain([](Session& c) { return RunResetDefaults(c); })},
        {{"reboot", "", "restart the module"}, Plain([](Session& c) { return RunReboot(c); })},
        {{"firmware", "FILE", "write the firmware image FILE (at most 2 MiB) and check the module's "
                              "checksum of it; exit 3 when it differs or never comes"},
         [](const QStringList& args, QString& takes) -> Call {
             if (args.size() != 1) {
                 takes = QStringLiteral("the image file");
                 return {};
             }
             // The file is checked before anything reaches the module.
             if (const QString problem = rzl::ImageFileProblem(args[0]); !problem.isEmpty()) {
                 takes = QStringLiteral("an image file of 1 to %1 bytes that can be read (%2)")
                             .arg(rzl::kMaxImageBytes)
                             .arg(problem);
                 return {};
             }
             return [file = args[0]](Session& c) { return RunFirmware(c, file); };
         }},
        {{"backup", "FILE.json", "save the module's settings to a JSON file (without the keys);\n"
                                 "- writes it to standard output"},
         OneFile([](Session& c, const QString& file) { return RunBackup(c, file); })},
        {{"restore", "FILE.json",
          "show what differs from the file's settings, then write those groups\n"
          "(--ap-key, --station-key for secured ones; --reboot to restart and check);\n"
          "- reads the file from standard input"},
         OneFile([restore = settings.restore](Session& c, const QString& file) { return RunRestore(c, file, restore); })},
    };
}

// A number option of the scan, from 1 to max.
std::function<QString(const QString&, ControllerOptions&)> ScanNumber(int rzl::ScanOptions::*field, int max,
                                                                      const QString& problem) {
    return [field, max, problem](const QString& value, ControllerOptions& options) {
        int number = 0;
        if (!ParseIndex(value, max, &number) || number == 0) return problem;
        options.scan.*field = number;
        return QString();
    };
}

// Sets a flag of the controller's options.
std::function<QString(const QString&, ControllerOptions&)> Flag(bool ControllerOptions::*flag) {
    return [flag](const QString&, ControllerOptions& options) {
        options.*flag = true;
        return QString();
    };
}

QList<rzl::OptionRow<ControllerOptions>> ControllerOptionRows() {
    return {
        {{{"yes"}, "", "answer Yes to confirmations"}, Flag(&ControllerOptions::assumeYes)},
        {{{"json"}, "", "one JSON object per result on standard output, errors included"},
         Flag(&ControllerOptions::json)},
        {{{"verbose"}, "", "show the keys given, and their lengths, where the module's messages name\nthem (hidden otherwise)"},
         Flag(&ControllerOptions::verbose)},
        {{{"quiet"}, "", "print only the result, errors and warnings: none of the module's messages,\n"
                         "log lines or progress"},
         Flag(&ControllerOptions::quiet)},
        {{{"accept-reported-address"}, "", "take a module that reports another address than --device for\n"
                                           "the one targeted (reached through a port-forward, an SSH tunnel or "
                                           "NAT);\nthe address it reports is still shown"},
         Flag(&ControllerOptions::acceptReportedAddress)},
        {{{"lock-wait"}, "S", "writes, maintenance, firmware, restore: wait at most S seconds for\n"
                              "another program on this PC writing to the module (default 30;\n"
                              "0: not at all), then end with exit 7 (busy)"},
         [](const QString& value, ControllerOptions& options) {
             return ParseIndex(value, 3600, &options.lockWaitS) ? QString()
                                                                : QStringLiteral("--lock-wait takes a number of seconds 0-3600");
         }},
        {{{"trace"}, "", "every frame sent and received, in hex, on standard error"}, Flag(&ControllerOptions::trace)},
        {{{"interval-ms"}, "M", "watch: poll every M milliseconds, 200 or more (default 500)"},
         [](const QString& value, ControllerOptions& options) {
             // Faster polls would take the module's attention from everyone else.
             if (!ParseIndex(value, 3600000, &options.watchIntervalMs) || options.watchIntervalMs < kShortestWatchIntervalMs)
                 return QStringLiteral("--interval-ms takes a number of milliseconds from %1").arg(kShortestWatchIntervalMs);
             return QString();
         }},
        {{{"count"}, "N", "watch: stop after N changes (N from 1; without it: until stopped)"},
         [](const QString& value, ControllerOptions& options) {
             return ParseIndex(value, 1000000000, &options.watchMaxChanges) && options.watchMaxChanges > 0
                        ? QString()
                        : QStringLiteral("--count takes a number from 1");
         }},
        {{{"max-failures"}, "N", "watch: end after N failed polls in a row (default: about a minute's worth)"},
         [](const QString& value, ControllerOptions& options) {
             return ParseIndex(value, 1000000, &options.watchMaxFailures) && options.watchMaxFailures > 0
                        ? QString()
                        : QStringLiteral("--max-failures takes a number from 1");
         }},
        {{{"csv"}, "", "watch: a header, then a comma-separated line per change"}, Flag(&ControllerOptions::csv)},
        {{{"counters"}, "", "watch: the eight input counters too, read on each poll"},
         Flag(&ControllerOptions::watchCounters)},
        {{{"port"}, "P", "scan: the port to try (default 13577)"},
         [](const QString& value, ControllerOptions& options) {
             int port = 0;
             if (!ParseIndex(value, 65535, &port) || port == 0) return QStringLiteral("--port takes a port number 1-65535");
             options.scan.port = static_cast<std::uint16_t>(port);
             return QString();
         }},
        {{{"parallel"}, "N", "scan: connections at once (default 64)"},
         ScanNumber(&rzl::ScanOptions::parallel, 1024, QStringLiteral("--parallel takes a number 1-1024"))},
        {{{"timeout-ms"}, "M", "scan: time each address has to answer (default 500)"},
         ScanNumber(&rzl::ScanOptions::timeoutMs, 60000, QStringLiteral("--timeout-ms takes a number of milliseconds 1-60000"))},
        {{{"reboot"}, "", "firmware: then restart the module, wait until it answers again and print "
                          "the firmware version it reports;\nrestore: then restart the module (switching its Wi-Fi mode) "
                          "and check that it reports the file's settings"},
         Flag(&ControllerOptions::rebootAfter)},
        {{{"reboot-wait"}, "S", "firmware, restore --reboot: wait at most S seconds (default 60)"},
         [](const QString& value, ControllerOptions& options) {
             return ParseIndex(value, 3600, &options.rebootWaitS) && options.rebootWaitS > 0
                        ? QString()
                        : QStringLiteral("--reboot-wait takes a number of seconds");
         }},
    };
}

QList<rzl::OptionRow<Settings>> OptionRows() {
    const rzl::OptionRow<Settings> keyType{{{"type"}, "T", "set-station: the key type, open, wep or wpa"},
                                           [](const QString& value, Settings& settings) {
                                               settings.keyType = value;
                                               return QString();
                                           }};
    const rzl::OptionRow<Settings> keyFile{{{"key-file"}, "FILE", "set-ap, set-station, set-web-key: the key, from the "
                                                                  "first line of FILE"},
                                           [](const QString& value, Settings& settings) {
                                               settings.keyFile = value;
                                               return QString();
                                           }};
    return rzl::Within(&Settings::launch, rzl::LaunchOptionRows(rzl::HostNames::Accepted)) +
           rzl::Within(&Settings::controller, ControllerOptionRows()) + QList<rzl::OptionRow<Settings>>{keyType, keyFile} +
           rzl::Within(&Settings::restore, RestoreOptionRows());
}

rzl::Usage CliUsage() {
    rzl::Usage usage;
    usage.program = QStringLiteral("rzlctl");
    usage.synopsis = QStringLiteral("[options] COMMAND [ARGS]");
    usage.summary = QStringLiteral("control an rZL Wi-Fi I/O module from the command line");
    usage.description = QStringLiteral(
        "rzlctl is the controller of rzl-ctrl without a display, for scripts: every frame it sends is "
        "the desktop program's, byte for byte. Before a command it checks, as the desktop program "
        "does, that this PC's Wi-Fi is on the module's network, unless --no-link-check is given or "
        "an empty file rzl_dacr.cfg is in the current directory.\n\n"
        "Results go to standard output; the module's own messages (\"Connect Timeout\", \"Set DO "
        "Done! DI:05\") go to standard error. Commands that change the module ask for confirmation "
        "on the terminal unless --yes is given.\n\n"
        "With --json every command prints one object of one shape, errors and usage errors "
        "included: command, outcome (done, invalid, cancelled, skipped, unreachable, not-sent, "
        "no-reply, refused, mismatch, not-linked, foreign-module, busy, interrupted, terminated), exit, "
        "module (address, port, model, modelCode, mac, firmware, reportedAddress), details, and error "
        "unless done. A scan with --json prints one object per module as it is found, then its result.\n\n"
        "Keys are read from standard input (-), from a file (--key-file, --ap-key-file, "
        "--station-key-file) or from the environment (RZL_AP_KEY, RZL_STATION_KEY, RZL_WEB_KEY), "
        "and asked for without echo on a terminal when a command needs one. A key given as an "
        "argument works too, but other users see it in the process list: rzlctl warns. Keys and "
        "their lengths are shown only with --verbose. Put -- before arguments that start with a "
        "dash (rzlctl set-location -- -roof-); an unknown option is not echoed where it may be a key.\n\n"
        "Every write (the settings commands but set-do, clear-static-ip, wifi-mode, reset-defaults, "
        "reboot, firmware, restore) "
        "takes this PC's lock of the module first, so that two programs never cross their "
        "transfers; one that finds it held waits (--lock-wait). SIGINT and SIGTERM stop a write at "
        "the next step: a file under way is finished, and the result says what was changed and "
        "what not. A second signal ends rzlctl at once.");
    for (const Command& command : Commands()) usage.commands.append(command.usage);
    usage.options = rzl::UsageOptions(OptionRows());
    usage.exitCodes = {{kExitDone, "done"},
                       {kExitUsage, "usage error, a setting refused, or No at a confirmation"},
                       {kExitUnreachable, "module not reachable, or a step of a setting did not reach it"},
                       {kExitNoReply, "no reply, or the module refused the request or a setting's file"},
                       {kExitNotLinked, "link check failed"},
                       {kExitForeignModule, "the identify reply came from a module at another address"},
                       {kExitOutput, "standard output is closed or could not be written (a full disk)"},
                       {kExitBusy, "another program on this PC was writing to the module for the whole --lock-wait; "
                                   "nothing sent"},
                       {kExitInterrupted, "a watch, scan or write ended by SIGINT (Ctrl+C)"},
                       {kExitTerminated, "a watch, scan or write ended by SIGTERM"}};
    usage.seeAlso = {QStringLiteral("rzl-ctrl(1)"), QStringLiteral("rzl-sim(1)")};
    return usage;
}

// The options that belong to some commands only, with those commands.
QString OptionOutsideItsCommands(const QStringList& arguments, const QString& command) {
    static const QList<std::pair<QString, QStringList>> owners{
        {"reboot", {"firmware", "restore"}},   {"reboot-wait", {"firmware", "restore"}},
        {"interval-ms", {"watch"}},            {"count", {"watch"}},
        {"csv", {"watch"}},                    {"counters", {"watch"}},
        {"port", {"scan"}},                    {"parallel", {"scan"}},
        {"timeout-ms", {"scan"}},              {"type", {"set-station"}},
        {"max-failures", {"watch"}},           {"key-file", {"set-ap", "set-station", "set-web-key"}},
        {"lock-wait", {"set-ap", "set-station", "set-static-ip", "clear-static-ip", "set-web-key", "set-location",
                       "set-modbus", "wifi-mode", "reset-defaults", "reboot", "firmware", "restore"}},
    };
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--")) break;
        if (!argument.startsWith(QLatin1String("--"))) continue;
        const QString option = argument.mid(2).section(QLatin1Char('='), 0, 0);
        for (const auto& [name, commands] : owners)
            if (name == option && !commands.contains(command))
                return QStringLiteral("--%1 goes with %2 only").arg(name, commands.join(QStringLiteral(" or ")));
    }
    return {};
}

// Whether the arguments ask for JSON, read before they are parsed: a usage error answers in JSON too.
bool AsksForJson(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--")) break;
        if (argument == QLatin1String("--json")) return true;
    }
    return false;
}

// The command named among the arguments, for a usage error's result; empty when none is.
QString CommandNamed(const QStringList& arguments, const QList<Command>& commands) {
    for (const QString& argument : arguments.mid(1))
        for (const Command& command : commands)
            if (argument == command.usage.name) return argument;
    return {};
}

// The commands that take keys, where an argument that starts with a dash may be one.
bool TakesKeys(const QString& command) {
    static const QStringList keyed{"set-ap", "set-station", "set-web-key", "restore"};
    return keyed.contains(command);
}

int Run(const QCoreApplication& app) {
    const rzl::Usage usage = CliUsage();
    Settings settings;
    const rzl::ParsedArguments parsed = rzl::ParseArguments(usage, OptionRows(), app.arguments(), settings);
    const auto usageError = [&](const QString& problem) {
        if (AsksForJson(app.arguments()))
            PrintLine(stdout, QString::fromUtf8(ResultLine({CommandNamed(app.arguments(), Commands()), {}, {}},
                                                           Outcome::Invalid, problem)));
        return *rzl::AnswerArguments({rzl::ParseResult::Error, problem, {}}, usage.program, kExitUsage);
    };
    if (parsed.result == rzl::ParseResult::Error) {
        // "-Secret99x" after set-ap is a key read as options: the parser's text would spell it out.
        if (parsed.unknownOption && TakesKeys(CommandNamed(app.arguments(), Commands())))
            return usageError(QStringLiteral("unknown option (not shown: it may be a key); put -- before arguments "
                                             "that start with a dash"));
        return usageError(parsed.text);
    }
    if (const auto code = rzl::AnswerArguments(parsed, usage.program, kExitUsage)) return *code;

    if (parsed.positional.isEmpty()) return usageError(QStringLiteral("no command given"));
    if (settings.controller.csv && settings.controller.json) return usageError(QStringLiteral("--csv and --json exclude each other"));
    const QString name = parsed.positional.first();
    const QList<Command> commands = Commands(settings);
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const Command& c) { return c.usage.name == name; });
    if (command == commands.end()) return usageError(QStringLiteral("unknown command: ") + name);
    if (settings.restore.given && name != QLatin1String("restore"))
        return usageError(QStringLiteral("--ap-key and --station-key (and their files) go with restore only"));
    // An option given to a command it does not apply to would be silently dropped.
    if (const QString problem = OptionOutsideItsCommands(app.arguments(), name); !problem.isEmpty())
        return usageError(problem);
    QString problem;
    const Call call = command->bind(parsed.positional.mid(1), problem);
    if (!call) return usageError(name + QStringLiteral(" takes ") + problem);

    Session controller(settings.controller);
    const QString hostName = settings.launch.deviceName.value_or(QString());
    if (!hostName.isEmpty()) {
        if (!LookUpDeviceName(settings.launch, &problem)) {
            controller.begin(name, false, hostName);
            return controller.fail(Outcome::Unreachable, problem);
        }
        controller.message(QStringLiteral("rzlctl: %1 is %2").arg(hostName, *settings.launch.deviceHost));
    }
    rzl::LaunchResources resources;
    if (!rzl::ApplyLaunchOptions(settings.launch, controller.ctx(), resources, &problem)) return usageError(problem);
    controller.begin(name, command->checksLink, hostName);
    if (command->checksLink) {
        if (const ExitCode code = controller.checkLink(); code != kExitDone) return code;
    }
    return call(controller);
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto problem = GuardStandardStreams()) {
        PrintLine(stderr, QStringLiteral("rzlctl: ") + *problem);
        return kExitOutput;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rzlctl"));
    const int code = Run(app);
    if (const auto problem = CloseStandardOutput()) {
        PrintLine(stderr, QStringLiteral("rzlctl: ") + *problem);
        return kExitOutput;
    }
    return code;
}
